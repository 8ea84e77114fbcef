#include "protocol/DateTime.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace protocol {

namespace {

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Days from 1970-01-01 in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

int64_t FloorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

const int64_t EpochDays = DaysFromCivil(2000, 1, 1);

std::string Padded(int value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    return buf;
}

std::size_t RunLength(std::string_view s, std::size_t i) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
    std::size_t n = 0;
    while (i + n < s.size() && std::tolower(static_cast<unsigned char>(s[i + n])) == c)
        ++n;
    return n;
}

} // namespace

std::string FormatDateTime(std::string_view format, const DateTime& dt, const DateFormats& f) {
    std::string out;
    bool afterHour = false; // "m" right after an hour stands for minutes
    std::size_t i = 0;
    while (i < format.size()) {
        const char raw = format[i];
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(raw)));
        const std::size_t run = RunLength(format, i);
        if (raw == '\'' || raw == '"') {
            const std::size_t close = format.find(raw, i + 1);
            const std::size_t end = close == std::string_view::npos ? format.size() : close;
            out += format.substr(i + 1, end - i - 1);
            i = end == format.size() ? end : end + 1;
            continue;
        }
        std::size_t used = 1;
        switch (c) {
        case 'd':
            used = run >= 2 ? 2 : 1;
            out += used == 2 ? Padded(dt.Day, 2) : std::to_string(dt.Day);
            afterHour = false;
            break;
        case 'm': {
            used = run >= 2 ? 2 : 1;
            const int value = afterHour ? dt.Minute : dt.Month;
            out += used == 2 ? Padded(value, 2) : std::to_string(value);
            afterHour = false;
            break;
        }
        case 'y':
            used = run >= 4 ? 4 : (run >= 2 ? 2 : 1);
            out += used == 4 ? Padded(dt.Year, 4) : Padded(((dt.Year % 100) + 100) % 100, 2);
            afterHour = false;
            break;
        case 'h':
            used = run >= 2 ? 2 : 1;
            out += used == 2 ? Padded(dt.Hour, 2) : std::to_string(dt.Hour);
            afterHour = true;
            break;
        case 'n':
            used = run >= 2 ? 2 : 1;
            out += used == 2 ? Padded(dt.Minute, 2) : std::to_string(dt.Minute);
            afterHour = false;
            break;
        case 's':
            used = run >= 2 ? 2 : 1;
            out += used == 2 ? Padded(dt.Second, 2) : std::to_string(dt.Second);
            afterHour = false;
            break;
        case 'z':
            used = run >= 3 ? 3 : 1;
            out += used == 3 ? Padded(dt.Millisecond, 3) : std::to_string(dt.Millisecond);
            afterHour = false;
            break;
        case 'c':
            out += DateTimeToStr(dt, f);
            afterHour = false;
            break;
        case '/':
            out += f.DateSeparator;
            break;
        case ':':
            out += f.TimeSeparator;
            break;
        default:
            out += raw;
            break;
        }
        i += used;
    }
    return out;
}

std::string DateToStr(const DateTime& dt, const DateFormats& f) {
    return FormatDateTime(f.ShortDateFormat, dt, f);
}

std::string TimeToStr(const DateTime& dt, const DateFormats& f) {
    return FormatDateTime(f.LongTimeFormat, dt, f);
}

std::string DateTimeToStr(const DateTime& dt, const DateFormats& f) {
    std::string out = DateToStr(dt, f);
    if (dt.Hour != 0 || dt.Minute != 0 || dt.Second != 0 || dt.Millisecond != 0)
        out += " " + TimeToStr(dt, f);
    return out;
}

bool IsValidDateTime(const DateTime& dt) {
    return dt.Year >= 1 && dt.Year <= 9999 && dt.Month >= 1 && dt.Month <= 12 && dt.Day >= 1 &&
           dt.Day <= DaysInMonth(dt.Year, dt.Month) && dt.Hour >= 0 && dt.Hour <= 23 &&
           dt.Minute >= 0 && dt.Minute <= 59 && dt.Second >= 0 && dt.Second <= 59 &&
           dt.Millisecond >= 0 && dt.Millisecond <= 999;
}

int64_t MinutesSinceEpoch(const DateTime& dt) {
    const int64_t days = DaysFromCivil(dt.Year, dt.Month, dt.Day) - EpochDays;
    return days * 1440 + int64_t{dt.Hour} * 60 + dt.Minute;
}

DateTime DateTimeFromMinutes(int64_t minutes) {
    const int64_t days = FloorDiv(minutes, 1440);
    const int64_t inDay = minutes - days * 1440;
    DateTime dt{0, 0, 0, static_cast<int>(inDay / 60), static_cast<int>(inDay % 60), 0, 0};
    CivilFromDays(EpochDays + days, dt.Year, dt.Month, dt.Day);
    return dt;
}

std::string PcMinutesText(const DateTime& now) {
    const double minutes =
        static_cast<double>(MinutesSinceEpoch(now)) + now.Second / 60.0 + now.Millisecond / 60000.0;
    // Half a minute rounds up; printf alone would round an exact tie to even.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.0f", std::round(minutes));
    return buf;
}

} // namespace protocol
