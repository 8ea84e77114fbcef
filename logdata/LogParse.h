// Reading a log text file back: the header's values, the entries, and what could not be read.
#pragma once

#include "logdata/LogHeader.h"
#include "protocol/LogRecord.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace logdata {

// A line that was skipped, counted from 1 as an editor counts them.
struct TLogProblem {
    std::size_t Line = 0;
    std::string Message;
    bool operator==(const TLogProblem&) const = default;
};

struct TParsedLog {
    // False when the text does not begin with this program's header; nothing else is filled
    // then except NotLogReason.
    bool IsLog = false;
    std::string NotLogReason;
    // Texts as the file holds them: one byte per character.
    THeaderValues Header;
    // In file order; entry 0, which the "Log Data" page never shows, is left out.
    std::vector<protocol::LogRecord> Entries;
    // The line each entry was read from, counted from 1: one per entry when the log was read
    // from a text, none for a log gathered entry by entry.
    std::vector<std::size_t> EntryLines;
    // The first MaxKeptProblems lines that could not be read; the rest are only counted, so
    // that a file of junk costs no more than a sound one.
    std::vector<TLogProblem> Problems;
    std::size_t MoreProblems = 0;

    // Every line that could not be read, kept or not.
    std::size_t ProblemCount() const { return Problems.size() + MoreProblems; }

    // 1 to 3 from "Zones Enabled"; 3 when the header does not say.
    int ZoneCount() const;
    // Minutes of the "Log Interval" item; nullopt for "Off", "?" or an unknown text.
    std::optional<int> IntervalMinutes() const;
    // The description of zone 1 to 3 without the logger's padding blanks.
    std::string ZoneDescription(int zone) const;
};

inline constexpr std::size_t MaxKeptProblems = 100;

// Takes CR LF, LF or CR alone as line ends, the trailing empty line of Save, and skips (and
// reports) any line that is not a log line.
TParsedLog ParseLogText(std::string_view text);

// One log line "12 14/08/26 05:20 -120 35 0 0 0 0"; nullopt with Why filled when it is not.
std::optional<protocol::LogRecord> ParseLogLine(std::string_view line, std::string* why = nullptr);

} // namespace logdata
