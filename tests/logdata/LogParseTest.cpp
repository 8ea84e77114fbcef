// Reading log files back: what Save and Get Logs write, and files that are damaged or no logs.
#include "logdata/LogParse.h"

#include "WrittenLogs.h"
#include "tests/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>

namespace {

using testfiles::ReadFile;

class WrittenFile : public ::testing::Test {
protected:
    void SetUp() override { Name = testfiles::NewTempFile("quorva-parse"); }
    void TearDown() override { std::remove(Name.c_str()); }
    std::string Name;
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
        text.replace(at, from.size(), to);
    }
    return text;
}

TEST_F(WrittenFile, ASavedLogGivesBackItsHeaderAndEveryEntry) {
    const auto header = writtenlogs::SampleHeader();
    const auto entries = writtenlogs::MakeEntries(50);
    writtenlogs::WriteSaved(Name, header, entries);
    const logdata::TParsedLog log = logdata::ParseLogText(ReadFile(Name));
    ASSERT_TRUE(log.IsLog) << log.NotLogReason;
    EXPECT_TRUE(log.Problems.empty()) << log.Problems.front().Message;
    EXPECT_EQ(log.Entries, entries);
    EXPECT_EQ(log.Header.KestroName, "Harbour One");
    EXPECT_EQ(log.Header.Zone1Text, "Stern           ");
    EXPECT_EQ(log.Header.RefType, "Ag AgCl");
    EXPECT_EQ(log.Header.PcTime, "14/08/26 05:21");
    EXPECT_EQ(log.Header.BatteryVolts, "12.5 V");
    EXPECT_FALSE(log.Header.CyclicLogging);
    EXPECT_EQ(log.ZoneDescription(1), "Stern");
    EXPECT_EQ(log.IntervalMinutes(), 15);
    EXPECT_EQ(log.ZoneCount(), 3);
}

TEST_F(WrittenFile, ADownloadedLogLeavesEntryZeroOutAndReadsTheSameWithLineFeedsOnly) {
    auto entries = writtenlogs::MakeEntries(20);
    protocol::LogRecord zero = entries.front();
    zero.Index = 0;
    entries.insert(entries.begin(), zero);
    auto header = writtenlogs::SampleHeader();
    header.CyclicLogging = true;
    writtenlogs::WriteDownloaded(Name, header, entries);
    const std::string text = ReadFile(Name);
    const logdata::TParsedLog log = logdata::ParseLogText(text);
    ASSERT_TRUE(log.IsLog);
    EXPECT_TRUE(log.Problems.empty());
    ASSERT_EQ(log.Entries.size(), 20u);
    EXPECT_EQ(log.Entries.front().Index, 1);
    EXPECT_EQ(log.Entries.back(), entries.back());
    EXPECT_TRUE(log.Header.CyclicLogging);
    const logdata::TParsedLog unix = logdata::ParseLogText(Replace(text, "\r\n", "\n"));
    EXPECT_EQ(unix.Entries, log.Entries);
    EXPECT_TRUE(unix.Problems.empty());
}

TEST_F(WrittenFile, EmptySaveMidnightEntriesAndLatin1TextsAreRead) {
    auto header = writtenlogs::SampleHeader();
    header.KestroName = "K\xE9rsti \xC5";
    header.Material = "";
    header.Zones = "2";
    header.LogInterval = "Off";
    writtenlogs::WriteSaved(Name, header, {});
    logdata::TParsedLog log = logdata::ParseLogText(ReadFile(Name));
    ASSERT_TRUE(log.IsLog);
    EXPECT_TRUE(log.Entries.empty());
    EXPECT_TRUE(log.Problems.empty());
    EXPECT_EQ(log.Header.KestroName, "K\xE9rsti \xC5");
    EXPECT_EQ(log.Header.Material, "");
    EXPECT_EQ(log.ZoneCount(), 2);
    EXPECT_EQ(log.IntervalMinutes(), std::nullopt);

    protocol::LogRecord midnight;
    midnight.Index = 3;
    midnight.Minutes = protocol::MinutesSinceEpoch({2026, 8, 14, 0, 0, 0, 0});
    midnight.Values = {-120, -85, 0, 0, 0, -1};
    writtenlogs::WriteSaved(Name, header, {midnight});
    log = logdata::ParseLogText(ReadFile(Name));
    EXPECT_NE(ReadFile(Name).find("\r\n3 14/08/26 -120 -85 0 0 0 -1\r\n"), std::string::npos);
    ASSERT_EQ(log.Entries.size(), 1u);
    EXPECT_EQ(log.Entries[0], midnight);
}

