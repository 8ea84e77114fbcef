#include "cli/PortHolder.h"

#include "cport/ComPortList.h"
#include "cport/ComPortRules.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace cli {

namespace {

// The process holding a whole-file lock on the device, from the kernel's list of locks:
// "1: FLOCK  ADVISORY  WRITE 812 00:1a:5 0 EOF" (device numbers in hex, then the inode).
int LockHolderPid(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return 0;
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream words(line);
        std::string number, type, kind, mode, id;
        int pid = 0;
        // Lines of processes waiting for a lock say "->" and hold nothing.
        if (!(words >> number >> type) || type != "FLOCK" || !(words >> kind >> mode >> pid >> id))
            continue;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(id.c_str(), "%x:%x:%llu", &major, &minor, &inode) == 3 &&
            makedev(major, minor) == st.st_dev && inode == st.st_ino)
            return pid;
    }
    return 0;
}

std::string CommandOf(int pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/comm");
    std::string command;
    std::getline(file, command);
    return command;
}

} // namespace

bool HeldByAnotherProgram(const std::string& port) {
    const std::string path = cport::ComPortDevicePath(port);
    if (path.empty())
        return false;
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY;
    const bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return locked;
}

std::string BusyAdvice(const std::string& port) {
    const std::string path = cport::ComPortDevicePath(port);
    const int pid = LockHolderPid(path);
    if (pid <= 0)
        return {};
    return cport::OpenFailureAdvice(
        {port, path, EBUSY, cport::HolderText(CommandOf(pid), pid), ""});
}

} // namespace cli
