#include "sim/Line.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace sim {
namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

Line::Line(Line&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), heldSlave_(std::exchange(other.heldSlave_, -1)),
      path_(std::move(other.path_)) {}

Line& Line::operator=(Line&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        heldSlave_ = std::exchange(other.heldSlave_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

Line Line::OpenPty() {
    Line line;
    line.fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (line.fd_ < 0)
        Fail("posix_openpt");
    if (grantpt(line.fd_) != 0 || unlockpt(line.fd_) != 0)
        Fail("grantpt/unlockpt");
    char name[128];
    if (ptsname_r(line.fd_, name, sizeof name) != 0)
        Fail("ptsname");
    line.path_ = name;
    line.heldSlave_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (line.heldSlave_ < 0)
        Fail("open " + line.path_);
    // Without raw mode the slave would echo our replies back to us as commands.
    MakeRaw9600(line.heldSlave_);
    return line;
}

Line Line::OpenDevice(const std::string& path) {
    Line line;
    line.fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (line.fd_ < 0)
        Fail("open " + path);
    MakeRaw9600(line.fd_);
    line.path_ = path;
    return line;
}

void Line::Close() {
    if (heldSlave_ >= 0)
        close(heldSlave_);
    if (fd_ >= 0)
        close(fd_);
    heldSlave_ = fd_ = -1;
}

int Line::Unread() const {
    int n = 0;
    if (heldSlave_ < 0 || ioctl(heldSlave_, FIONREAD, &n) != 0)
        return 0;
    return n;
}

void MakeRaw9600(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        Fail("tcgetattr");
    cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS | CSIZE);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    if (tcsetattr(fd, TCSANOW, &t) != 0)
        Fail("tcsetattr");
}

WriteResult WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    int waits = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            if (++waits > 10)
                return WriteResult::Full;
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            return WriteResult::Gone;
        }
    }
    return WriteResult::Written;
}

void MakeLink(const std::string& target, const std::string& linkPath) {
    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            errno = EEXIST;
            Fail(linkPath + " exists and is not a symbolic link");
        }
        unlink(linkPath.c_str());
    }
    if (symlink(target.c_str(), linkPath.c_str()) != 0)
        Fail("symlink " + linkPath);
}

void RemoveLink(const std::string& linkPath) {
    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        unlink(linkPath.c_str());
}

} // namespace sim