TEST(LogLine, MalformedLinesAreNamedByTheirNumberAndSkipped) {
    const std::string header =
        "*Configuration\n*-------------\n*Kestro Name         = K\n"
        "*Serial Number       = S\n*Software Version    = V\n*Zone1 Description   = A\n"
        "*Zone2 Description   = B\n*Zone3 Description   = C\n*Log Interval        = 1 Hour\n"
        "*Hull Material       = Bronze\n*Reference Type      = Zinc\n*Zones Enabled       = 1\n"
        "*Cyclic Logging      = Disabled\n*Log Count           = 9\n*Kestro Time         = x\n"
        "*PC Time             = y\n*Battery Voltage     = 3.1 V\n\n*Log Data\n*--------\n"
        " *Date     Time   Min1 Max1 Min2 Max2 Min3 Max3 \n";
    const std::vector<std::string> bad = {
        "2 14/08/26 05:20 -120 35 0 0 0",          // a reading missing
        "3 14/08/26 05:20 -120 35 0 0 0 0 0",      // one too many
        "x 14/08/26 05:20 -120 35 0 0 0 0",        // entry number
        "5 32/08/26 05:20 -120 35 0 0 0 0",        // no such day
        "6 14/08/26 5:20 -120 35 0 0 0 0",         // time without its leading zero
        "7  14/08/26 05:20 -120 35 0 0 0 0",       // two blanks
        "8 14/08/26 05:20 -120 3a5 0 0 0 0",       // reading
        "9 14/08/26 05:20 +120 35 0 0 0 0",        // the program never writes a plus
        "",                                        // empty line inside the data
        "10 14/08/26 05:20 -120 35 0 0 0 0 junk"}; // trailing junk
    std::string text = header + "1 14/08/26 05:00 -1 1 0 0 0 0\n";
    for (const std::string& line : bad) {
        text += line + "\n";
    }
    text += "11 14/08/26 06:00 -2 2 0 0 0 0\n\n";
    const logdata::TParsedLog log = logdata::ParseLogText(text);
    ASSERT_TRUE(log.IsLog);
    ASSERT_EQ(log.Problems.size(), bad.size());
    for (std::size_t i = 0; i < bad.size(); ++i) {
        EXPECT_EQ(log.Problems[i].Line, 23 + i) << bad[i];
        EXPECT_FALSE(log.Problems[i].Message.empty());
    }
    ASSERT_EQ(log.Entries.size(), 2u);
    EXPECT_EQ(log.Entries[0].Index, 1);
    EXPECT_EQ(log.Entries[1].Index, 11);
    EXPECT_EQ(log.Entries[1].Values[1], 2);
    EXPECT_EQ(log.Header.Material, "Bronze");
    EXPECT_EQ(log.ZoneCount(), 1);
    EXPECT_EQ(log.IntervalMinutes(), 60);
    EXPECT_EQ(logdata::ParseLogText(header).Entries.size(), 0u);
}

TEST(LogLine, AHeaderLineWithAWrongLabelIsReportedAndTheEntriesStillLoad) {
    std::string text = "*Configuration\r\n*-------------\r\n";
    for (int i = 3; i <= 17; ++i) {
        text += i == 9 ? "*Log Intervall       = 15 Minutes\r\n" : "*Kestro Name         = K\r\n";
    }
    text += "\r\n*Log Data\r\n*--------\r\n *Date     Time   Min1 Max1 Min2 Max2 Min3 Max3 \r\n";
    text += "1 14/08/26 05:00 -1 1 0 0 0 0\r\n";
    const logdata::TParsedLog log = logdata::ParseLogText(text);
    ASSERT_TRUE(log.IsLog);
    EXPECT_EQ(log.Header.KestroName, "K");
    // Line 4 holds the serial number's place, line 9 the interval's; all but 3 are wrong.
    EXPECT_EQ(log.Problems.size(), 14u);
    EXPECT_EQ(log.Problems[0].Line, 4u);
    EXPECT_EQ(log.Entries.size(), 1u);
}

TEST(NotALog, TextThatIsNotALogSaysWhy) {
    const std::vector<std::string> texts = {
        "",
        "Entry,Time,Min1\r\n1,2026-08-14T05:20:00+01:00,-1\r\n",
        "\xEF\xBB\xBFhello",
        // A header cut short after its first lines.
        "*Configuration\r\n*-------------\r\n*Kestro Name         = K\r\n",
        // The column heading without its trailing blank.
        std::string("*Configuration\n") + std::string(19, '\n') +
            " *Date     Time   Min1 Max1 Min2 Max2 Min3 Max3\n",
    };
    for (const std::string& text : texts) {
        const logdata::TParsedLog log = logdata::ParseLogText(text);
        EXPECT_FALSE(log.IsLog) << text;
        EXPECT_FALSE(log.NotLogReason.empty());
        EXPECT_TRUE(log.Entries.empty());
    }
}

// A log as Save writes it, with any line end: the header, then the entries' lines.
std::string LogText(const std::vector<protocol::LogRecord>& entries, const std::string& end) {
    std::string text;
    for (const std::string& line : logdata::HeaderLines(writtenlogs::SampleHeader())) {
        text += line + end;
    }
    for (const protocol::LogRecord& r : entries) {
        text += protocol::LogLine(r) + end;
    }
    return text;
}

