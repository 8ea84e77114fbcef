#include "logdata/LogVerdict.h"

#include "logdata/LogStats.h"
#include "protocol/DateTime.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace logdata {

namespace {

std::optional<int> CommonStep(const std::vector<protocol::LogRecord>& entries,
                              const std::vector<std::size_t>& order) {
    std::optional<int> best;
    std::size_t bestCount = 0;
    for (const auto& [step, count] : StepCounts(entries, order)) {
        if (count > bestCount) {
            best = static_cast<int>(step);
            bestCount = count;
        }
    }
    return best;
}

// Whole per cent to the nearest, except that a share other than none or all never reads as
// 0 or 100: one interval outside the band in a long log must still show.
int Percent(std::size_t part, std::size_t whole) {
    if (whole == 0 || part == 0) {
        return 0;
    }
    if (part == whole) {
        return 100;
    }
    const int nearest = static_cast<int>((part * 200 + whole) / (whole * 2));
    return std::clamp(nearest, 1, 99);
}

// Adds one entry outside the band to the spell it continues, or starts a new one.
void Extend(TExcursion& x, const protocol::LogRecord& e, int min, int max,
            const TProtectionBand& band) {
    const bool under = x.Kind == TProtection::Under;
    const int reading = under ? max : min;
    const int beyond = under ? reading - band.Upper : band.Lower - reading;
    if (x.Entries == 0 || beyond > x.Beyond) {
        x.Worst = reading;
        x.WorstMinutes = e.Minutes;
        x.Beyond = beyond;
    }
    if (x.Entries == 0) {
        x.FirstMinutes = e.Minutes;
    }
    x.LastMinutes = e.Minutes;
    ++x.Entries;
}

TZoneVerdict JudgeZone(const TParsedLog& log, const std::vector<std::size_t>& order,
                       const std::vector<std::pair<std::size_t, std::size_t>>& runs, int zone,
                       const TProtectionBand& band, int interval) {
    TZoneVerdict v;
    v.Zone = zone;
    const std::size_t minAt = static_cast<std::size_t>(zone - 1) * 2;
    std::size_t under = 0, over = 0;
    for (const auto& [from, to] : runs) {
        std::optional<TExcursion> open;
        const auto close = [&] {
            if (open) {
                open->DurationMinutes = open->LastMinutes - open->FirstMinutes + interval;
                v.Excursions.push_back(*open);
                open.reset();
            }
        };
        for (std::size_t i = from; i <= to; ++i) {
            const protocol::LogRecord& e = log.Entries[order[i]];
            const int min = e.Values[minAt], max = e.Values[minAt + 1];
            const TProtection kind = Classify(min, max, band);
            ++v.Count;
            under += kind == TProtection::Under;
            over += kind == TProtection::Over;
            if (open && open->Kind != kind) {
                close();
            }
            if (kind == TProtection::Protected) {
                continue;
            }
            if (!open) {
                open = TExcursion{};
                open->Zone = zone;
                open->Kind = kind;
            }
            Extend(*open, e, min, max, band);
        }
        // Nobody knows what the hull did during a gap, so a spell never runs across one.
        close();
    }
    v.ProtectedPercent = Percent(v.Count - under - over, v.Count);
    v.UnderPercent = Percent(under, v.Count);
    v.OverPercent = Percent(over, v.Count);
    for (std::size_t i = 0; i < v.Excursions.size(); ++i) {
        if (!v.Worst || v.Excursions[i].Beyond > v.Excursions[*v.Worst].Beyond) {
            v.Worst = i;
        }
    }
    return v;
}

} // namespace

std::optional<int64_t> ClockAhead(const THeaderValues& header) {
    const protocol::DateFormats formats;
    const auto logger = protocol::StrToDateTime(header.KestroTime, formats);
    const auto pc = protocol::StrToDateTime(header.PcTime, formats);
    if (!logger || !pc) {
        return std::nullopt;
    }
    return protocol::MinutesSinceEpoch(*logger) - protocol::MinutesSinceEpoch(*pc);
}

TLogVerdict JudgeLog(const TParsedLog& log, const TProtectionBand& band) {
    TLogVerdict v;
    const std::vector<std::size_t> order = TimeOrder(log.Entries);
    v.IntervalMinutes = log.IntervalMinutes();
    if (!v.IntervalMinutes) {
        v.IntervalMinutes = CommonStep(log.Entries, order);
    }
    v.ClockAheadMinutes = ClockAhead(log.Header);
    const auto runs = ContinuousRuns(log.Entries, order, v.IntervalMinutes);
    if (!order.empty()) {
        v.FirstMinutes = log.Entries[order.front()].Minutes;
        v.LastMinutes = log.Entries[order.back()].Minutes;
    }
    for (std::size_t r = 1; r < runs.size(); ++r) {
        v.Gaps.push_back({log.Entries[order[runs[r - 1].second]].Minutes,
                          log.Entries[order[runs[r].first]].Minutes});
    }
    for (int zone = 1; zone <= log.ZoneCount(); ++zone) {
        v.Zones.push_back(JudgeZone(log, order, runs, zone, band, v.IntervalMinutes.value_or(0)));
    }
    return v;
}

} // namespace logdata
