// The CSV export: quoting, time stamps with the PC's UTC offset, comment lines and rows.
#include "logdata/LogCsv.h"

#include "WrittenLogs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <sstream>

namespace {

int64_t At(int y, int mo, int d, int h, int mi) {
    return protocol::MinutesSinceEpoch({y, mo, d, h, mi, 0, 0});
}

TEST(Csv, FieldsAreQuotedOnlyWhenTheyMustBe) {
    EXPECT_EQ(logdata::CsvField("Stern"), "Stern");
    EXPECT_EQ(logdata::CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(logdata::CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(logdata::CsvField("two\r\nlines"), "\"two\r\nlines\"");
    EXPECT_EQ(logdata::CsvField(""), "");
    EXPECT_EQ(logdata::Latin1ToUtf8("K\xE9r \xFF"), "K\xC3\xA9r \xC3\xBF");
}

TEST(Csv, TimeStampsCarryTheOffsetOfThatMoment) {
    const auto fixed = [](int minutes) {
        return [minutes](const protocol::DateTime&) { return minutes; };
    };
    EXPECT_EQ(logdata::IsoTimeText(At(2026, 8, 14, 5, 20), fixed(60)), "2026-08-14T05:20:00+01:00");
    EXPECT_EQ(logdata::IsoTimeText(At(2026, 1, 2, 0, 0), fixed(0)), "2026-01-02T00:00:00+00:00");
    EXPECT_EQ(logdata::IsoTimeText(At(2026, 1, 2, 23, 59), fixed(-210)),
              "2026-01-02T23:59:00-03:30");
    EXPECT_EQ(logdata::IsoTimeText(At(2026, 1, 2, 23, 59), fixed(345)),
              "2026-01-02T23:59:00+05:45");

    // The PC's own zone, with daylight saving in summer and not in winter.
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "Europe/London", 1);
    tzset();
    EXPECT_EQ(logdata::LocalUtcOffsetMinutes({2026, 8, 14, 5, 20, 0, 0}), 60);
    EXPECT_EQ(logdata::LocalUtcOffsetMinutes({2026, 1, 14, 5, 20, 0, 0}), 0);
    setenv("TZ", "America/St_Johns", 1);
    tzset();
    EXPECT_EQ(logdata::LocalUtcOffsetMinutes({2026, 1, 14, 5, 20, 0, 0}), -210);
    if (old) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2) {
        lines.push_back(text.substr(start, at - start));
    }
    EXPECT_EQ(start, text.size()) << "the last line has no CR LF";
    return lines;
}

TEST(Csv, ConfigurationCommentsThenAHeadingThenOneRowPerEntry) {
    logdata::TParsedLog log;
    log.IsLog = true;
    log.Header = writtenlogs::SampleHeader();
    log.Header.KestroName = "Sj\xF8, \"Two\"";
    log.Entries = writtenlogs::MakeEntries(3);
    logdata::TCsvOptions options;
    options.Band = logdata::TProtectionBand{-800, -1050};
    options.UtcOffset = [](const protocol::DateTime&) { return 120; };
    const std::vector<std::string> lines = Lines(logdata::LogCsvText(log, options));
    ASSERT_EQ(lines.size(), 16u + 1 + 3);
    EXPECT_EQ(lines[0], "# Kestro Name = Sj\xC3\xB8, \"Two\"");
    EXPECT_EQ(lines[8], "# Reference Type = Ag AgCl");
    EXPECT_EQ(lines[7], "# Hull Material = Steel");
    EXPECT_EQ(lines[15], "# Protection Band = -800 to -1050 mV");
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(lines[i].substr(0, 2), "# ");
    }
    EXPECT_EQ(lines[16], "Entry,Time,Min1,Max1,Min2,Max2,Min3,Max3");
    for (std::size_t i = 0; i < 3; ++i) {
        const protocol::LogRecord& e = log.Entries[i];
        std::ostringstream row;
        const protocol::DateTime t = e.TimeStamp();
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:00+02:00", t.Year, t.Month,
                      t.Day, t.Hour, t.Minute);
        row << e.Index << "," << stamp;
        for (int v : e.Values) {
            row << "," << v;
        }
        EXPECT_EQ(lines[17 + i], row.str());
    }
    EXPECT_EQ(lines[17], "1,2026-07-01T00:00:00+02:00,-738,-736,-758,-756,-778,-776");

    // Without a band of its own the export writes the preset for the header, as the viewer
    // opens with it; one that does not say is steel against Ag/AgCl.
    log.Header.RefType = "Zinc";
    EXPECT_NE(logdata::LogCsvText(log).find("\r\n# Protection Band = 250 to 0 mV\r\n"),
              std::string::npos);
    log.Header.Material = "Bronze";
    log.Header.RefType = "?";
    EXPECT_NE(logdata::LogCsvText(log).find("\r\n# Protection Band = -550 to -1100 mV\r\n"),
              std::string::npos);
    log.Header.Material = "";
    EXPECT_NE(logdata::LogCsvText(log).find("\r\n# Protection Band = -800 to -1050 mV\r\n"),
              std::string::npos);
}

} // namespace
