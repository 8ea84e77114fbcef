// The log as CSV (RFC 4180): configuration as "#" comment lines, a heading, one row per entry.
#pragma once

#include "logdata/LogParse.h"
#include "logdata/ProtectionBand.h"

#include <functional>
#include <optional>
#include <string>

namespace logdata {

// Minutes east of UTC that the PC's clock was at the given local time (daylight saving
// included).
using TUtcOffset = std::function<int(const protocol::DateTime& local)>;
int LocalUtcOffsetMinutes(const protocol::DateTime& local);

struct TCsvOptions {
    // The band the viewer shows; written as a comment line when set.
    std::optional<TProtectionBand> Band;
    TUtcOffset UtcOffset = LocalUtcOffsetMinutes;
};

// "2026-08-14T05:20:00+01:00"
std::string IsoTimeText(int64_t minutesSinceEpoch, const TUtcOffset& utcOffset);
// A field quoted when it holds a comma, a quote, CR or LF; quotes doubled.
std::string CsvField(const std::string& text);
// The file's one-byte texts for tools that expect UTF-8.
std::string Latin1ToUtf8(const std::string& text);

// Lines end with CR LF.
std::string LogCsvText(const TParsedLog& log, const TCsvOptions& options = {});

} // namespace logdata
