#include "protocol/LogRecord.h"

namespace protocol {

std::string LogRecordText(const std::array<int32_t, 6>& values) {
    std::string out;
    for (const int32_t v : values)
        out += " " + std::to_string(v);
    return out;
}

std::string LogLine(const LogRecord& record, const DateFormats& formats) {
    return std::to_string(record.Index) + " " + DateTimeToStr(record.TimeStamp(), formats) +
           LogRecordText(record.Values);
}

bool IsShownInLogMemo(int32_t logIndex, int32_t logCapacity) {
    return logIndex > 0 && logIndex <= logCapacity;
}

} // namespace protocol
