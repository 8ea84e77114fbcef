#include "logdata/LogFile.h"

#include <cerrno>
#include <fcntl.h>
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
    const int fd = ::open(name.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) {
        Fail(errno);
    }
    Fd = fd;
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
