// The chart alone, offscreen: a fixed set of series whatever the gaps, the logger's clock on
// the time axis whatever the PC's daylight-saving time, round ticks, its zoom keys.
#include "app/LogChart.h"
#include "app/ChartTicks.h"
#include "protocol/DateTime.h"
#include "tests/logdata/WrittenLogs.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>

namespace apptest {
namespace {

using TRuns = std::vector<std::pair<std::size_t, std::size_t>>;

std::vector<app::TChartZone> ZonesOf(int Count) {
    std::vector<app::TChartZone> Zones;
    const QColor Colours[3] = {Qt::blue, Qt::darkYellow, Qt::magenta};
    for (int Zone = 1; Zone <= Count; ++Zone)
        Zones.push_back({Zone, QStringLiteral("Zone %1").arg(Zone), Colours[Zone - 1]});
    return Zones;
}

std::vector<std::size_t> InOrder(std::size_t Count) {
    std::vector<std::size_t> Order(Count);
    for (std::size_t I = 0; I < Count; ++I)
        Order[I] = I;
    return Order;
}

// Fault caught: a series per unbroken run (thousands for a gappy log), or series piling up
// with every redraw of a followed download.
TEST(LogChartSeries, OneSeriesPerZoneWhateverTheGapsAndHoweverOftenRedrawn) {
    struct TCase {
        const char* Name;
        std::size_t RunLength; // entries per unbroken run; 1 is a gap between every entry
        int Zones;
    };
    const TCase Cases[] = {{"no gap", 0, 3},
                           {"gap between every entry", 1, 3},
                           {"a gap every 10 entries", 10, 2},
                           {"one zone, gappy", 1, 1}};
    for (const TCase& C : Cases) {
        app::TLogChart Chart;
        Chart.resize(900, 500);
        Chart.SetBand({-800, -1050});
        Chart.show();
        std::vector<protocol::LogRecord> Entries;
        const auto All = writtenlogs::MakeEntries(400);
        // A download followed: the entries grow, the chart is told again each time.
        for (std::size_t Count = 40; Count <= All.size(); Count += 40) {
            Entries.assign(All.begin(), All.begin() + static_cast<std::ptrdiff_t>(Count));
            TRuns Runs;
            const std::size_t Length = C.RunLength == 0 ? Count : C.RunLength;
            for (std::size_t From = 0; From < Count; From += Length)
                Runs.emplace_back(From, std::min(Count, From + Length) - 1);
            Chart.SetEntries(&Entries, InOrder(Count), Runs, ZonesOf(C.Zones), "Hull");
            QCoreApplication::processEvents();
            EXPECT_EQ(Chart.SeriesCount(), 3u + static_cast<std::size_t>(C.Zones))
                << C.Name << ", " << Count << " entries";
        }
        // A log with fewer zones takes the others' series away.
        Chart.SetEntries(&Entries, InOrder(Entries.size()), {{0, Entries.size() - 1}}, ZonesOf(1),
                         "Hull");
        EXPECT_EQ(Chart.SeriesCount(), 4u) << C.Name;
    }
}

// Restores TZ when the test ends, so no other test runs in a borrowed zone.
struct TZoneOfThePc {
    explicit TZoneOfThePc(const char* Zone) {
        if (const char* Old = std::getenv("TZ"))
            FOld = Old, FHad = true;
        setenv("TZ", Zone, 1);
        tzset();
    }
    ~TZoneOfThePc() {
        if (FHad)
            setenv("TZ", FOld.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::string FOld;
    bool FHad = false;
};

// The logger's clock at a tick, worked out with the logger's own calendar arithmetic.
QString LoggerClockText(double Ms) {
    const double EpochMs = app::LoggerClockMs(0);
    const auto T = protocol::DateTimeFromMinutes(static_cast<int64_t>((Ms - EpochMs) / 60000.0));
    return QString::asprintf("%02d/%02d/%02d %02d:%02d", T.Day, T.Month, T.Year % 100, T.Hour,
                             T.Minute);
}

// Fault caught: times taken as the PC's local time, so the axis folds back in the autumn and
// jumps in the spring (labels running backwards), and ticks off whole hours.
TEST(LogChartTime, TheAxisIsTheLoggersClockStraightThroughBothDaylightSavingChanges) {
    struct TCase {
        const char* Zone;
        protocol::DateTime Spring, Autumn; // the PC's clock changes, 02:00 local or so
    };
    const TCase Cases[] = {
        {"America/New_York", {2026, 3, 8, 0, 0, 0, 0}, {2026, 11, 1, 0, 0, 0, 0}},
        {"Europe/Berlin", {2026, 3, 29, 0, 0, 0, 0}, {2026, 10, 25, 0, 0, 0, 0}}};
    for (const TCase& C : Cases) {
        TZoneOfThePc Pc(C.Zone);
        for (const protocol::DateTime& Day : {C.Spring, C.Autumn}) {
            // Two days of 15-minute entries around the change.
            const int64_t First = protocol::MinutesSinceEpoch(Day) - 1440;
            for (int64_t M = First; M < First + 2 * 1440; M += 15)
                ASSERT_EQ(app::TLogChart::TimeOf(M + 15) - app::TLogChart::TimeOf(M), 15 * 60000.0)
                    << C.Zone << " at minute " << M;
            const double From = app::TLogChart::TimeOf(First);
            for (double Span : {2 * 86400000.0, 6 * 3600000.0, 14 * 86400000.0}) {
                const auto Ticks = app::TimeTicks(From, From + Span, 6);
                ASSERT_FALSE(Ticks.empty()) << C.Zone;
                EXPECT_LE(Ticks.size(), 7u) << C.Zone;
                for (std::size_t I = 0; I < Ticks.size(); ++I) {
                    EXPECT_EQ(std::fmod(Ticks[I].Ms - app::LoggerClockMs(0), 3600000.0), 0.0)
                        << C.Zone << ": a tick off the whole hour";
                    if (I > 0) {
                        EXPECT_GT(Ticks[I].Ms, Ticks[I - 1].Ms) << C.Zone;
                    }
                    // Day ticks show the date alone: compare what they show.
                    const QString Clock = LoggerClockText(Ticks[I].Ms);
                    EXPECT_EQ(Ticks[I].Label, Clock.left(Ticks[I].Label.size()))
                        << C.Zone << " " << Span;
                }
            }
        }
    }
}

// Fault caught: the mV axis split into equal parts of an odd span (-676, -737, ...).
TEST(LogChartTicks, MillivoltTicksAreRoundAtEveryZoom) {
    for (double Span : {1400.0, 650.0, 333.0, 97.0, 41.5, 12.0, 3.3}) {
        const double Step = app::RoundStep(Span, 8);
        const double Mantissa = Step / std::pow(10.0, std::floor(std::log10(Step)));
        EXPECT_TRUE(std::abs(Mantissa - 1) < 1e-9 || std::abs(Mantissa - 2) < 1e-9 ||
                    std::abs(Mantissa - 5) < 1e-9)
            << Span << " gives " << Step;
        EXPECT_LE(Span / Step, 8.0) << Span;
        // Not needlessly coarse: the next round step down would give too many ticks.
        const double Finer = std::abs(Mantissa - 2) < 1e-9 ? Step / 2 : Step * 2 / 5;
        if (Finer >= 1) {
            EXPECT_GT(Span / Finer, 8.0) << Span;
        }
    }
}

// Fault caught: "=" (the "+" key without Shift) doing nothing.
TEST(LogChartKeys, EqualsAndPlusZoomIn) {
    for (int Key : {int(Qt::Key_Equal), int(Qt::Key_Plus)}) {
        app::TLogChart Chart;
        Chart.resize(900, 500);
        const auto Entries = writtenlogs::MakeEntries(200);
        Chart.SetEntries(&Entries, InOrder(Entries.size()), {{0, Entries.size() - 1}}, ZonesOf(3),
                         "Hull");
        Chart.show();
        QWidget* Surface = Chart.findChild<QWidget*>("ChartView");
        ASSERT_NE(Surface, nullptr);
        const auto [From, To] = Chart.ShownRange();
        QTest::keyClick(Surface, static_cast<Qt::Key>(Key));
        const auto [ZFrom, ZTo] = Chart.ShownRange();
        EXPECT_LT(ZTo - ZFrom, (To - From) * 0.9) << Key;
    }
}

} // namespace
} // namespace apptest
