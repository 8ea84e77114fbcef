#pragma once

// The logger's end of the serial line: a new pseudo-terminal or an existing serial device,
// both raw at 9600 8N1 without handshaking.

#include <string>

namespace sim {

class Line {
public:
    Line() = default;
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;
    Line(Line&& other) noexcept;
    Line& operator=(Line&& other) noexcept;
    ~Line() { Close(); }

    // Opens a new pseudo-terminal; throws std::system_error.
    static Line OpenPty();
    // Opens a serial device such as /dev/ttyUSB1; throws std::system_error.
    static Line OpenDevice(const std::string& path);

    int Fd() const { return fd_; }
    // The path the program opens: the pty's slave, or the device itself.
    const std::string& Path() const { return path_; }
    bool IsOpen() const { return fd_ >= 0; }
    bool IsPty() const { return heldSlave_ >= 0; }
    // Closing a pty makes its slave path go away: the program sees the line drop.
    void Close();
    // Bytes written but not yet read by the program (always 0 for a device).
    int Unread() const;

private:
    int fd_ = -1;
    // Keeps the slave open so the master never reads a hang-up between two opens by the
    // program, and so the raw settings stay in force.
    int heldSlave_ = -1;
    std::string path_;
};

// Puts a tty into raw 9600 8N1 with no flow control; throws std::system_error.
void MakeRaw9600(int fd);

enum class WriteResult { Written, Full, Gone };
// Writes all bytes, waiting up to a second while nobody reads the other end.
WriteResult WriteAll(int fd, const std::string& bytes);

// Points linkPath at target (replacing an old symbolic link, never another file); throws.
void MakeLink(const std::string& target, const std::string& linkPath);
void RemoveLink(const std::string& linkPath);

} // namespace sim
