#include "logdata/LogCsv.h"

#include <cstdio>
#include <ctime>

namespace logdata {

namespace {

constexpr const char* CsvLineEnd = "\r\n";

std::string Comment(const std::string& label, const std::string& value) {
    std::string line = "# " + label + " = " + Latin1ToUtf8(value);
    for (char& c : line) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return line + CsvLineEnd;
}

std::string ConfigurationComments(const TParsedLog& log, const TCsvOptions& options) {
    const THeaderValues& h = log.Header;
    std::string text;
    text += Comment("Kestro Name", h.KestroName);
    text += Comment("Serial Number", h.SerialNo);
    text += Comment("Software Version", h.SoftwareVersion);
    text += Comment("Zone1 Description", h.Zone1Text);
    text += Comment("Zone2 Description", h.Zone2Text);
    text += Comment("Zone3 Description", h.Zone3Text);
    text += Comment("Log Interval", h.LogInterval);
    text += Comment("Hull Material", h.Material);
    text += Comment("Reference Type", h.RefType);
    text += Comment("Zones Enabled", h.Zones);
    text += Comment("Cyclic Logging", h.CyclicLogging ? "Enabled" : "Disabled");
    text += Comment("Log Count", h.LogCount);
    text += Comment("Kestro Time", h.KestroTime);
    text += Comment("PC Time", h.PcTime);
    text += Comment("Battery Voltage", h.BatteryVolts);
    if (options.Band) {
        text += Comment("Protection Band", std::to_string(options.Band->Upper) + " to " +
                                               std::to_string(options.Band->Lower) + " mV");
    }
    return text;
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

std::string IsoTimeText(int64_t minutesSinceEpoch, const TUtcOffset& utcOffset) {
    const protocol::DateTime t = protocol::DateTimeFromMinutes(minutesSinceEpoch);
    const int offset = utcOffset(t);
    const int magnitude = offset < 0 ? -offset : offset;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:00%c%02d:%02d", t.Year, t.Month,
                  t.Day, t.Hour, t.Minute, offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return text;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
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

std::string LogCsvText(const TParsedLog& log, const TCsvOptions& options) {
    std::string text = ConfigurationComments(log, options);
    text += "Entry,Time,Min1,Max1,Min2,Max2,Min3,Max3";
    text += CsvLineEnd;
    for (const protocol::LogRecord& e : log.Entries) {
        text += std::to_string(e.Index) + "," + IsoTimeText(e.Minutes, options.UtcOffset);
        for (int32_t v : e.Values) {
            text += "," + std::to_string(v);
        }
        text += CsvLineEnd;
    }
    return text;
}

} // namespace logdata
