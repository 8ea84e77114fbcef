// Figures of a log per zone, and where the log has gaps.
#pragma once

#include "logdata/ProtectionBand.h"
#include "protocol/LogRecord.h"

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

namespace logdata {

struct TZoneSummary {
    int Zone = 1; // 1 to 3
    std::size_t Count = 0;
    int64_t FirstMinutes = 0; // earliest and latest time stamp, minutes since the epoch
    int64_t LastMinutes = 0;
    int LowestMin = 0;
    int HighestMax = 0;
    // Each entry stands for one log interval, so shares of entries are shares of logged time.
    // They add up to 1 when Count > 0.
    double Under = 0, Protected = 0, Over = 0;
    bool operator==(const TZoneSummary&) const = default;
};

TZoneSummary SummariseZone(const std::vector<protocol::LogRecord>& entries, int zone,
                           const TProtectionBand& band);

// Entry positions in time order; the file's order can differ once a cyclic log has wrapped.
std::vector<std::size_t> TimeOrder(const std::vector<protocol::LogRecord>& entries);

// Runs [first, last] of positions into Order that the chart draws as one piece: a step of
// more than one and a half intervals between neighbours is a gap. Without a known interval
// the most common step between neighbours stands in for it.
std::vector<std::pair<std::size_t, std::size_t>>
ContinuousRuns(const std::vector<protocol::LogRecord>& entries,
               const std::vector<std::size_t>& order, std::optional<int> intervalMinutes);

} // namespace logdata
