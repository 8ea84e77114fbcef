#include "logdata/LogDisplay.h"

#include "logdata/LogFile.h"
#include "protocol/LogRecord.h"

namespace logdata {

bool TLogDisplay::Show(int32_t logIndex, int32_t logCapacity, const std::string& line) {
    if (!protocol::IsShownInLogMemo(logIndex, logCapacity)) {
        return false;
    }
    Lines.push_back(line);
    return true;
}

std::string TLogDisplay::Text() const {
    std::string text;
    for (const std::string& line : Lines) {
        text += line;
        text += LineEnd;
    }
    return text;
}

} // namespace logdata
