#include "sim/Clock.h"

#include <charconv>
#include <cstdio>
#include <ctime>

namespace sim {
namespace {

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

const int64_t kEpochDays = DaysFromCivil(2000, 1, 1);

bool ParseNumber(std::string_view text, int& out) {
    if (text.empty())
        return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

} // namespace

int64_t CivilToMinutes(const CivilTime& t) {
    const int64_t days = DaysFromCivil(t.year, t.month, t.day) - kEpochDays;
    return days * 1440 + t.hour * 60 + t.minute;
}

CivilTime MinutesToCivil(int64_t minutes) {
    int64_t days = minutes / 1440;
    int64_t rest = minutes % 1440;
    if (rest < 0) {
        rest += 1440;
        --days;
    }
    // Inverse of DaysFromCivil, counted from 1970 as that algorithm is.
    const int64_t z = days + kEpochDays + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    CivilTime t;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
    t.hour = static_cast<int>(rest / 60);
    t.minute = static_cast<int>(rest % 60);
    return t;
}

std::string TimeStampText(int64_t minutes) {
    const CivilTime t = MinutesToCivil(minutes);
    char text[32];
    const int yy = ((t.year % 100) + 100) % 100;
    if (t.hour == 0 && t.minute == 0)
        std::snprintf(text, sizeof text, "%02d/%02d/%02d", t.day, t.month, yy);
    else
        std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d", t.day, t.month, yy, t.hour,
                      t.minute);
    return text;
}

int64_t PcClockMs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    CivilTime t{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min};
    return CivilToMinutes(t) * 60000 + local.tm_sec * 1000LL + now.tv_nsec / 1000000;
}

std::optional<int64_t> ParseClock(std::string_view text) {
    int number = 0;
    if (ParseNumber(text, number))
        return number >= 0 ? std::optional<int64_t>(number) : std::nullopt;
    // dd/mm/yy with an optional " hh:mm"
    if (text.size() != 8 && text.size() != 14)
        return std::nullopt;
    if (text[2] != '/' || text[5] != '/')
        return std::nullopt;
    CivilTime t;
    int yy = 0;
    if (!ParseNumber(text.substr(0, 2), t.day) || !ParseNumber(text.substr(3, 2), t.month) ||
        !ParseNumber(text.substr(6, 2), yy))
        return std::nullopt;
    t.year = 2000 + yy;
    if (text.size() == 14) {
        if (text[8] != ' ' || text[11] != ':')
            return std::nullopt;
        if (!ParseNumber(text.substr(9, 2), t.hour) || !ParseNumber(text.substr(12, 2), t.minute))
            return std::nullopt;
    }
    if (yy < 0 || t.hour < 0 || t.minute < 0 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > DaysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59)
        return std::nullopt;
    return CivilToMinutes(t);
}

} // namespace sim
