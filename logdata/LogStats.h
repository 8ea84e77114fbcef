// Figures of a log per zone, and where the log has gaps.
#pragma once

#include "logdata/ProtectionBand.h"
#include "protocol/LogRecord.h"

#include <cstddef>
#include <map>
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
// more than one and a half of the log's usual steps between neighbours is a gap. The usual step
// is the one taken most often (more than once); only a log without one goes by intervalMinutes.
// How often each step between neighbouring entries (in time order) was taken, in minutes.
std::map<int64_t, std::size_t> StepCounts(const std::vector<protocol::LogRecord>& entries,
                                          const std::vector<std::size_t>& order);

std::vector<std::pair<std::size_t, std::size_t>>
ContinuousRuns(const std::vector<protocol::LogRecord>& entries,
               const std::vector<std::size_t>& order, std::optional<int> intervalMinutes);

// One point of a zone's band as the chart draws it.
struct TEnvelopePoint {
    double X = 0;
    int32_t Min = 0, Max = 0;
    bool operator==(const TEnvelopePoint&) const = default;
};

// The band of one zone over positions [From, To] into Order (a run without gaps), reduced to
// one point per slot of width Slot counted from Left: the lowest Min and highest Max of the
// slot's entries at their mean time. Times are the entries' x values by position. Only the
// positions between Left and Right are used, with one neighbour on either side so that the
// band runs off the edges of the view. No entry's extremes are ever left out.
std::vector<TEnvelopePoint> ZoneEnvelope(const std::vector<protocol::LogRecord>& entries,
                                         const std::vector<std::size_t>& order,
                                         const std::vector<double>& times, std::size_t from,
                                         std::size_t to, int zone, double left, double right,
                                         double slot);

} // namespace logdata
