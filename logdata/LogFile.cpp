#include "logdata/LogFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace logdata {

namespace {
// The run-time library's own error numbers for the causes it names.
constexpr int FileNotFound = 2;
constexpr int InvalidFilename = 3;
constexpr int TooManyOpenFiles = 4;
constexpr int FileAccessDenied = 5;
constexpr int DiskFull = 101;
constexpr int FileNotOpen = 103;

// 0 for a system error the run-time library has no name for.
int RunTimeCode(int systemError) {
    switch (systemError) {
    case ENOENT:
        return FileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
        return InvalidFilename;
    case EMFILE:
    case ENFILE:
        return TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return FileAccessDenied;
    case ENOSPC:
    case EDQUOT:
        return DiskFull;
    default:
        return 0;
    }
}

std::string RunTimeMessage(int code) {
    switch (code) {
    case FileNotFound:
        return "File not found";
    case InvalidFilename:
        return "Invalid filename";
    case TooManyOpenFiles:
        return "Too many open files";
    case FileAccessDenied:
        return "File access denied";
    case DiskFull:
        return "Disk full";
    default:
        return "I/O error " + std::to_string(code);
    }
}
} // namespace

namespace {
bool DevicesAllowed = false;

bool Refused(mode_t mode) {
    // A directory is left to open() and its "File access denied".
    if (S_ISREG(mode) || S_ISDIR(mode)) {
        return false;
    }
    return !(DevicesAllowed && S_ISCHR(mode));
}
} // namespace

void AllowCharacterDevicesForTests(bool allowed) {
    DevicesAllowed = allowed;
}

std::string NotAFileMessage(const std::string& name) {
    return "File access denied: \"" + name +
           "\" is not a regular file (a named pipe, device or socket); choose a file name.";
}

std::string InOutErrorMessage(int systemError) {
    const int code = RunTimeCode(systemError);
    return code != 0 ? RunTimeMessage(code) : "I/O error " + std::to_string(systemError);
}

TLogFile::~TLogFile() {
    if (Fd >= 0) {
        ::close(Fd);
    }
}

void TLogFile::Rewrite(const std::string& name) {
    Open(name, O_WRONLY | O_CREAT | O_TRUNC);
}

void TLogFile::Append(const std::string& name) {
    Open(name, O_WRONLY | O_APPEND);
}

void TLogFile::Open(const std::string& name, int flags) {
    Close();
    if (name.empty()) {
        Fail(ENOENT);
    }
    // A named pipe would block the program until some reader came, and a device or socket
    // is no log file: only regular files (or new ones) are opened, checked before and after.
    struct stat before {};
    if (::stat(name.c_str(), &before) == 0 && Refused(before.st_mode)) {
        FailNotAFile(name);
    }
    const int fd = ::open(name.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
    if (fd < 0) {
        if (errno == ENXIO) {
            FailNotAFile(name);
        }
        Fail(errno);
    }
    struct stat after {};
    if (::fstat(fd, &after) != 0 || Refused(after.st_mode)) {
        ::close(fd);
        FailNotAFile(name);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    Fd = fd;
    Name = name;
}

void TLogFile::FailNotAFile(const std::string& name) {
    throw EInOutError(FileAccessDenied, NotAFileMessage(name));
}

void TLogFile::Write(std::string_view text) {
    if (Fd < 0) {
        throw EInOutError(FileNotOpen, RunTimeMessage(FileNotOpen));
    }
    while (!text.empty()) {
        const ssize_t n = ::write(Fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(errno);
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

void TLogFile::WriteLine(std::string_view line) {
    std::string text(line);
    text += LineEnd;
    Write(text);
}

void TLogFile::Close() {
    if (Fd < 0) {
        return;
    }
    const int fd = Fd;
    Fd = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        Fail(errno);
    }
}

void TLogFile::Fail(int systemError) {
    const int code = RunTimeCode(systemError);
    throw EInOutError(code != 0 ? code : systemError, InOutErrorMessage(systemError));
}

void CloseQuietly(TLogFile& file) {
    try {
        file.Close();
    } catch (const EInOutError&) {
        // The caller is already reporting the error that made it give the file up.
    }
}

} // namespace logdata
