#include "logdata/LogHeader.h"

#include <algorithm>

namespace logdata {

std::string BlankControlCharacters(std::string text) {
    std::replace_if(text.begin(), text.end(), IsControlCharacter, ' ');
    return text;
}

std::array<std::string, HeaderLineCount> HeaderLines(const THeaderValues& v) {
    std::array<std::string, HeaderLineCount> lines{std::string(HeaderFirstLine), "*-------------"};
    std::size_t line = HeaderFirstField;
    for (const THeaderField& field : HeaderFields) {
        const std::string_view value =
            field.Text ? std::string_view(v.*field.Text)
                       : (v.CyclicLogging ? CyclicEnabledText : CyclicDisabledText);
        lines[line++] = std::string(field.Label) + BlankControlCharacters(std::string(value));
    }
    lines[line++] = "";
    lines[line++] = "*Log Data";
    lines[line++] = "*--------";
    lines[line] = std::string(HeaderDataHeading);
    return lines;
}

std::string PcTimeText(const protocol::DateTime& now, const protocol::DateFormats& formats) {
    return protocol::DateTimeToStr(now, formats);
}

} // namespace logdata
