// The CSV export: text cells, times without daylight-saving folds, and a file that Python's
// csv.DictReader takes as it is.
#include "logdata/LogCsv.h"

#include "WrittenLogs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace {

int64_t At(int y, int mo, int d, int h, int mi) {
    return protocol::MinutesSinceEpoch({y, mo, d, h, mi, 0, 0});
}

// Sets TZ for the test's lifetime and puts the old one back.
class TTimeZone {
public:
    explicit TTimeZone(const char* zone) {
        const char* old = std::getenv("TZ");
        Had = old != nullptr;
        Saved = old ? old : "";
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TTimeZone() {
        if (Had) {
            setenv("TZ", Saved.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    bool Had = false;
    std::string Saved;
};

TEST(Csv, TextCellsAreQuotedAndCellsASpreadsheetWouldRunAreDefused) {
    const std::pair<std::string, std::string> table[] = {
        {"Stern", "\"Stern\""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"", "\"\""},
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"+1", "\"'+1\""},
        {"-2+3", "\"'-2+3\""},
        {"@SUM(A1)", "\"'@SUM(A1)\""},
        {"\tcmd", "\"'\tcmd\""},
        {"\rcmd", "\"'\rcmd\""},
        {"a=b", "\"a=b\""}, // only the first character starts a formula
    };
    for (const auto& [text, cell] : table) {
        EXPECT_EQ(logdata::CsvTextCell(text), cell) << text;
    }
    EXPECT_EQ(logdata::Latin1ToUtf8("K\xE9r \xFF"), "K\xC3\xA9r \xC3\xBF");
}

TEST(Csv, LoggerTimesHaveNoOffsetAndUtcSubtractsTheOneGiven) {
    EXPECT_EQ(logdata::LoggerTimeText(At(2026, 8, 14, 5, 20)), "2026-08-14T05:20:00");
    EXPECT_EQ(logdata::UtcTimeText(At(2026, 8, 14, 5, 20), 60), "2026-08-14T04:20:00Z");
    EXPECT_EQ(logdata::UtcTimeText(At(2026, 1, 1, 0, 10), 120), "2025-12-31T22:10:00Z");
    EXPECT_EQ(logdata::UtcTimeText(At(2026, 1, 2, 23, 59), -210), "2026-01-03T03:29:00Z");

    // The PC's own zone, with daylight saving in summer and not in winter.
    TTimeZone london("Europe/London");
    EXPECT_EQ(logdata::LocalUtcOffsetMinutes({2026, 8, 14, 5, 20, 0, 0}), 60);
    EXPECT_EQ(logdata::LocalUtcOffsetMinutes({2026, 1, 14, 5, 20, 0, 0}), 0);
    TTimeZone stJohns("America/St_Johns");
    EXPECT_EQ(logdata::LocalUtcOffsetMinutes({2026, 1, 14, 5, 20, 0, 0}), -210);
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

TEST(Csv, TheHeadingComesFirstThenOneRowPerEntryWithItsConfiguration) {
    logdata::THeaderValues header = writtenlogs::SampleHeader();
    header.KestroName = "Sj\xF8, \"Two\"";
    header.Zone2Text = "=cmd|' /C calc'!A0";
    std::vector<protocol::LogRecord> records = writtenlogs::MakeEntries(3);
    records.insert(records.begin(), protocol::LogRecord{0, 3, {}}); // entry 0: the count
    logdata::TCsvOptions options;
    options.Band = logdata::TProtectionBand{-800, -1050};
    options.UtcOffset = [](const protocol::DateTime&) { return 120; };
    const std::vector<std::string> lines = Lines(logdata::LogCsvText(header, records, options));
    ASSERT_EQ(lines.size(), 1u + 3);
    EXPECT_EQ(lines[0], "\"Entry\",\"Logger time\",\"UTC\","
                        "\"Zone 1 Stern Min (mV)\",\"Zone 1 Stern Max (mV)\","
                        "\"Zone 2 =cmd|' /C calc'!A0 Min (mV)\","
                        "\"Zone 2 =cmd|' /C calc'!A0 Max (mV)\","
                        "\"Zone 3 Bow Min (mV)\",\"Zone 3 Bow Max (mV)\","
                        "\"Logger name\",\"Serial number\",\"Software version\",\"Log interval\","
                        "\"Hull material\",\"Reference electrode\",\"Zones enabled\","
                        "\"Cyclic logging\",\"Log count\",\"Logger clock at download\","
                        "\"PC clock at download\",\"PC offset from UTC (min)\",\"Battery (V)\","
                        "\"Band upper (mV)\",\"Band lower (mV)\"");
    EXPECT_EQ(lines[1], "1,2026-07-01T00:00:00,2026-06-30T22:00:00Z,-738,-736,-758,-756,-778,-776,"
                        "\"Sj\xC3\xB8, \"\"Two\"\"\",\"SN-0042\",\"KV1.4 4090\",\"15 Minutes\","
                        "\"Steel\",\"Ag AgCl\",3,\"Disabled\",4090,2026-08-14T05:20:00,"
                        "2026-08-14T05:21:00,120,12.5,-800,-1050");
    // A description that would run as a formula is defused in the heading as in the cells.
    header.KestroName = "-1+1";
    EXPECT_NE(logdata::LogCsvText(header, records, options).find(",\"'-1+1\","), std::string::npos);

    // Without a band of its own the export writes the preset for the header, as the viewer
    // opens with it; one that does not say is steel against Ag/AgCl.
    logdata::TParsedLog log;
    log.IsLog = true;
    log.Header = writtenlogs::SampleHeader();
    log.Entries = writtenlogs::MakeEntries(1);
    log.Header.Material = "";
    EXPECT_NE(logdata::LogCsvText(log).find(",-800,-1050\r\n"), std::string::npos);
    // No readable PC time: no UTC can honestly be given, so there is no such column.
    log.Header.PcTime = "?";
    EXPECT_EQ(Lines(logdata::LogCsvText(log))[0].find("\"UTC\""), std::string::npos);
}

// The CSV as Python's csv.DictReader reads it with no options: one line per row, the cells
// asked for separated by tabs.
std::vector<std::string> ReadByDictReader(const std::string& csv,
                                          const std::vector<std::string>& fields) {
    char path[] = "/tmp/quorva-csv-XXXXXX";
    const int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    close(fd);
    std::ofstream(path, std::ios::binary) << csv;
    std::string keys;
    for (const std::string& f : fields) {
        keys += (keys.empty() ? "" : ",") + ("'" + f + "'");
    }
    const std::string script = "import csv,sys\n"
                               "for row in csv.DictReader(open(sys.argv[1])):\n"
                               "    print('\\t'.join(row[k] for k in [" +
                               keys + "]))\n";
    const std::string command =
        std::string(PYTHON3_PROGRAM) + " -c \"$QUORVA_SCRIPT\" " + path + " 2>&1";
    setenv("QUORVA_SCRIPT", script.c_str(), 1);
    std::vector<std::string> rows;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char line[4096];
        while (std::fgets(line, sizeof line, pipe)) {
            std::string text(line);
            if (!text.empty() && text.back() == '\n') {
                text.pop_back();
            }
            rows.push_back(text);
        }
        EXPECT_EQ(pclose(pipe), 0) << (rows.empty() ? "" : rows.back());
    }
    unsetenv("QUORVA_SCRIPT");
    std::remove(path);
    return rows;
}

std::optional<int64_t> ParsedMinutes(const std::string& text, bool utc) {
    protocol::DateTime t;
    char z = 0;
    const int n = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:00%c", &t.Year, &t.Month, &t.Day,
                              &t.Hour, &t.Minute, &z);
    if (n != (utc ? 6 : 5) || (utc && z != 'Z')) {
        return std::nullopt;
    }
    return protocol::MinutesSinceEpoch(t);
}

// The logger's clock has no daylight saving; a UTC offset that changed with each entry's date
// folded the spring change back by 45 minutes and stretched the autumn one to 75.
// A logger's text with a line feed once left a header of 22 lines and a CSV with no rows: every
// control character is a blank in both, whichever text holds it.
TEST(Csv, ControlCharactersInLoggerTextsNeverSplitAHeaderLineOrARow) {
    std::vector<protocol::LogRecord> records = writtenlogs::MakeEntries(2);
    records.insert(records.begin(), protocol::LogRecord{0, 2, {}});
    for (const char control : {'\n', '\r', '\t', '\x01', '\x1f', '\x7f'}) {
        const std::string text = std::string("Ab") + control + "cd";
        logdata::THeaderValues header = writtenlogs::SampleHeader();
        for (std::string* field : {&header.KestroName, &header.SerialNo, &header.SoftwareVersion,
                                   &header.Zone1Text, &header.Zone2Text, &header.Zone3Text}) {
            *field = text;
        }
        const auto lines = logdata::HeaderLines(header);
        for (const std::string& line : lines) {
            EXPECT_EQ(std::count_if(line.begin(), line.end(), logdata::IsControlCharacter), 0)
                << int(control) << ": " << line;
        }
        EXPECT_EQ(lines[2], "*Kestro Name         = Ab cd") << int(control);
        const std::string csv = logdata::LogCsvText(header, records);
        const std::vector<std::string> rows = Lines(csv);
        ASSERT_EQ(rows.size(), 1u + 2) << int(control);
        EXPECT_NE(rows[0].find("\"Zone 1 Ab cd Min (mV)\""), std::string::npos) << rows[0];
        EXPECT_NE(rows[1].find(",\"Ab cd\",\"Ab cd\",\"Ab cd\","), std::string::npos) << rows[1];
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << int(control);
    }
}

TEST(Csv, EveryStepStaysFifteenMinutesInEveryColumnAcrossBothDaylightSavingChanges) {
    TTimeZone berlin("Europe/Berlin");
    std::vector<protocol::LogRecord> records;
    int index = 1;
    for (const int64_t start : {At(2026, 3, 29, 0, 0), At(2026, 10, 25, 0, 0)}) {
        for (int i = 0; i < 20; ++i, ++index) { // 00:00 to 04:45, over 02:00 and 03:00
            records.push_back({index, start + 15 * i, {-800 - i, -790 + i, 0, 0, -5, 5}});
        }
    }
    // Downloaded in summer (+02:00) and in winter (+01:00): one offset for each whole file.
    const std::pair<const char*, int> downloads[] = {{"14/08/26 05:21", 120},
                                                     {"14/12/26 05:21", 60}};
    for (const auto& [pcTime, offset] : downloads) {
        logdata::THeaderValues header = writtenlogs::SampleHeader();
        header.PcTime = pcTime;
        header.KestroName = "=1+1";
        const std::vector<std::string> rows = ReadByDictReader(
            logdata::LogCsvText(header, records),
            {"Entry", "Logger time", "UTC", "Zone 1 Stern Min (mV)", "Logger name"});
        ASSERT_EQ(rows.size(), records.size()) << pcTime << (rows.empty() ? "" : rows[0]);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            std::istringstream cells(rows[i]);
            std::string entry, logger, utc, min, name;
            std::getline(cells, entry, '\t');
            std::getline(cells, logger, '\t');
            std::getline(cells, utc, '\t');
            std::getline(cells, min, '\t');
            std::getline(cells, name, '\t');
            EXPECT_EQ(entry, std::to_string(records[i].Index));
            EXPECT_EQ(ParsedMinutes(logger, false), records[i].Minutes) << rows[i];
            EXPECT_EQ(ParsedMinutes(utc, true), records[i].Minutes - offset) << rows[i];
            EXPECT_EQ(min, std::to_string(records[i].Values[0])); // a number, not text
            EXPECT_EQ(name, "'=1+1");
        }
    }
}

} // namespace