struct TDamage {
    const char* Name;
    std::function<std::string()> Text;
    const char* NotLogReason; // "" when the text is a log
    std::size_t Entries;
    std::size_t Unreadable;   // lines that could not be read, all of them
    std::size_t FirstBadLine; // 0 when there is none
};

void PrintTo(const TDamage& c, std::ostream* os) {
    *os << c.Name;
}

// A file of junk must neither be kept line by line nor refused as something it is not.
class DamagedText : public ::testing::TestWithParam<TDamage> {};

TEST_P(DamagedText, IsReadWithBoundedProblemsOrRefusedForItsTrueReason) {
    const TDamage& c = GetParam();
    const std::string text = c.Text();
    const auto start = std::chrono::steady_clock::now();
    const logdata::TParsedLog log = logdata::ParseLogText(text);
    const auto took = std::chrono::steady_clock::now() - start;
    // Far above what the 20 MB case takes even on a busy machine; a copy per line would pass it.
    EXPECT_LT(took, std::chrono::seconds(8));
    EXPECT_EQ(log.IsLog, std::string(c.NotLogReason).empty()) << log.NotLogReason;
    EXPECT_NE(log.NotLogReason.find(c.NotLogReason), std::string::npos) << log.NotLogReason;
    EXPECT_EQ(log.Entries.size(), c.Entries);
    EXPECT_EQ(log.EntryLines.size(), log.Entries.size());
    EXPECT_EQ(log.ProblemCount(), c.Unreadable);
    EXPECT_EQ(log.Problems.size(), std::min(c.Unreadable, logdata::MaxKeptProblems));
    if (c.FirstBadLine != 0) {
        ASSERT_FALSE(log.Problems.empty());
        EXPECT_EQ(log.Problems.front().Line, c.FirstBadLine);
        EXPECT_EQ(log.Problems.back().Line, c.FirstBadLine + log.Problems.size() - 1);
        EXPECT_FALSE(log.Problems.back().Message.empty());
    }
}

// 10 million junk lines of two bytes each behind a sound header and two entries.
std::string TwentyMegabytesOfJunk() {
    const auto entries = writtenlogs::MakeEntries(2);
    std::string text = LogText({entries[0]}, "\r\n");
    text.reserve(text.size() + 20'000'100);
    for (int i = 0; i < 10'000'000; ++i) {
        text += "x\n";
    }
    return text + protocol::LogLine(entries[1]) + "\n";
}

std::string MixedLineEnds() {
    const auto lines = logdata::HeaderLines(writtenlogs::SampleHeader());
    const char* ends[] = {"\r", "\n", "\r\n"};
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i] + ends[i % 3];
    }
    for (const protocol::LogRecord& r : writtenlogs::MakeEntries(30)) {
        text += protocol::LogLine(r) + ends[r.Index % 3];
    }
    return text;
}

std::string HeaderThen(const std::string& end, std::size_t keep, const std::string& rest) {
    const std::string text = LogText({}, end);
    std::size_t at = 0;
    for (std::size_t i = 0; i < keep; ++i) {
        at = text.find(end, at) + end.size();
    }
    return text.substr(0, at) + rest;
}

INSTANTIATE_TEST_SUITE_P(
    LogParse, DamagedText,
    ::testing::Values(
        TDamage{"CrOnlyLineEndsRefusedAsNoHeader",
                [] { return LogText(writtenlogs::MakeEntries(50), "\r") + "\r"; }, "", 50, 0, 0},
        TDamage{"MixedLineEndsSplitWrongly", MixedLineEnds, "", 30, 0, 0},
        TDamage{"AProblemKeptForEveryJunkLine", TwentyMegabytesOfJunk, "", 2, 10'000'000, 23},
        TDamage{"EmptyLinesInsideTheDataLostOrKeptOneByOne",
                [] {
                    const auto e = writtenlogs::MakeEntries(2);
                    return LogText({e[0]}, "\r") + std::string(300, '\r') +
                           protocol::LogLine(e[1]) + "\r\r\r";
                },
                "", 2, 300, 23},
        TDamage{"AnEmptyFileCalledHeaderless", [] { return std::string(); }, "it is empty", 0, 0,
                0},
        TDamage{"ACrOnlyHeaderCutShortBlamesTheFirstLine", [] { return HeaderThen("\r", 5, ""); },
                "it ends after line 5", 0, 0, 0},
        TDamage{"ACrOnlyFileWithoutItsColumnHeadingBlamesTheFirstLine",
                [] { return HeaderThen("\r", 20, "1 14/08/26 05:20 -1 1 0 0 0 0\r"); },
                "line 21 is not the column heading", 0, 0, 0},
        TDamage{"JunkWithCrOnlyIsTakenForALog",
                [] { return std::string(20'000, '\r') + "*Configuration\r"; },
                "does not begin with \"*Configuration\"", 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
