// The log as CSV (RFC 4180): one heading row, then one row per entry with the configuration
// the log was downloaded with in columns of its own, so every row stands alone.
#pragma once

#include "logdata/LogParse.h"
#include "logdata/ProtectionBand.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace logdata {

// Minutes east of UTC that the PC's clock was at the given local time (daylight saving
// included).
using TUtcOffset = std::function<int(const protocol::DateTime& local)>;
int LocalUtcOffsetMinutes(const protocol::DateTime& local);

struct TCsvOptions {
    // The band written in the band columns; unset, the preset for the log's header, which is
    // also what the viewer starts with.
    std::optional<TProtectionBand> Band;
    // Asked once, for the PC time of the header: the logger's clock knows no daylight saving,
    // so one offset serves the whole download.
    TUtcOffset UtcOffset = LocalUtcOffsetMinutes;
};

// "2026-08-14T05:20:00", the logger's clock as it counts, with no offset.
std::string LoggerTimeText(int64_t minutesSinceEpoch);
// "2026-08-14T04:20:00Z" for a logger time and the PC's offset east of UTC.
std::string UtcTimeText(int64_t minutesSinceEpoch, int utcOffsetMinutes);
// A text cell: always quoted, quotes doubled, and a leading ' before a first character that
// a spreadsheet would take as the start of a formula (= + - @ tab CR).
std::string CsvTextCell(const std::string& utf8);
// The file's one-byte texts for tools that expect UTF-8.
std::string Latin1ToUtf8(const std::string& text);

// From the header and the entries as they came off the line (entry 0, the log count read as
// an entry, is left out as the viewer leaves it out). Lines end with CR LF.
std::string LogCsvText(const THeaderValues& header, const std::vector<protocol::LogRecord>& records,
                       const TCsvOptions& options = {});
// From a log file read back.
std::string LogCsvText(const TParsedLog& log, const TCsvOptions& options = {});

} // namespace logdata
