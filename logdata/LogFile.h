// The log text file: one file object, opened for rewriting or appending, written line by line.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace logdata {

// Every line of the file ends with CR LF.
inline constexpr std::string_view LineEnd = "\r\n";

// The run-time library's input/output error: "Disk full", "File access denied", "I/O error %d".
class EInOutError : public std::runtime_error {
public:
    EInOutError(int errorCode, const std::string& message)
        : std::runtime_error(message), ErrorCode(errorCode) {}
    int ErrorCode;
};

// The message the run-time library gives for a system error number.
std::string InOutErrorMessage(int systemError);

// Said when the chosen name is a named pipe, a device or a socket.
std::string NotAFileMessage(const std::string& name);

// Lets tests use a device node (numbered as /dev/full) for a full disk; named pipes and sockets
// stay refused.
void AllowCharacterDevicesForTests(bool allowed);

class TLogFile {
public:
    TLogFile() = default;
    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;
    // Closes without reporting: the destructor has no one to tell.
    ~TLogFile();

    // Creates the file or empties an existing one; the name is used exactly as given. Only a
    // regular file is opened: anything else fails at once, without waiting.
    void Rewrite(const std::string& name);
    // Opens an existing file and writes after its end.
    void Append(const std::string& name);
    // Each write reaches the system at once, so a full disk is noticed at the line that failed.
    void Write(std::string_view text);
    void WriteLine(std::string_view line);
    // Does nothing when no file is open.
    void Close();

    bool IsOpen() const { return Fd >= 0; }
    // The name the file was last opened with, also once it is closed.
    const std::string& FileName() const { return Name; }

private:
    void Open(const std::string& name, int flags);
    [[noreturn]] void Fail(int systemError);
    [[noreturn]] static void FailNotAFile(const std::string& name);

    int Fd = -1;
    std::string Name;
};

// Closes a file that is being given up after an earlier error, which stays the one reported.
void CloseQuietly(TLogFile& file);

} // namespace logdata
