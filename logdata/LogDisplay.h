// The log lines shown on the "Log Data" page, which Save writes back out unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace logdata {

class TLogDisplay {
public:
    // Appends the line when the index may be shown (entry 0 and numbers past the capacity go
    // to the file only); true when it was.
    bool Show(int32_t logIndex, int32_t logCapacity, const std::string& line);
    void Clear() { Lines.clear(); }

    const std::vector<std::string>& ShownLines() const { return Lines; }
    // As the memo holds it: every line followed by CR LF.
    std::string Text() const;

private:
    std::vector<std::string> Lines;
};

} // namespace logdata
