#include "logdata/LogStats.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>

namespace logdata {

TZoneSummary SummariseZone(const std::vector<protocol::LogRecord>& entries, int zone,
                           const TProtectionBand& band) {
    TZoneSummary s;
    s.Zone = zone;
    const std::size_t minAt = static_cast<std::size_t>(zone - 1) * 2;
    std::size_t under = 0, over = 0, inside = 0;
    for (const protocol::LogRecord& e : entries) {
        const int min = e.Values[minAt];
        const int max = e.Values[minAt + 1];
        if (s.Count == 0) {
            s.FirstMinutes = s.LastMinutes = e.Minutes;
            s.LowestMin = min;
            s.HighestMax = max;
        }
        ++s.Count;
        s.FirstMinutes = std::min(s.FirstMinutes, e.Minutes);
        s.LastMinutes = std::max(s.LastMinutes, e.Minutes);
        s.LowestMin = std::min(s.LowestMin, min);
        s.HighestMax = std::max(s.HighestMax, max);
        switch (Classify(min, max, band)) {
        case TProtection::Under:
            ++under;
            break;
        case TProtection::Over:
            ++over;
            break;
        case TProtection::Protected:
            ++inside;
            break;
        }
    }
    if (s.Count > 0) {
        const double n = static_cast<double>(s.Count);
        s.Under = static_cast<double>(under) / n;
        s.Over = static_cast<double>(over) / n;
        s.Protected = static_cast<double>(inside) / n;
    }
    return s;
}

std::vector<std::size_t> TimeOrder(const std::vector<protocol::LogRecord>& entries) {
    std::vector<std::size_t> order(entries.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return entries[a].Minutes < entries[b].Minutes;
    });
    return order;
}

namespace {

// The step the logger took most often, when one was taken more than once (or is the only
// one); a log whose every step differs has no step of its own to go by.
std::optional<int64_t> MostCommonStep(const std::vector<protocol::LogRecord>& entries,
                                      const std::vector<std::size_t>& order) {
    const std::map<int64_t, std::size_t> counts = StepCounts(entries, order);
    if (counts.empty()) {
        return std::nullopt;
    }
    const auto most =
        std::max_element(counts.begin(), counts.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });
    if (most->second < 2 && counts.size() > 1) {
        return std::nullopt;
    }
    return most->first;
}

} // namespace

std::map<int64_t, std::size_t> StepCounts(const std::vector<protocol::LogRecord>& entries,
                                          const std::vector<std::size_t>& order) {
    std::map<int64_t, std::size_t> counts;
    for (std::size_t i = 1; i < order.size(); ++i) {
        const int64_t step = entries[order[i]].Minutes - entries[order[i - 1]].Minutes;
        if (step > 0) {
            ++counts[step];
        }
    }
    return counts;
}

std::vector<std::pair<std::size_t, std::size_t>>
ContinuousRuns(const std::vector<protocol::LogRecord>& entries,
               const std::vector<std::size_t>& order, std::optional<int> intervalMinutes) {
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    if (order.empty()) {
        return runs;
    }
    // The header's interval is the logger's setting now, which may have changed since the
    // entries were logged; the log's own steps say how it was logged.
    std::optional<int64_t> step = MostCommonStep(entries, order);
    if (!step && intervalMinutes) {
        step = *intervalMinutes;
    }
    std::size_t start = 0;
    for (std::size_t i = 1; i < order.size(); ++i) {
        const int64_t gap = entries[order[i]].Minutes - entries[order[i - 1]].Minutes;
        // Twice the gap against three steps keeps the test in whole numbers.
        if (step && gap * 2 > *step * 3) {
            runs.emplace_back(start, i - 1);
            start = i;
        }
    }
    runs.emplace_back(start, order.size() - 1);
    return runs;
}

std::vector<TEnvelopePoint> ZoneEnvelope(const std::vector<protocol::LogRecord>& entries,
                                         const std::vector<std::size_t>& order,
                                         const std::vector<double>& times, std::size_t from,
                                         std::size_t to, int zone, double left, double right,
                                         double slot) {
    std::vector<TEnvelopePoint> points;
    if (from > to || to >= times.size() || slot <= 0) {
        return points;
    }
    const std::size_t minAt = static_cast<std::size_t>(zone - 1) * 2;
    const auto begin = times.begin();
    std::size_t i =
        static_cast<std::size_t>(std::lower_bound(begin + from, begin + to + 1, left) - begin);
    i = i > from ? i - 1 : i;
    const std::size_t last = std::min(
        static_cast<std::size_t>(std::upper_bound(begin + from, begin + to + 1, right) - begin),
        to);
    while (i <= last) {
        const double slotOf = std::floor((times[i] - left) / slot);
        TEnvelopePoint p;
        double sum = 0;
        std::size_t n = 0;
        for (; i <= last && std::floor((times[i] - left) / slot) == slotOf; ++i, ++n) {
            const protocol::LogRecord& e = entries[order[i]];
            p.Min = n == 0 ? e.Values[minAt] : std::min(p.Min, e.Values[minAt]);
            p.Max = n == 0 ? e.Values[minAt + 1] : std::max(p.Max, e.Values[minAt + 1]);
            sum += times[i];
        }
        p.X = sum / static_cast<double>(n);
        points.push_back(p);
    }
    return points;
}

} // namespace logdata
