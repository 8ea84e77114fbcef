#include "protocol/DateTime.h"

#include <gtest/gtest.h>

#include <string>

using namespace protocol;

TEST(DateTime, MinutesAndTextsOfKnownInstants) {
    const struct {
        int64_t minutes;
        DateTime dt;
        const char* text;
    } cases[] = {
        {0, {2000, 1, 1, 0, 0, 0, 0}, "01/01/00"},
        {1, {2000, 1, 1, 0, 1, 0, 0}, "01/01/00 00:01"},
        {1439, {2000, 1, 1, 23, 59, 0, 0}, "01/01/00 23:59"},
        {1440, {2000, 1, 2, 0, 0, 0, 0}, "02/01/00"},
        {60 * 1440, {2000, 3, 1, 0, 0, 0, 0}, "01/03/00"}, // 2000 has a 29 February
        {366 * 1440, {2001, 1, 1, 0, 0, 0, 0}, "01/01/01"},
        {14'000'000, {2026, 8, 14, 5, 20, 0, 0}, "14/08/26 05:20"},
        {-1, {1999, 12, 31, 23, 59, 0, 0}, "31/12/99 23:59"},
        {2147483647, {6083, 1, 23, 2, 7, 0, 0}, "23/01/83 02:07"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DateTimeFromMinutes(c.minutes), c.dt) << c.minutes;
        EXPECT_EQ(MinutesSinceEpoch(c.dt), c.minutes) << c.text;
        EXPECT_EQ(DateTimeToStr(c.dt, {}), c.text) << c.minutes;
    }
}

TEST(DateTime, CalendarLeapRules) {
    const auto days = [](DateTime a, DateTime b) {
        return (MinutesSinceEpoch(b) - MinutesSinceEpoch(a)) / 1440;
    };
    EXPECT_EQ(days({2024, 2, 28}, {2024, 3, 1}), 2);
    EXPECT_EQ(days({2100, 2, 28}, {2100, 3, 1}), 1);
    EXPECT_EQ(days({2400, 2, 28}, {2400, 3, 1}), 2);
    EXPECT_EQ(days({2026, 3, 28}, {2026, 3, 30}), 2); // no daylight-saving shift, ever
}

TEST(DateTime, SecondsAreDroppedFromTheMinuteCount) {
    EXPECT_EQ(MinutesSinceEpoch({2026, 8, 14, 5, 20, 59, 999}), 14'000'000);
    // A time of day that is not exactly 00:00:00.000 keeps its time in the text.
    EXPECT_EQ(DateTimeToStr({2026, 8, 14, 0, 0, 30, 0}, {}), "14/08/26 00:00");
    EXPECT_EQ(DateTimeToStr({2026, 8, 14, 0, 0, 0, 1}, {}), "14/08/26 00:00");
}

TEST(DateTime, PcMinutesRoundToTheNearestMinute) {
    const struct {
        DateTime now;
        const char* text;
    } cases[] = {
        {{2026, 8, 14, 5, 20, 0, 0}, "14000000"},  {{2026, 8, 14, 5, 20, 29, 999}, "14000000"},
        {{2026, 8, 14, 5, 20, 30, 0}, "14000001"}, {{2026, 8, 14, 5, 20, 59, 0}, "14000001"},
        {{2000, 1, 1, 0, 0, 0, 0}, "0"},           {{1999, 12, 31, 23, 59, 0, 0}, "-1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PcMinutesText(c.now), c.text) << DateTimeToStr(c.now, {});
}

TEST(DateTime, ParsesDayMonthYear) {
    const struct {
        const char* text;
        std::optional<DateTime> dt;
    } cases[] = {
        {"01/01/00 00:00", Epoch},
        {"01/01/2000", Epoch},
        {"07/12/26 10:45", DateTime{2026, 12, 7, 10, 45, 0, 0}},
        {"7/1/26", DateTime{2026, 1, 7, 0, 0, 0, 0}},
        {"29/02/24 23:59:58", DateTime{2024, 2, 29, 23, 59, 58, 0}},
        {" 14/08/26 05:20 ", DateTime{2026, 8, 14, 5, 20, 0, 0}},
        {"29/02/23", std::nullopt},
        {"31/04/26", std::nullopt},
        {"01/13/26", std::nullopt},
        {"01/01/26 24:00", std::nullopt},
        {"01/01/26 10", std::nullopt},
        {"01-01-26", std::nullopt},
        {"01/01/260", std::nullopt},
        {"01/01/26 10:00x", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StrToDateTime(c.text, {}), c.dt) << c.text;
}

TEST(DateTime, FormatSpecifiers) {
    const DateTime dt{2026, 8, 4, 5, 7, 9, 42};
    const struct {
        const char* format;
        const char* text;
    } cases[] = {
        {"dd/mm/yy hh:mm", "04/08/26 05:07"}, {"d/m/yyyy h:m", "4/8/2026 5:7"},
        {"hh:nn:ss.zzz", "05:07:09.042"},     {"mm", "08"}, // month unless right after an hour
        {"'at' hh:mm", "at 05:07"},           {"c", "04/08/26 05:07"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatDateTime(c.format, dt, {}), c.text) << c.format;

    const DateFormats dotted{'.', "dd/mm/yy", '.', "hh:mm"};
    EXPECT_EQ(DateTimeToStr(dt, dotted), "04.08.26 05.07");
    EXPECT_EQ(StrToDateTime("04.08.26 05.07", dotted), (DateTime{2026, 8, 4, 5, 7, 0, 0}));
}
