// Civil date-times, their texts, and the logger's minute count since 01/01/00 00:00.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace protocol {

// Local civil time; the logger knows no time zones or daylight saving.
struct DateTime {
    int Year = 2000, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
    bool operator==(const DateTime&) const = default;
};

// The program's date and time formats; the defaults are the ones it installs at start-up.
struct DateFormats {
    char DateSeparator = '/';
    std::string ShortDateFormat = "dd/mm/yy";
    char TimeSeparator = ':';
    std::string LongTimeFormat = "hh:mm";
};

// Format specifiers: d dd m mm yy yyyy h hh n nn s ss z zzz, "/" and ":" (the separators),
// "c" (DateTimeToStr), quoted literals; "m"/"mm" right after an hour means minutes.
std::string FormatDateTime(std::string_view format, const DateTime& dt, const DateFormats& f);
std::string DateToStr(const DateTime& dt, const DateFormats& f);
std::string TimeToStr(const DateTime& dt, const DateFormats& f);
// The date, then " " + the time unless the time of day is exactly 00:00:00.000.
std::string DateTimeToStr(const DateTime& dt, const DateFormats& f);

// Day/month/year with the date separator, then optionally h:m[:s[.zzz]]; a year of one or two
// digits lies in the 2000s. nullopt for anything else or an impossible date.
std::optional<DateTime> StrToDateTime(std::string_view text, const DateFormats& f);

bool IsValidDateTime(const DateTime& dt);

// The logger's epoch, 01/01/00 00:00.
inline constexpr DateTime Epoch{2000, 1, 1, 0, 0, 0, 0};

// Whole minutes from the epoch (seconds dropped, towards the past); plain calendar arithmetic.
int64_t MinutesSinceEpoch(const DateTime& dt);
DateTime DateTimeFromMinutes(int64_t minutes);

// The PC time for the logger: minutes since the epoch as a floating-point value with "%.0f".
std::string PcMinutesText(const DateTime& now);

} // namespace protocol
