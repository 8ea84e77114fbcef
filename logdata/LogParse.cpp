#include "logdata/LogParse.h"

#include "protocol/Commands.h"

#include <array>
#include <charconv>

namespace logdata {

namespace {

// The value of a labelled line starts after "= " in column 23.
constexpr std::size_t LabelWidth = 23;

// Hands out one line at a time, so that a file of millions of lines costs no list of them.
// LF, CR LF and a CR alone each end a line: an old Mac editor's save is still a log.
class TLineReader {
public:
    explicit TLineReader(std::string_view text) : FRest(text) {}
    bool Next(std::string_view& line) {
        if (FRest.empty()) {
            return false;
        }
        const std::size_t end = FRest.find_first_of("\r\n");
        line = FRest.substr(0, end);
        if (end == std::string_view::npos) {
            FRest = {};
        } else {
            const bool crLf =
                FRest[end] == '\r' && end + 1 < FRest.size() && FRest[end + 1] == '\n';
            FRest.remove_prefix(end + (crLf ? 2 : 1));
        }
        ++FNumber;
        return true;
    }
    // The number of the line Next gave last, counted from 1.
    std::size_t Number() const { return FNumber; }

private:
    std::string_view FRest;
    std::size_t FNumber = 0;
};

// Keeps the first problems with their messages and only counts the rest; Message is called
// only for a problem that is kept.
template <typename TMessage>
void AddProblem(TParsedLog& log, std::size_t line, TMessage&& message) {
    if (log.Problems.size() < MaxKeptProblems) {
        log.Problems.push_back({line, message()});
    } else {
        ++log.MoreProblems;
    }
}

void ReadHeader(const std::array<std::string_view, HeaderLineCount>& lines, TParsedLog& log) {
    for (std::size_t i = 0; i < HeaderFields.size(); ++i) {
        const THeaderField& field = HeaderFields[i];
        const std::size_t index = HeaderFirstField + i;
        const std::string_view line = lines[index];
        if (line.substr(0, LabelWidth) != field.Label) {
            AddProblem(log, index + 1,
                       [&] { return "expected \"" + std::string(field.Label) + "\""; });
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

// The header's lines, or why the text is no log; true when all HeaderLineCount were read.
bool ReadHeaderLines(TLineReader& reader, std::array<std::string_view, HeaderLineCount>& lines,
                     std::string& whyNot) {
    for (std::size_t i = 0; i < HeaderLineCount; ++i) {
        if (!reader.Next(lines[i])) {
            whyNot = i == 0 ? "it is empty"
                            : "it ends after line " + std::to_string(i) +
                                  ", before its header is complete";
            return false;
        }
        if (i == 0 && lines[0] != HeaderFirstLine) {
            whyNot = "it does not begin with \"*Configuration\"";
            return false;
        }
    }
    if (lines[HeaderLineCount - 1] != HeaderDataHeading) {
        whyNot = "its header is not complete: line 21 is not the column heading";
        return false;
    }
    return true;
}

bool ParseInt(std::string_view text, int64_t& value) {
    if (text.empty() || text.front() == '+') {
        return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// A log line has eight or nine fields; the split stops at one more than that.
constexpr std::size_t MaxFields = 10;

std::size_t SplitFields(std::string_view line, std::array<std::string_view, MaxFields>& fields) {
    std::size_t count = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size() && count < MaxFields; ++i) {
        if (i == line.size() || line[i] == ' ') {
            fields[count++] = line.substr(start, i - start);
            start = i + 1;
        }
    }
    return count;
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
    // The message is only put together when someone asks for it: a file of junk lines must not
    // cost a string per line.
    auto fail = [&](auto&& message) -> std::optional<protocol::LogRecord> {
        if (why != nullptr) {
            *why = message();
        }
        return std::nullopt;
    };
    std::array<std::string_view, MaxFields> f;
    const std::size_t count = SplitFields(line, f);
    if (count != 8 && count != 9) {
        return fail([] { return "expected an entry number, a time stamp and six readings"; });
    }
    const bool hasTime = count == 9;
    protocol::LogRecord record;
    int64_t index = 0;
    if (!ParseInt(f[0], index) || index < 0 || index > INT32_MAX) {
        return fail(
            [&] { return "the entry number \"" + std::string(f[0]) + "\" is not a number"; });
    }
    record.Index = static_cast<int32_t>(index);
    if (!IsDateText(f[1]) || (hasTime && !IsTimeText(f[2]))) {
        return fail([] { return "the time stamp is not dd/mm/yy hh:mm"; });
    }
    // The two texts are neighbours in the line, one blank apart.
    const std::string_view stamp =
        line.substr(static_cast<std::size_t>(f[1].data() - line.data()), hasTime ? 14 : 8);
    static const protocol::DateFormats formats;
    const auto when = protocol::StrToDateTime(stamp, formats);
    if (!when) {
        return fail([&] { return "the time stamp \"" + std::string(stamp) + "\" is not a date"; });
    }
    record.Minutes = protocol::MinutesSinceEpoch(*when);
    const std::size_t first = hasTime ? 3 : 2;
    for (std::size_t v = 0; v < 6; ++v) {
        int64_t reading = 0;
        if (!ParseInt(f[first + v], reading) || reading < INT32_MIN || reading > INT32_MAX) {
            return fail([&] {
                return "reading " + std::to_string(v + 1) + " \"" + std::string(f[first + v]) +
                       "\" is not a number";
            });
        }
        record.Values[v] = static_cast<int32_t>(reading);
    }
    return record;
}

TParsedLog ParseLogText(std::string_view text) {
    TParsedLog log;
    TLineReader reader(text);
    std::array<std::string_view, HeaderLineCount> header;
    if (!ReadHeaderLines(reader, header, log.NotLogReason)) {
        return log;
    }
    log.IsLog = true;
    ReadHeader(header, log);
    // Save ends the file with one empty line; any other empty line is worth mentioning, so a
    // run of them is held back until a line with text follows it.
    std::size_t emptyFrom = 0, emptyCount = 0;
    std::string_view line;
    while (reader.Next(line)) {
        if (line.empty()) {
            if (emptyCount++ == 0) {
                emptyFrom = reader.Number();
            }
            continue;
        }
        for (std::size_t i = 0; i < emptyCount; ++i) {
            AddProblem(log, emptyFrom + i, [] { return "empty line"; });
        }
        emptyCount = 0;
        const bool keepWhy = log.Problems.size() < MaxKeptProblems;
        std::string why;
        const auto record = ParseLogLine(line, keepWhy ? &why : nullptr);
        if (!record) {
            AddProblem(log, reader.Number(), [&] { return std::move(why); });
        } else if (record->Index != 0) {
            log.Entries.push_back(*record);
            log.EntryLines.push_back(reader.Number());
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
