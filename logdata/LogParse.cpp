#include "logdata/LogParse.h"

#include "protocol/Commands.h"

#include <array>
#include <charconv>

namespace logdata {

namespace {

// The value of a labelled line starts after "= " in column 23.
constexpr std::size_t LabelWidth = 23;

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return lines;
}

void ReadHeader(const std::vector<std::string_view>& lines, TParsedLog& log) {
    for (std::size_t i = 0; i < HeaderFields.size(); ++i) {
        const THeaderField& field = HeaderFields[i];
        const std::size_t index = HeaderFirstField + i;
        const std::string_view line = lines[index];
        if (line.substr(0, LabelWidth) != field.Label) {
            log.Problems.push_back({index + 1, "expected \"" + std::string(field.Label) + "\""});
            continue;
        }
        const std::string value(line.substr(LabelWidth));
        if (field.Text) {
            log.Header.*field.Text = value;
        } else {
            log.Header.CyclicLogging = value == CyclicEnabledText;
        }
    }
}

bool ParseInt(std::string_view text, int64_t& value) {
    if (text.empty() || text.front() == '+') {
        return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == ' ') {
            fields.push_back(line.substr(start, i - start));
            start = i + 1;
        }
    }
    return fields;
}

// "dd/mm/yy" alone at midnight, else "dd/mm/yy hh:mm".
bool IsDateText(std::string_view t) {
    return t.size() == 8 && t[2] == '/' && t[5] == '/';
}
bool IsTimeText(std::string_view t) {
    return t.size() == 5 && t[2] == ':';
}

} // namespace

std::optional<protocol::LogRecord> ParseLogLine(std::string_view line, std::string* why) {
    auto fail = [&](std::string message) -> std::optional<protocol::LogRecord> {
        if (why != nullptr) {
            *why = std::move(message);
        }
        return std::nullopt;
    };
    const std::vector<std::string_view> f = SplitFields(line);
    if (f.size() != 8 && f.size() != 9) {
        return fail("expected an entry number, a time stamp and six readings");
    }
    const bool hasTime = f.size() == 9;
    protocol::LogRecord record;
    int64_t index = 0;
    if (!ParseInt(f[0], index) || index < 0 || index > INT32_MAX) {
        return fail("the entry number \"" + std::string(f[0]) + "\" is not a number");
    }
    record.Index = static_cast<int32_t>(index);
    std::string stamp(f[1]);
    if (!IsDateText(f[1]) || (hasTime && !IsTimeText(f[2]))) {
        return fail("the time stamp is not dd/mm/yy hh:mm");
    }
    if (hasTime) {
        stamp += " " + std::string(f[2]);
    }
    const auto when = protocol::StrToDateTime(stamp, protocol::DateFormats{});
    if (!when) {
        return fail("the time stamp \"" + stamp + "\" is not a date");
    }
    record.Minutes = protocol::MinutesSinceEpoch(*when);
    const std::size_t first = hasTime ? 3 : 2;
    for (std::size_t v = 0; v < 6; ++v) {
        int64_t reading = 0;
        if (!ParseInt(f[first + v], reading) || reading < INT32_MIN || reading > INT32_MAX) {
            return fail("reading " + std::to_string(v + 1) + " \"" + std::string(f[first + v]) +
                        "\" is not a number");
        }
        record.Values[v] = static_cast<int32_t>(reading);
    }
    return record;
}

TParsedLog ParseLogText(std::string_view text) {
    TParsedLog log;
    const std::vector<std::string_view> lines = SplitLines(text);
    if (lines.empty() || lines[0] != HeaderFirstLine) {
        log.NotLogReason = "it does not begin with \"*Configuration\"";
        return log;
    }
    if (lines.size() < HeaderLineCount || lines[HeaderLineCount - 1] != HeaderDataHeading) {
        log.NotLogReason = "its header is not complete: line 21 is not the column heading";
        return log;
    }
    log.IsLog = true;
    ReadHeader(lines, log);
    // Save ends the file with one empty line; any other empty line is worth mentioning.
    std::size_t end = lines.size();
    while (end > HeaderLineCount && lines[end - 1].empty()) {
        --end;
    }
    for (std::size_t i = HeaderLineCount; i < end; ++i) {
        std::string why;
        const auto record = ParseLogLine(lines[i], &why);
        if (!record) {
            log.Problems.push_back({i + 1, lines[i].empty() ? "empty line" : why});
        } else if (record->Index != 0) {
            log.Entries.push_back(*record);
        }
    }
    return log;
}

int TParsedLog::ZoneCount() const {
    if (Header.Zones == "1" || Header.Zones == "2" || Header.Zones == "3") {
        return Header.Zones[0] - '0';
    }
    return 3;
}

std::optional<int> TParsedLog::IntervalMinutes() const {
    for (std::size_t i = 0; i < protocol::LogIntervalItems.size(); ++i) {
        const int minutes = protocol::LogIntervalTable[i];
        if (protocol::LogIntervalItems[i] == Header.LogInterval && minutes > 0 && minutes < 9999) {
            return minutes;
        }
    }
    return std::nullopt;
}

std::string TParsedLog::ZoneDescription(int zone) const {
    const std::string* texts[] = {&Header.Zone1Text, &Header.Zone2Text, &Header.Zone3Text};
    if (zone < 1 || zone > 3) {
        return {};
    }
    std::string text = *texts[zone - 1];
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) {
        text.pop_back();
    }
    return text.empty() ? "Zone " + std::to_string(zone) : text;
}

} // namespace logdata
