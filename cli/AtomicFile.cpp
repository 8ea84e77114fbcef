#include "cli/AtomicFile.h"

#include "logdata/LogFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace cli {

namespace {

std::string Folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

mode_t CurrentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// The rename is on the disk only once the folder's entry is.
void FlushFolder(const std::string& path) {
    const int fd = open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

std::string Why(const std::string& target, int systemError) {
    return "cannot write " + target + ": " + logdata::InOutErrorMessage(systemError);
}

} // namespace

std::optional<TAtomicFile> TAtomicFile::Prepare(const std::string& target, std::string& error) {
    struct stat st {};
    const bool exists = stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        error = logdata::NotAFileMessage(target);
        return std::nullopt;
    }
    std::string finalPath = target;
    if (exists) {
        if (char* real = realpath(target.c_str(), nullptr)) {
            finalPath = real;
            std::free(real);
        }
    }
    std::string temp = Folder(finalPath) + "/." + BaseName(finalPath) + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        error = Why(target, errno);
        return std::nullopt;
    }
    // The new file keeps the old one's permissions, or gets a new file's.
    if (exists) {
        [[maybe_unused]] const int owned = fchown(fd, st.st_uid, st.st_gid);
        fchmod(fd, st.st_mode & 07777);
    } else {
        fchmod(fd, 0666 & ~CurrentUmask());
    }
    close(fd);
    struct stat link {};
    const bool symbolic = lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
    TAtomicFile file(target, finalPath, temp);
    file.PartPath = (symbolic ? finalPath : target) + ".part";
    return file;
}

TAtomicFile::TAtomicFile(std::string target, std::string finalPath, std::string temp)
    : TargetName(std::move(target)), FinalPath(std::move(finalPath)), Temp(std::move(temp)) {}

TAtomicFile::TAtomicFile(TAtomicFile&& other) noexcept
    : TargetName(std::move(other.TargetName)), FinalPath(std::move(other.FinalPath)),
      PartPath(std::move(other.PartPath)), Temp(std::exchange(other.Temp, std::string())) {}

TAtomicFile& TAtomicFile::operator=(TAtomicFile&& other) noexcept {
    if (this != &other) {
        if (!Temp.empty())
            unlink(Temp.c_str());
        TargetName = std::move(other.TargetName);
        FinalPath = std::move(other.FinalPath);
        PartPath = std::move(other.PartPath);
        Temp = std::exchange(other.Temp, std::string());
    }
    return *this;
}

TAtomicFile::~TAtomicFile() {
    if (!Temp.empty())
        unlink(Temp.c_str());
}

bool TAtomicFile::Write(const std::string& text, std::string& error) {
    const int fd = open(Temp.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        error = Why(TargetName, errno);
        return false;
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = Why(TargetName, n < 0 ? errno : EIO);
            close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (close(fd) != 0) {
        error = Why(TargetName, errno);
        return false;
    }
    return true;
}

bool TAtomicFile::Flush(std::string& error) {
    const int fd = open(Temp.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || fsync(fd) != 0) {
        error = Why(TargetName, errno);
        if (fd >= 0)
            close(fd);
        return false;
    }
    close(fd);
    return true;
}

bool TAtomicFile::MoveTo(const std::string& path, std::string& error) {
    if (rename(Temp.c_str(), path.c_str()) != 0) {
        error = Why(path, errno);
        return false;
    }
    Temp.clear();
    FlushFolder(path);
    return true;
}

bool TAtomicFile::Commit(std::string& error) {
    return Flush(error) && MoveTo(FinalPath, error);
}

bool TAtomicFile::KeepAsPart(std::string& error) {
    std::string unconfirmed;
    Flush(unconfirmed);
    return MoveTo(PartPath, error);
}

} // namespace cli
