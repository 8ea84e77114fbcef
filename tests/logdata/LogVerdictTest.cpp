// The verdict per zone against a small made-up log: zone 1 crosses the steel band both ways,
// the log has a gap, and it runs through the night New York's clocks go forward.
#include "logdata/LogVerdict.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace {

using logdata::TExcursion;
using logdata::TProtection;

int64_t At(int day, int hour) {
    return protocol::MinutesSinceEpoch({2026, 3, day, hour, 0, 0, 0});
}

// Hourly from 07/03/26 22:00; 04:00 and 05:00 on the 8th are missing. 02:00 on the 8th does
// not exist on a New York wall clock, but the logger knows no daylight saving.
logdata::TParsedLog MadeUpLog(const std::string& interval) {
    struct Row {
        int Day, Hour, Min1, Max1;
    };
    const Row rows[] = {
        {7, 22, -900, -880},  // protected
        {7, 23, -850, -790},  // under by 10
        {8, 0, -820, -742},   // under by 58
        {8, 1, -810, -760},   // under by 40
        {8, 2, -900, -850},   // protected
        {8, 3, -1080, -1000}, // over by 30; the gap follows
        {8, 6, -1070, -1000}, // over by 20
        {8, 7, -1000, -900},  // protected
        {8, 8, -1200, -700},  // spans the band: under by 100
        {8, 9, -900, -850},   {8, 10, -900, -850}, {8, 11, -900, -850},
    };
    logdata::TParsedLog log;
    log.IsLog = true;
    log.Header.LogInterval = interval;
    log.Header.Zones = "2";
    log.Header.KestroTime = "08/03/26 11:05";
    log.Header.PcTime = "08/03/26 12:03";
    int index = 1;
    for (const Row& r : rows) {
        protocol::LogRecord e;
        e.Index = index++;
        e.Minutes = At(r.Day, r.Hour);
        e.Values = {r.Min1, r.Max1, -900, -850, 0, 0};
        log.Entries.push_back(e);
    }
    return log;
}

TExcursion Spell(TProtection kind, int64_t first, int64_t last, std::size_t entries,
                 int64_t duration, int worst, int64_t worstAt, int beyond) {
    return {1, kind, first, last, entries, duration, worst, worstAt, beyond};
}

struct VerdictCase {
    const char* Name;
    std::string Interval;
    bool Wrapped; // the file holds the newest entries first, as a wrapped cyclic log can
};

class LogVerdictTest : public testing::TestWithParam<VerdictCase> {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        Saved = tz ? std::optional<std::string>(tz) : std::nullopt;
        setenv("TZ", "America/New_York", 1);
        tzset();
    }
    void TearDown() override {
        if (Saved)
            setenv("TZ", Saved->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::optional<std::string> Saved;
};

TEST_P(LogVerdictTest, SpellsOutsideTheBandSplitAtGapsAndSideChangesNotAtClockChanges) {
    logdata::TParsedLog log = MadeUpLog(GetParam().Interval);
    if (GetParam().Wrapped)
        std::rotate(log.Entries.begin(), log.Entries.begin() + 9, log.Entries.end());
    const logdata::TLogVerdict v = logdata::JudgeLog(log, {-800, -1050});

    EXPECT_EQ(v.IntervalMinutes, 60);
    EXPECT_EQ(v.FirstMinutes, At(7, 22));
    EXPECT_EQ(v.LastMinutes, At(8, 11));
    ASSERT_EQ(v.Gaps.size(), 1u);
    EXPECT_EQ(v.Gaps[0], (logdata::TLogGap{At(8, 3), At(8, 6)}));
    EXPECT_EQ(v.ClockAheadMinutes, -58);
    ASSERT_EQ(v.Zones.size(), 2u);

    // Zone 1: 6 of 12 protected, 4 under (33.3 %), 2 over (16.7 %).
    const logdata::TZoneVerdict& keel = v.Zones[0];
    EXPECT_EQ(keel.Count, 12u);
    EXPECT_EQ(keel.ProtectedPercent, 50);
    EXPECT_EQ(keel.UnderPercent, 33);
    EXPECT_EQ(keel.OverPercent, 17);
    const std::vector<TExcursion> expected = {
        // Three hours through midnight, one an hour each after.
        Spell(TProtection::Under, At(7, 23), At(8, 1), 3, 180, -742, At(8, 0), 58),
        // The gap cuts the over-protected hours in two.
        Spell(TProtection::Over, At(8, 3), At(8, 3), 1, 60, -1080, At(8, 3), 30),
        Spell(TProtection::Over, At(8, 6), At(8, 6), 1, 60, -1070, At(8, 6), 20),
        Spell(TProtection::Under, At(8, 8), At(8, 8), 1, 60, -700, At(8, 8), 100),
    };
    EXPECT_EQ(keel.Excursions, expected);
    EXPECT_EQ(keel.Worst, std::optional<std::size_t>(3));

    const logdata::TZoneVerdict& stern = v.Zones[1];
    EXPECT_EQ(stern.ProtectedPercent, 100);
    EXPECT_EQ(stern.UnderPercent + stern.OverPercent, 0);
    EXPECT_TRUE(stern.Excursions.empty());
    EXPECT_EQ(stern.Worst, std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Logs, LogVerdictTest,
                         testing::Values(VerdictCase{"HeaderInterval", "1 Hour", false},
                                         VerdictCase{"IntervalFromTheSteps", "?", false},
                                         VerdictCase{"WrappedFileOrder", "1 Hour", true}),
                         [](const testing::TestParamInfo<VerdictCase>& info) {
                             return std::string(info.param.Name);
                         });

TEST(LogVerdict, OneIntervalOutOfTwoHundredIsNeverShownAsFullyProtected) {
    // 199 of 200 is 99.5 %, which would round to 100.
    logdata::TParsedLog log;
    log.IsLog = true;
    log.Header.Zones = "1";
    for (int i = 0; i < 200; ++i) {
        protocol::LogRecord e;
        e.Index = i + 1;
        e.Minutes = 15 * i;
        e.Values = {-900, i == 150 ? -799 : -850, 0, 0, 0, 0};
        log.Entries.push_back(e);
    }
    const logdata::TZoneVerdict z = logdata::JudgeLog(log, {-800, -1050}).Zones.at(0);
    EXPECT_EQ(z.ProtectedPercent, 99);
    EXPECT_EQ(z.UnderPercent, 1);
    ASSERT_EQ(z.Excursions.size(), 1u);
    EXPECT_EQ(z.Excursions[0].DurationMinutes, 15);
}

TEST(LogVerdict, ClockDifferenceNeedsBothTimes) {
    struct Case {
        const char* Logger;
        const char* Pc;
        std::optional<int64_t> Ahead;
    };
    const Case cases[] = {
        {"01/01/27 00:02", "31/12/26 23:58", 4}, // across a year's end
        {"14/08/26", "14/08/26 01:00", -60},     // the date alone is midnight
        {"?", "14/08/26 01:00", std::nullopt},
        {"14/08/26 01:00", "", std::nullopt},
    };
    for (const Case& c : cases) {
        logdata::THeaderValues h;
        h.KestroTime = c.Logger;
        h.PcTime = c.Pc;
        EXPECT_EQ(logdata::ClockAhead(h), c.Ahead) << c.Logger << " vs " << c.Pc;
    }
}

} // namespace
