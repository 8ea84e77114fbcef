// What the link tells its host has happened: how each download ended, a whole poll cycle read,
// and that a throw inside reply handling does not stop the line.
#include "DownloadFixture.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <sys/resource.h>

namespace klinktest {
namespace {

using klink::TDownloadEnd;

enum class TEnding {
    AllRead,
    LoggerFallsSilent,
    LoggerRestarts,
    WriteFails,
    DiskFills,
    UserAborts
};

struct TEndingCase {
    TEnding Ending;
    TDownloadEnd Expected;
    const char* Name;
};

class DownloadEnding : public TDownloadFixture<::testing::TestWithParam<TEndingCase>> {
protected:
    void SetUp() override {
        TDownloadFixture::SetUp();
        Rig.FillLog(40);
    }
    void TearDown() override {
        setrlimit(RLIMIT_FSIZE, &OldLimit);
        TDownloadFixture::TearDown();
    }

    rlimit OldLimit{};
};

TEST_P(DownloadEnding, IsToldOnceWithItsReasonAndTheEntriesWritten) {
    const TEndingCase& c = GetParam();
    getrlimit(RLIMIT_FSIZE, &OldLimit);
    if (c.Ending == TEnding::DiskFills) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = OldLimit;
        small.rlim_cur = 2000; // the header and a few entries
        setrlimit(RLIMIT_FSIZE, &small);
    }
    const std::size_t held = Rig.Log.size();
    ASSERT_TRUE(Rig.RunUntilReady());
    Rig.Run(5500);
    Rig.Link.ReadAllLogsClick();
    while (Rig.Host.Memo.size() < 10 && Rig.Link.Downloading()) {
        Rig.Run(1);
    }
    switch (c.Ending) {
    case TEnding::LoggerFallsSilent:
        Rig.Silent = true;
        break;
    case TEnding::LoggerRestarts:
        // Silent for two seconds, then back with fewer entries than it had.
        Rig.Silent = true;
        Rig.Run(2000);
        Rig.Silent = false;
        Rig.Log.resize(5);
        break;
    case TEnding::WriteFails:
        Rig.Host.WriteFailure = "Write error";
        break;
    case TEnding::UserAborts:
        Rig.Link.ReadAllLogsClick();
        break;
    default:
        break;
    }
    ASSERT_TRUE(Rig.RunUntilDownloaded());
    Rig.Run(2000);
    ASSERT_EQ(Rig.Host.DownloadEnds, std::vector<TDownloadEnd>{c.Expected});
    // Entry 0 and every entry line in the file, as the host was told.
    const std::string text = testfiles::ReadFile(FileName);
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    EXPECT_EQ(Rig.Host.DownloadRecords[0] + logdata::HeaderLineCount, lines);
    if (c.Expected == TDownloadEnd::Complete) {
        EXPECT_EQ(Rig.Host.DownloadRecords[0], held + 1);
    } else {
        EXPECT_LT(Rig.Host.DownloadRecords[0], held + 1);
    }
    // A log that ended early by itself is the one ending nobody would notice: it is said once.
    if (c.Expected == TDownloadEnd::EndedShort) {
        ASSERT_EQ(Rig.Host.Messages.size(), 1u);
        EXPECT_NE(Rig.Host.Messages[0].find(std::to_string(held)), std::string::npos)
            << Rig.Host.Messages[0];
    }
}

INSTANTIATE_TEST_SUITE_P(
    Link, DownloadEnding,
    ::testing::Values(TEndingCase{TEnding::AllRead, TDownloadEnd::Complete, "AllRead"},
                      TEndingCase{TEnding::LoggerFallsSilent, TDownloadEnd::LoggerSilent,
                                  "LoggerFallsSilent"},
                      TEndingCase{TEnding::LoggerRestarts, TDownloadEnd::EndedShort,
                                  "LoggerRestartsWithASmallerLog"},
                      TEndingCase{TEnding::WriteFails, TDownloadEnd::LineGone, "WriteFails"},
                      TEndingCase{TEnding::DiskFills, TDownloadEnd::FileError, "DiskFills"},
                      TEndingCase{TEnding::UserAborts, TDownloadEnd::Cancelled, "UserAborts"}),
    [](const auto& info) { return std::string(info.param.Name); });

struct TCycleCase {
    int LoseEvery;
    bool CyclesExpected;
    const char* Name;
};

class CycleRead : public ::testing::TestWithParam<TCycleCase> {};

TEST_P(CycleRead, IsToldOnlyForTenStepsAnsweredInARow) {
    TRig rig;
    rig.LoseEvery = GetParam().LoseEvery;
    rig.Run(40000);
    if (GetParam().CyclesExpected) {
        // About one cycle every five seconds once found.
        EXPECT_GE(rig.Host.CyclesRead, 6);
    } else {
        EXPECT_EQ(rig.Host.CyclesRead, 0);
    }
}

// Losing every seventh reply breaks every cycle: none of them was read whole.
INSTANTIATE_TEST_SUITE_P(Link, CycleRead,
                         ::testing::Values(TCycleCase{0, true, "EveryReplyComes"},
                                           TCycleCase{7, false, "EverySeventhReplyLost"}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ReplyHandling, AThrowWhileAReplyIsAppliedLeavesNothingHeldBack) {
    TRig rig;
    rig.Host.ThrowOnSet = Control::KestroName;
    bool threw = false;
    for (int ms = 0; ms < 20000 && !threw; ++ms) {
        try {
            rig.Run(1);
        } catch (const std::runtime_error&) {
            threw = true;
        }
    }
    ASSERT_TRUE(threw);
    const std::size_t written = rig.Host.Wire.size();
    rig.Run(6000);
    // The poll goes on: a held transmitter would never send again.
    EXPECT_GE(rig.Host.Wire.size(), written + 8);
    EXPECT_EQ(rig.Link.Values().LinkState, klink::StateReady);
}

} // namespace
} // namespace klinktest
