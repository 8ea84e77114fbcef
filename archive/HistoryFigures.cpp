#include "archive/HistoryFigures.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace archive {

std::vector<TMonthFigures> MonthlyFigures(const logdata::TParsedLog& log,
                                          const logdata::TProtectionBand& band) {
    std::map<std::pair<int, int>, std::vector<protocol::LogRecord>> months;
    for (const protocol::LogRecord& r : log.Entries) {
        const protocol::DateTime t = r.TimeStamp();
        months[{t.Year, t.Month}].push_back(r);
    }
    std::vector<TMonthFigures> figures;
    for (const auto& [month, entries] : months) {
        TMonthFigures f{month.first, month.second, {}};
        for (int zone = 1; zone <= log.ZoneCount(); ++zone)
            f.Zones.push_back(logdata::SummariseZone(entries, zone, band));
        figures.push_back(std::move(f));
    }
    return figures;
}

std::optional<std::size_t> UnarchivedEntries(const TArchive& archive,
                                             const logdata::THeaderValues& now) {
    std::string countText = now.LogCount;
    countText.erase(std::remove(countText.begin(), countText.end(), ' '), countText.end());
    int64_t count = 0;
    const auto [end, error] =
        std::from_chars(countText.data(), countText.data() + countText.size(), count);
    if (countText.empty() || error != std::errc() || end != countText.data() + countText.size() ||
        count < 0)
        return std::nullopt;
    const TLoggerKey key = KeyFor(now);
    const auto logger = archive.FindLogger(key.Serial.empty() ? key.Name : key.Serial);
    const auto last = logger ? archive.LastDownload(logger->Id) : std::nullopt;
    if (!last || count < last->EntryCount)
        return static_cast<std::size_t>(count);
    int64_t missing = count - last->EntryCount;
    const auto clock = protocol::StrToDateTime(now.KestroTime, {});
    if (now.CyclicLogging && clock && last->LastMinutes && last->IntervalMinutes) {
        const int64_t logged =
            (protocol::MinutesSinceEpoch(*clock) - *last->LastMinutes) / *last->IntervalMinutes;
        missing = std::clamp<int64_t>(logged, missing, count);
    }
    return static_cast<std::size_t>(missing);
}

} // namespace archive
