// Character devices for tests, made in a temporary folder of their own: a test that needs a
// full disk or a device where a file should be never writes to, or renames over, /dev itself.
#pragma once

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace testfiles {

// The kernel's numbers for the devices the tests stand in for.
inline constexpr unsigned MemMajor = 1, NullMinor = 3, FullMinor = 7;

class TDeviceNode {
public:
    // Made(): false where the system will not let the test make or use a node (no root, a
    // container without mknod, a folder on a filesystem mounted nodev): the test skips then.
    TDeviceNode(unsigned major, unsigned minor, const std::string& name = "device") {
        std::string dir = "/tmp/quorva-dev-XXXXXX";
        if (!mkdtemp(dir.data()))
            return;
        Dir = dir;
        const std::string path = Dir + "/" + name;
        if (mknod(path.c_str(), S_IFCHR | 0666, makedev(major, minor)) != 0)
            return;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        ::close(fd);
        FPath = path;
    }
    ~TDeviceNode() {
        if (Dir.empty())
            return;
        // Whatever a faulty test left beside the node goes with it.
        std::error_code ignored;
        std::filesystem::remove_all(Dir, ignored);
    }
    TDeviceNode(const TDeviceNode&) = delete;
    TDeviceNode& operator=(const TDeviceNode&) = delete;

    bool Made() const { return !FPath.empty(); }
    const std::string& Path() const { return FPath; }

private:
    std::string Dir, FPath;
};

// Always full, as /dev/full: every write fails with ENOSPC.
struct TFullDevice : TDeviceNode {
    TFullDevice() : TDeviceNode(MemMajor, FullMinor, "full") {}
};

// Takes everything, as /dev/null.
struct TNullDevice : TDeviceNode {
    TNullDevice() : TDeviceNode(MemMajor, NullMinor, "null") {}
};

} // namespace testfiles
