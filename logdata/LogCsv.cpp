#include "logdata/LogCsv.h"

#include <charconv>
#include <cstdio>
#include <ctime>

namespace logdata {

namespace {

constexpr const char* CsvLineEnd = "\r\n";

std::string TrimRight(std::string text) {
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

// A header text from the file, one byte per character, without the logger's padding.
std::string TextCell(const std::string& latin1) {
    return CsvTextCell(Latin1ToUtf8(TrimRight(BlankControlCharacters(latin1))));
}

// A whole number stays a number for the spreadsheet; anything else ("?", "") is text.
std::string NumberOrTextCell(const std::string& latin1) {
    const std::string text = TrimRight(latin1);
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (!text.empty() && ec == std::errc() && end == text.data() + text.size()) {
        return std::to_string(value);
    }
    return TextCell(latin1);
}

// "12.5 V" as 12.5; empty when the header has no reading.
std::string LeadingNumber(const std::string& text) {
    const std::size_t end = text.find_first_not_of("0123456789.-");
    const std::string number = text.substr(0, end);
    return number.find_first_of("0123456789") == std::string::npos ? std::string() : number;
}

// A header time stamp ("14/08/26 05:21") in the same form as the entries' times.
std::optional<protocol::DateTime> HeaderTime(const std::string& text) {
    return protocol::StrToDateTime(TrimRight(text), protocol::DateFormats{});
}

std::string TimeCell(const std::string& text) {
    const auto time = HeaderTime(text);
    return time ? LoggerTimeText(protocol::MinutesSinceEpoch(*time)) : TextCell(text);
}

std::string ZoneHeading(int zone, const std::string& description, const char* what) {
    std::string heading = "Zone " + std::to_string(zone);
    const std::string name = Latin1ToUtf8(TrimRight(BlankControlCharacters(description)));
    if (!name.empty()) {
        heading += " " + name;
    }
    return CsvTextCell(heading + " " + what + " (mV)");
}

std::string Heading(const THeaderValues& h, bool withUtc) {
    std::string row = CsvTextCell("Entry") + "," + CsvTextCell("Logger time");
    if (withUtc) {
        row += "," + CsvTextCell("UTC");
    }
    const std::string* descriptions[] = {&h.Zone1Text, &h.Zone2Text, &h.Zone3Text};
    for (int z = 0; z < 3; ++z) {
        row += "," + ZoneHeading(z + 1, *descriptions[z], "Min");
        row += "," + ZoneHeading(z + 1, *descriptions[z], "Max");
    }
    for (const char* name :
         {"Logger name", "Serial number", "Software version", "Log interval", "Hull material",
          "Reference electrode", "Zones enabled", "Cyclic logging", "Log count",
          "Logger clock at download", "PC clock at download", "PC offset from UTC (min)",
          "Battery (V)", "Band upper (mV)", "Band lower (mV)"}) {
        row += std::string(",") + CsvTextCell(name);
    }
    return row + CsvLineEnd;
}

// The same cells at the end of every row, so a row copied elsewhere keeps its context.
std::string ConfigurationCells(const THeaderValues& h, std::optional<int> utcOffset,
                               const TProtectionBand& band) {
    std::string cells;
    for (const std::string* text : {&h.KestroName, &h.SerialNo, &h.SoftwareVersion, &h.LogInterval,
                                    &h.Material, &h.RefType}) {
        cells += "," + TextCell(*text);
    }
    cells += "," + NumberOrTextCell(h.Zones);
    cells += "," + CsvTextCell(h.CyclicLogging ? "Enabled" : "Disabled");
    cells += "," + NumberOrTextCell(h.LogCount);
    cells += "," + TimeCell(h.KestroTime);
    cells += "," + TimeCell(h.PcTime);
    cells += "," + (utcOffset ? std::to_string(*utcOffset) : std::string());
    cells += "," + LeadingNumber(h.BatteryVolts);
    cells += "," + std::to_string(band.Upper) + "," + std::to_string(band.Lower);
    return cells;
}

} // namespace

int LocalUtcOffsetMinutes(const protocol::DateTime& local) {
    std::tm tm{};
    tm.tm_year = local.Year - 1900;
    tm.tm_mon = local.Month - 1;
    tm.tm_mday = local.Day;
    tm.tm_hour = local.Hour;
    tm.tm_min = local.Minute;
    tm.tm_isdst = -1;
    if (std::mktime(&tm) == static_cast<std::time_t>(-1)) {
        return 0;
    }
    return static_cast<int>(tm.tm_gmtoff / 60);
}

std::string LoggerTimeText(int64_t minutesSinceEpoch) {
    const protocol::DateTime t = protocol::DateTimeFromMinutes(minutesSinceEpoch);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:00", t.Year, t.Month, t.Day, t.Hour,
                  t.Minute);
    return text;
}

std::string UtcTimeText(int64_t minutesSinceEpoch, int utcOffsetMinutes) {
    return LoggerTimeText(minutesSinceEpoch - utcOffsetMinutes) + "Z";
}

std::string CsvTextCell(const std::string& utf8) {
    std::string quoted = "\"";
    if (!utf8.empty() && std::string_view("=+-@\t\r").find(utf8.front()) != std::string::npos) {
        quoted += '\'';
    }
    for (char c : utf8) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

std::string Latin1ToUtf8(const std::string& text) {
    std::string utf8;
    utf8.reserve(text.size());
    for (unsigned char c : text) {
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

std::string LogCsvText(const THeaderValues& header, const std::vector<protocol::LogRecord>& records,
                       const TCsvOptions& options) {
    // The PC's offset when the log came off the line; without a readable PC time there is no
    // honest UTC to give, so the column is left out.
    std::optional<int> utcOffset;
    if (const auto pcTime = HeaderTime(header.PcTime); pcTime && options.UtcOffset) {
        utcOffset = options.UtcOffset(*pcTime);
    }
    const TProtectionBand band =
        options.Band.value_or(BandForHeader(header.Material, header.RefType));
    const std::string configuration = ConfigurationCells(header, utcOffset, band);
    std::string text = Heading(header, utcOffset.has_value());
    text.reserve(text.size() + records.size() * (80 + configuration.size()));
    for (const protocol::LogRecord& e : records) {
        if (e.Index == 0) {
            continue;
        }
        text += std::to_string(e.Index) + "," + LoggerTimeText(e.Minutes);
        if (utcOffset) {
            text += "," + UtcTimeText(e.Minutes, *utcOffset);
        }
        for (int32_t v : e.Values) {
            text += "," + std::to_string(v);
        }
        text += configuration;
        text += CsvLineEnd;
    }
    return text;
}

std::string LogCsvText(const TParsedLog& log, const TCsvOptions& options) {
    return LogCsvText(log.Header, log.Entries, options);
}

} // namespace logdata
