#include "logdata/LogSave.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace logdata {

void WriteLogHeader(TLogFile& file, const std::string& name, const THeaderValues& values) {
    file.Rewrite(name);
    for (const std::string& line : HeaderLines(values)) {
        file.WriteLine(line);
    }
}

void SaveLogFile(TLogFile& file, const std::string& name, const THeaderValues& values,
                 const TLogDisplay& display) {
    try {
        WriteLogHeader(file, name, values);
        file.Write(display.Text());
        file.Write(LineEnd);
    } catch (const EInOutError&) {
        CloseQuietly(file);
        throw;
    }
    file.Close();
}

namespace {
std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += LineEnd;
    }
    return text;
}
} // namespace

bool ReplaceLogEntries(const std::string& name, const std::vector<std::string>& writtenLines,
                       const std::vector<std::string>& newLines, std::string& error) {
    char* resolved = name.empty() ? nullptr : ::realpath(name.c_str(), nullptr);
    if (!resolved) {
        return false;
    }
    const std::string path = resolved;
    std::free(resolved);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    std::string text;
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        if (!in) {
            error = "The file could not be read back.";
            return false;
        }
        text = all.str();
    }
    // Only the file as the download wrote it is written again.
    std::size_t headerEnd = 0;
    for (std::size_t line = 0; line < HeaderLineCount; ++line) {
        headerEnd = text.find(LineEnd, headerEnd);
        if (headerEnd == std::string::npos) {
            error = "The file has changed since it was written.";
            return false;
        }
        headerEnd += LineEnd.size();
    }
    if (text.compare(headerEnd, std::string::npos, Joined(writtenLines)) != 0) {
        error = "The file has changed since it was written.";
        return false;
    }
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        error = InOutErrorMessage(errno);
        return false;
    }
    ::close(fd);
    try {
        TLogFile out;
        out.Rewrite(temporary);
        out.Write(std::string_view(text).substr(0, headerEnd));
        out.Write(Joined(newLines));
        out.Close();
        if (::chmod(temporary.c_str(), info.st_mode & 07777) != 0 ||
            ::rename(temporary.c_str(), path.c_str()) != 0) {
            throw EInOutError(errno, InOutErrorMessage(errno));
        }
    } catch (const EInOutError& e) {
        ::unlink(temporary.c_str());
        error = e.what();
        return false;
    }
    return true;
}

} // namespace logdata
