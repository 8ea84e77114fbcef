// Get Logs while the logger logs: a full cyclic log drops its oldest entry and numbers every
// other one lower in the middle of the pass, and a log that is not full grows at its end.
#include "DownloadFixture.h"

#include "logdata/LogHeader.h"
#include "tests/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace klinktest {
namespace {

struct TMovingCase {
    const char* Name;
    int Entries;     // held when the download begins; 511 is full
    int LogAt;       // the new entry is logged as this log number is requested
    bool Rewritable; // false: the host streams the file, so a passed-over entry is only named
    bool Uneven;     // an hour's gap after entry 100: the log's steps alone cannot tell a move
};

// A log line without its number: the entry as the logger holds it, whatever it is numbered.
std::string Entry(const protocol::LogRecord& record) {
    const std::string line = protocol::LogLine(record);
    return line.substr(line.find(' ') + 1);
}

class MovingLog : public TDownloadFixture<::testing::TestWithParam<TMovingCase>> {};

TEST_P(MovingLog, KeepsEveryEntryHeldAtBothEndsOnceInTimeOrderOrNamesIt) {
    const TMovingCase& c = GetParam();
    Rig.FillLog(c.Entries);
    for (std::size_t i = 100; c.Uneven && i < Rig.Log.size(); ++i) {
        Rig.Log[i].Minutes += 60;
    }
    Rig.LogMemory = 511;
    Rig.Host.FileRewritable = c.Rewritable;
    ASSERT_TRUE(Rig.RunUntilReady());
    Rig.Run(5500);
    const std::vector<protocol::LogRecord> atStart = Rig.Log;
    Rig.LogDuringDownloadAt = c.LogAt;
    const std::size_t sentBefore = Rig.Sent.size();
    Rig.Link.ReadAllLogsClick();
    ASSERT_TRUE(Rig.RunUntilDownloaded(120000));
    ASSERT_EQ(Rig.LogDuringDownloadAt, 0) << "the logger never logged";
    if (c.LogAt == 0) {
        ASSERT_EQ(Rig.Log, atStart);
    }

    // Every entry the logger has held, in the order it logged them.
    std::vector<std::string> logged;
    for (const auto& r : atStart) {
        logged.push_back(Entry(r));
    }
    for (const auto& r : Rig.Log) {
        if (std::find(logged.begin(), logged.end(), Entry(r)) == logged.end()) {
            logged.push_back(Entry(r));
        }
    }
    // The file's entries after entry 0: numbered 1, 2, 3 ... each one the logger logged, in
    // the order it logged them.
    std::istringstream file(testfiles::ReadFile(FileName));
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(file, line)) {
        lines.push_back(line.substr(0, line.size() - 1));
    }
    ASSERT_GT(lines.size(), logdata::HeaderLineCount + 1);
    lines.erase(lines.begin(), lines.begin() + logdata::HeaderLineCount + 1);
    std::ptrdiff_t previous = -1;
    std::vector<std::string> inFile;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t blank = lines[i].find(' ');
        EXPECT_EQ(lines[i].substr(0, blank), std::to_string(i + 1)) << "numbered out of turn";
        inFile.push_back(lines[i].substr(blank + 1));
        const auto at = std::find(logged.begin(), logged.end(), inFile.back()) - logged.begin();
        ASSERT_LT(at, static_cast<std::ptrdiff_t>(logged.size())) << lines[i];
        EXPECT_GT(at, previous) << "twice, or out of time order: " << lines[i];
        previous = at;
    }
    // What the page shows is what the file holds.
    ASSERT_LE(Rig.Host.Memo.size(), lines.size());
    EXPECT_TRUE(std::equal(Rig.Host.Memo.begin(), Rig.Host.Memo.end(), lines.begin()));

    std::vector<protocol::LogRecord> missing;
    for (const auto& r : atStart) {
        const bool heldAtEnd = std::any_of(Rig.Log.begin(), Rig.Log.end(),
                                           [&](const auto& e) { return Entry(e) == Entry(r); });
        if (heldAtEnd && std::find(inFile.begin(), inFile.end(), Entry(r)) == inFile.end()) {
            missing.push_back(r);
        }
    }
    if (c.Rewritable) {
        EXPECT_TRUE(missing.empty()) << "passed over without a word: " << Entry(missing[0]);
        EXPECT_EQ(Rig.Host.DownloadEnds, std::vector{klink::TDownloadEnd::Complete});
        EXPECT_TRUE(Rig.Host.Messages.empty());
    } else {
        ASSERT_FALSE(missing.empty()) << "a streamed file has no way to take one back";
        EXPECT_EQ(Rig.Host.DownloadEnds, std::vector{klink::TDownloadEnd::EntriesLost});
        ASSERT_EQ(Rig.Host.Messages.size(), 1u);
        for (const auto& r : missing) {
            EXPECT_NE(Rig.Host.Messages[0].find(
                          protocol::DateTimeToStr(r.TimeStamp(), protocol::DateFormats{})),
                      std::string::npos)
                << Rig.Host.Messages[0];
        }
    }
    // One pass at the pace it always had, and only a few requests more at its end.
    std::size_t requests = 0;
    for (const std::string& body : Rig.SentBodies(sentBefore)) {
        requests += body[0] == 'l' && body != "l0000";
    }
    EXPECT_LE(requests, static_cast<std::size_t>(c.Entries) + 2 + 40);
}

INSTANTIATE_TEST_SUITE_P(
    Link, MovingLog,
    ::testing::Values(
        TMovingCase{"FullLogMovesAtFirstRequest_EntriesRenumberedLost", 511, 1, true, false},
        TMovingCase{"FullLogMovesMidway_PassedOverEntryLost", 511, 200, true, false},
        TMovingCase{"FullLogMovesAtLastRequest_NewestButOneLost", 511, 511, true, false},
        TMovingCase{"FullLogMovesMidwayFileStreamed_LossNotSaid", 511, 200, false, false},
        TMovingCase{"UnevenFullLogMovesMidway_PassedOverEntryLost", 511, 200, true, true},
        TMovingCase{"UnevenFullLogStill_FalseAlarmOrRewrite", 511, 0, true, true},
        TMovingCase{"LogGrowsAtFirstRequest_NewEntryMisplaced", 300, 1, true, false},
        TMovingCase{"LogGrowsMidway_NewEntryMisplaced", 300, 150, true, false},
        TMovingCase{"LogGrowsAtItsEnd_NewEntryTakenForTheEnd", 300, 301, true, false},
        TMovingCase{"LogGrowsToFull_NewEntryInLastSlotMissed", 510, 255, true, false}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace klinktest
