// Is the hull protected? A log's verdict per zone: its share of protected time and each spell
// outside the band, with the gaps in the log and the logger's clock against the PC's.
#pragma once

#include "logdata/LogParse.h"
#include "logdata/ProtectionBand.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace logdata {

// Consecutive entries of one zone on the same side of the band, with no gap between them.
struct TExcursion {
    int Zone = 1;
    TProtection Kind = TProtection::Under; // Under or Over, never Protected
    int64_t FirstMinutes = 0;              // time stamps of its first and last entry
    int64_t LastMinutes = 0;
    std::size_t Entries = 0;
    // Each entry stands for one interval, so a single entry lasts one interval.
    int64_t DurationMinutes = 0;
    // The highest Max of an under-protected spell, the lowest Min of an over-protected one.
    int Worst = 0;
    int64_t WorstMinutes = 0;
    // How far Worst lies beyond the limit it crossed, in mV.
    int Beyond = 0;
    bool operator==(const TExcursion&) const = default;
};

struct TZoneVerdict {
    int Zone = 1;
    std::size_t Count = 0;
    // Shares of entries in whole per cent, to the nearest; only none is 0 and only all is 100.
    int ProtectedPercent = 0, UnderPercent = 0, OverPercent = 0;
    std::vector<TExcursion> Excursions; // in time order
    // Into Excursions: the one furthest beyond its limit (the first of equals).
    std::optional<std::size_t> Worst;
    bool operator==(const TZoneVerdict&) const = default;
};

struct TLogGap {
    int64_t AfterMinutes = 0;  // the last entry before the gap
    int64_t BeforeMinutes = 0; // the first entry after it
    bool operator==(const TLogGap&) const = default;
};

struct TLogVerdict {
    std::vector<TZoneVerdict> Zones; // one per enabled zone
    // The header's interval, or the most common step between entries when it does not say.
    std::optional<int> IntervalMinutes;
    std::vector<TLogGap> Gaps;
    int64_t FirstMinutes = 0, LastMinutes = 0; // of the whole log; 0 without entries
    // The logger's clock minus the PC's when the log was downloaded; nullopt when either time
    // is missing or unreadable.
    std::optional<int64_t> ClockAheadMinutes;
    bool operator==(const TLogVerdict&) const = default;
};

TLogVerdict JudgeLog(const TParsedLog& log, const TProtectionBand& band);

// The header's "Kestro Time" minus its "PC Time" in minutes.
std::optional<int64_t> ClockAhead(const THeaderValues& header);

} // namespace logdata
