// One log entry of the logger's memory and its log line.
#pragma once

#include "protocol/DateTime.h"

#include <array>
#include <cstdint>
#include <string>

namespace protocol {

struct LogRecord {
    int32_t Index = 0;
    // Minutes since the epoch, LE(0) * 65536 + LE(1); never negative.
    int64_t Minutes = 0;
    // Min1, Max1, Min2, Max2, Min3, Max3.
    std::array<int32_t, 6> Values{};

    DateTime TimeStamp() const { return DateTimeFromMinutes(Minutes); }
    // A time stamp not after the epoch marks an empty slot: the end of the log.
    bool IsEndOfLog() const { return Minutes <= 0; }
    bool operator==(const LogRecord&) const = default;
};

// The six values, each preceded by one blank.
std::string LogRecordText(const std::array<int32_t, 6>& values);
// Index, time stamp text, six values, single blanks: "12 14/08/26 05:20 -120 35 0 0 0 0".
std::string LogLine(const LogRecord& record, const DateFormats& formats = {});
// Record 0 and records past the capacity go to the log file only, not to the log display.
bool IsShownInLogMemo(int32_t logIndex, int32_t logCapacity);

} // namespace protocol
