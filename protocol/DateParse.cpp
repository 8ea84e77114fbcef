#include "protocol/DateTime.h"

namespace protocol {

namespace {

// Reads 1 to maxDigits decimal digits at pos; leaves pos after them.
std::optional<int> ReadNumber(std::string_view text, std::size_t& pos, std::size_t maxDigits,
                              std::size_t* digitCount = nullptr) {
    std::size_t n = 0;
    int value = 0;
    while (pos + n < text.size() && n < maxDigits && text[pos + n] >= '0' && text[pos + n] <= '9') {
        value = value * 10 + (text[pos + n] - '0');
        ++n;
    }
    if (n == 0)
        return std::nullopt;
    pos += n;
    if (digitCount)
        *digitCount = n;
    return value;
}

bool Expect(std::string_view text, std::size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

void SkipBlanks(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
}

bool AtDigit(std::string_view text, std::size_t pos) {
    return pos < text.size() && text[pos] >= '0' && text[pos] <= '9';
}

// Day, month and year; a year of one or two digits lies in the 2000s.
bool ReadDate(std::string_view text, std::size_t& pos, char sep, DateTime& dt) {
    const auto day = ReadNumber(text, pos, 2);
    if (!day || !Expect(text, pos, sep))
        return false;
    const auto month = ReadNumber(text, pos, 2);
    if (!month || !Expect(text, pos, sep))
        return false;
    std::size_t yearDigits = 0;
    const auto year = ReadNumber(text, pos, 4, &yearDigits);
    if (!year || yearDigits == 3 || AtDigit(text, pos))
        return false;
    dt.Day = *day;
    dt.Month = *month;
    dt.Year = yearDigits <= 2 ? 2000 + *year : *year;
    return true;
}

// Hours and minutes, then optional seconds and milliseconds.
bool ReadTime(std::string_view text, std::size_t& pos, char sep, DateTime& dt) {
    const auto hour = ReadNumber(text, pos, 2);
    if (!hour || !Expect(text, pos, sep))
        return false;
    const auto minute = ReadNumber(text, pos, 2);
    if (!minute)
        return false;
    dt.Hour = *hour;
    dt.Minute = *minute;
    if (pos < text.size() && text[pos] == sep) {
        ++pos;
        const auto second = ReadNumber(text, pos, 2);
        if (!second)
            return false;
        dt.Second = *second;
        if (pos < text.size() && text[pos] == '.') {
            ++pos;
            std::size_t msDigits = 0;
            const auto ms = ReadNumber(text, pos, 3, &msDigits);
            if (!ms)
                return false;
            dt.Millisecond = msDigits == 1 ? *ms * 100 : (msDigits == 2 ? *ms * 10 : *ms);
        }
    }
    return !AtDigit(text, pos);
}

} // namespace

std::optional<DateTime> StrToDateTime(std::string_view text, const DateFormats& f) {
    DateTime dt{0, 0, 0, 0, 0, 0, 0};
    std::size_t pos = 0;
    SkipBlanks(text, pos);
    if (!ReadDate(text, pos, f.DateSeparator, dt))
        return std::nullopt;
    SkipBlanks(text, pos);
    if (pos < text.size() && !ReadTime(text, pos, f.TimeSeparator, dt))
        return std::nullopt;
    SkipBlanks(text, pos);
    if (pos != text.size() || !IsValidDateTime(dt))
        return std::nullopt;
    return dt;
}

} // namespace protocol
