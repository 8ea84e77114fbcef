// Slow, late and jittery loggers: every entry under its own number, nothing written back.
#include "DownloadFixture.h"
#include "link/LogDownload.h"
#include "link/ReplyTime.h"
#include "protocol/Convert.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace klinktest {
namespace {

using testfiles::ReadFile;

TEST(ReplyTime, StartsAtTheFirstTimeOutRisesToThreeTimesTheSlowestAndIsCapped) {
    klink::TReplyTime t;
    EXPECT_EQ(t.TimeoutMs(), klink::ReplyTimeoutMs);
    t.Observe(40);
    EXPECT_EQ(t.TimeoutMs(), klink::ReplyTimeoutMs); // 120 is below the floor
    t.Observe(100);
    EXPECT_EQ(t.TimeoutMs(), 300);
    t.Observe(300);
    EXPECT_EQ(t.TimeoutMs(), 900);
    t.Observe(450);
    EXPECT_EQ(t.TimeoutMs(), klink::ReplyTimeoutCapMs);
    t.Observe(100000); // a wild sample is held to the guard
    EXPECT_EQ(t.SlowestMs(), klink::LateReplyGuardMs);
}

TEST(ReplyTime, ComesDownSlowlyAfterFastReplies) {
    klink::TReplyTime t;
    t.Observe(300);
    t.Observe(40);
    EXPECT_GE(t.TimeoutMs(), 800); // one fast reply changes little
    for (int i = 0; i < 20; ++i) {
        t.Observe(40);
    }
    EXPECT_LT(t.TimeoutMs(), 900);
    EXPECT_GT(t.TimeoutMs(), 400);
    for (int i = 0; i < 200; ++i) {
        t.Observe(40);
    }
    EXPECT_EQ(t.TimeoutMs(), klink::ReplyTimeoutMs);
}

TEST(ReplyTime, QuietTimeCoversAWholeReplyAndOnceFoundTheSlowestAcceptedReply) {
    klink::TReplyTime t;
    EXPECT_GE(t.QuietMs(false), klink::ReplyWireMs + klink::HandOverGapMs);
    EXPECT_LT(t.QuietMs(false), 100);
    EXPECT_GE(t.QuietMs(true), klink::ReplyTimeoutCapMs + klink::ReplyWireMs);
    t.Observe(1500);
    EXPECT_GE(t.QuietMs(true), 1500 + klink::ReplyWireMs); // the slowest reply seen
}

// The logger's texts and settings are still those it was made with.
void ExpectLoggerAsMade(const TRig& rig) {
    const TRig fresh;
    EXPECT_EQ(Pad16(rig.Name), Pad16(fresh.Name));
    EXPECT_EQ(Pad16(rig.Serial), Pad16(fresh.Serial));
    for (std::size_t z = 0; z < 3; ++z) {
        EXPECT_EQ(Pad16(rig.ZoneTexts[z]), Pad16(fresh.ZoneTexts[z]));
    }
    EXPECT_EQ(rig.Settings, fresh.Settings);
}

class LateLogger : public TDownloadFixture<> {
protected:
    void SetUp() override {
        TDownloadFixture::SetUp();
        Rig.FillLog(9);
    }

    void Download(int limitMs = 120000) {
        ASSERT_TRUE(Rig.RunUntilReady(30000));
        Rig.Run(6000);
        Rig.Link.ReadAllLogsClick();
        ASSERT_TRUE(Rig.RunUntilDownloaded(limitMs));
    }
    // The file after its header: entry 0 (the count) and every entry, each once, in order.
    std::string DataSection() const {
        const std::string text = ReadFile(FileName);
        const std::string mark = " *Date     Time   Min1 Max1 Min2 Max2 Min3 Max3 \r\n";
        const std::size_t at = text.find(mark);
        return at == std::string::npos ? "<no header>" : text.substr(at + mark.size());
    }
    std::string ExpectedData() const {
        protocol::LogRecord zero;
        zero.Minutes = static_cast<int64_t>(
                           protocol::HexQuadToWord(LeWord(static_cast<uint32_t>(Rig.Log.size())))) *
                       65536;
        std::string text = protocol::LogLine(zero) + "\r\n";
        for (const auto& r : Rig.Log) {
            text += protocol::LogLine(r) + "\r\n";
        }
        return text;
    }
    // What the logger holds at the end is what it held at the start; the program may write
    // a value back only unchanged.
    void ExpectSettingsUntouched() {
        ExpectLoggerAsMade(Rig);
        for (const std::string& body : Rig.SentBodies()) {
            const char c = body[0];
            EXPECT_TRUE(c != 'M' && c != 'Z' && c != 'R' && c != 'P' && c != 'T') << body;
        }
        EXPECT_EQ(Rig.Host.Texts[Control::SerialNo], Pad16(Rig.Serial));
    }
};

TEST_F(LateLogger, EveryDelayUpToNineHundredGivesEveryEntryOnceAndChangesNothing) {
    for (int delay : {0, 40, 120, 190, 210, 300, 450, 800, 900}) {
        SCOPED_TRACE(delay);
        TearDown();
        Rig.~TRig();
        new (&Rig) TRig();
        SetUp();
        Rig.ReplyDelayMs = delay;
        Download();
        EXPECT_EQ(DataSection(), ExpectedData());
        EXPECT_TRUE(Rig.Host.Messages.empty());
        ExpectSettingsUntouched();
    }
}

TEST_F(LateLogger, JitterBetweenTwentyAndThreeHundredFiftyKeepsEveryEntryInPlace) {
    Rig.FillLog(30);
    Rig.JitterLow = 20;
    Rig.JitterHigh = 350;
    Rig.JitterSeed = 7;
    Download(300000);
    EXPECT_EQ(DataSection(), ExpectedData());
    ExpectSettingsUntouched();
}

TEST_F(LateLogger, SingleLateRepliesAnywhereInTheDownloadCostNothing) {
    for (int late : {270, 450}) {
        for (int entry : {0, 1, 7, 9}) {
            SCOPED_TRACE(std::to_string(late) + " ms late at entry " + std::to_string(entry));
            TearDown();
            Rig.~TRig();
            new (&Rig) TRig();
            SetUp();
            Rig.ReplyDelayMs = 20;
            ASSERT_TRUE(Rig.RunUntilReady(30000));
            Rig.Run(6000);
            Rig.Link.ReadAllLogsClick();
            // Make the logger's answer to that entry's first request late.
            const std::string body = "l" + protocol::WordToHexQuad(entry);
            bool seen = false;
            for (int t = 0; t < 60000 && Rig.Link.Downloading(); ++t) {
                Rig.Run(1);
                if (!seen && !Rig.Sent.empty() && Rig.Sent.back().Body() == body &&
                    Rig.Sent.back().AtMs == Rig.Now) {
                    seen = true;
                    // The reply for this command is the latest one queued; delay it.
                    Rig.DelayLastReply(late);
                }
            }
            EXPECT_TRUE(seen);
            EXPECT_FALSE(Rig.Link.Downloading());
            EXPECT_EQ(DataSection(), ExpectedData());
            ExpectSettingsUntouched();
        }
    }
}

// Log requests never come closer than one period, and a slow logger is asked again as soon as
// it has answered, not at the next tick.
TEST_F(LateLogger, RequestsFollowTheLoggersPaceButNeverFasterThanAPeriod) {
    for (int delay : {20, 150}) {
        SCOPED_TRACE(delay);
        TearDown();
        Rig.~TRig();
        new (&Rig) TRig();
        SetUp();
        Rig.FillLog(40);
        Rig.ReplyDelayMs = delay;
        const std::size_t from = Rig.Sent.size() + 0;
        Download();
        std::vector<int> at;
        for (std::size_t i = from; i < Rig.Sent.size(); ++i) {
            const std::string body = Rig.Sent[i].Body();
            if (body[0] == 'l' && body != "l0000") {
                at.push_back(Rig.Sent[i].AtMs);
            }
        }
        ASSERT_GE(at.size(), 40u);
        for (std::size_t i = 1; i < at.size(); ++i) {
            EXPECT_GE(at[i] - at[i - 1], klink::RequestPeriodMs);
        }
        const double mean = double(at.back() - at.front()) / double(at.size() - 1);
        EXPECT_LT(mean, std::max(80, delay) + 10);
        EXPECT_EQ(DataSection(), ExpectedData());
    }
}

// A lost reply costs a time-out and the settling, but not the link: the cycle still completes.
TEST_F(LateLogger, ALostReplyNowAndThenDoesNotLoseTheLink) {
    Rig.LoseEvery = 7;
    ASSERT_TRUE(Rig.RunUntilReady(30000));
    for (int t = 0; t < 30000; t += 50) {
        Rig.Run(50);
        ASSERT_NE(Rig.Link.Values().LinkState, klink::StateSearching) << "at " << Rig.Now;
    }
    ExpectSettingsUntouched();
}

TEST_F(LateLogger, LostRepliesToLogZeroAreAskedAgain) {
    Rig.ReplyDelayMs = 30;
    ASSERT_TRUE(Rig.RunUntilReady(30000));
    Rig.Run(6000);
    Rig.DropReplies = 2; // log 0 asked three times
    Rig.Link.ReadAllLogsClick();
    ASSERT_TRUE(Rig.RunUntilDownloaded(60000));
    EXPECT_EQ(DataSection(), ExpectedData());
}

TEST_F(LateLogger, SlowerThanTheCapEndsWithTheSilentLoggerMessageAndNoWrongEntry) {
    Rig.FillLog(80);
    Rig.ReplyDelayMs = 30;
    ASSERT_TRUE(Rig.RunUntilReady(30000));
    Rig.Run(6000);
    Rig.Link.ReadAllLogsClick();
    Rig.Run(2000); // a few entries at the normal pace
    Rig.ReplyDelayMs = 1600;
    ASSERT_TRUE(Rig.RunUntilDownloaded(200000));
    ASSERT_EQ(Rig.Host.Messages.size(), 1u);
    EXPECT_EQ(Rig.Host.Messages[0].rfind("The Kestro stopped answering at log ", 0), 0u);
    // What was written is the start of the right data, nothing else.
    const std::string data = DataSection();
    EXPECT_FALSE(data.empty());
    EXPECT_EQ(ExpectedData().substr(0, data.size()), data);
    ExpectSettingsUntouched();
}

TEST_F(LateLogger, SlowPollingForSeveralCyclesWritesNothingBack) {
    for (int delay : {450, 800}) {
        SCOPED_TRACE(delay);
        TearDown();
        Rig.~TRig();
        new (&Rig) TRig();
        SetUp();
        Rig.ReplyDelayMs = delay;
        ASSERT_TRUE(Rig.RunUntilReady(30000));
        Rig.Run(40000);
        EXPECT_EQ(Rig.Link.Values().LinkState, klink::StateReady);
        ExpectSettingsUntouched();
    }
}

TEST_F(LateLogger, ClearAnsweredOnlyAfterTheEraseAsksOnlyTheLogCountThenResumesAtStepZero) {
    Rig.ReplyDelayMs = 40;
    Rig.EraseSilenceMs = 3000;
    Rig.ClearAnswerAfterErase = true;
    ASSERT_TRUE(Rig.RunUntilReady(30000));
    Rig.Run(6000);
    Rig.Link.ClearKestroClick();
    for (int t = 0; t < 2000 && Rig.Sent.back().Body() != "C"; ++t) {
        Rig.Run(1);
    }
    ASSERT_EQ(Rig.Sent.back().Body(), "C");
    const std::size_t before = Rig.Sent.size() - 1;
    for (int t = 0; t < 20000 && Rig.Link.Values().LinkState == klink::StateClearingLogs; ++t) {
        Rig.Run(1);
    }
    EXPECT_EQ(Rig.Link.Values().LinkState, klink::StateReady);
    const std::vector<std::string> during = Rig.SentBodies(before + 1);
    ASSERT_FALSE(during.empty());
    for (const std::string& body : during) {
        EXPECT_EQ(body, "l0000");
    }
    Rig.Run(12000);
    const std::vector<std::string> after = Rig.SentBodies(before + 1 + during.size());
    ASSERT_GE(after.size(), 10u);
    EXPECT_EQ(after[0], "i01");
    EXPECT_EQ(after[1], "i05");
    ExpectSettingsUntouched();
}

TEST_F(LateLogger, BytesWhileSettlingAreThrownAwayAndRestartTheQuiet) {
    Rig.ReplyDelayMs = 40;
    ASSERT_TRUE(Rig.RunUntilReady(30000));
    Rig.Silent = true;
    Rig.Run(600);
    ASSERT_TRUE(Rig.Link.Settling());
    const int purges = Rig.Host.Purges;
    const std::size_t sent = Rig.Sent.size();
    Rig.Run(300);
    ASSERT_TRUE(Rig.Link.Settling());
    Rig.Link.LineActivity();
    EXPECT_EQ(Rig.Host.Purges, purges + 1);
    // A packet that comes while settling answers nothing.
    const std::string name = Rig.Host.Texts[Control::KestroName];
    Rig.Link.ComDataPacket1Packet(Delivered(TextPayload("Intruder")));
    EXPECT_EQ(Rig.Host.Texts[Control::KestroName], name);
    const int quiet = Rig.Link.ReplyTimes().QuietMs(true);
    Rig.Run(quiet - 1);
    EXPECT_EQ(Rig.Sent.size(), sent); // the quiet began again with the bytes
    Rig.Run(300);
    EXPECT_GT(Rig.Sent.size(), sent);
}

// A reply later than the time-out and the settling quiet together lands after the next
// question went out, and nothing in a reply names its question: whatever it is taken for must
// not be written back into the logger.
TEST(MisfiledReply, ALateAnswerTakenForTheNextQuestionIsNeverWrittenBack) {
    for (int late : {1450, 1500, 1550}) {
        for (int reply : {3, 4, 8, 9, 13, 14}) {
            SCOPED_TRACE(std::to_string(late) + " ms late, reply " + std::to_string(reply));
            TRig rig;
            rig.LateReplies[reply] = late;
            rig.Run(30000);
            ExpectLoggerAsMade(rig);
        }
    }
}

// One question of the poll that the logger always answers slowly, the others promptly.
struct TSlowQuestion {
    const char* Body;
    int AnswerMs;
};

class SlowQuestion : public ::testing::TestWithParam<TSlowQuestion> {};

// Fault caught: the slow question timed out every cycle, its late answer was filed under the
// next question or broke the watchdog, and the link flapped between searching and reading
// settings without ever staying ready.
TEST_P(SlowQuestion, IsWaitedForSoTheLinkStaysReadyWithEveryValueRight) {
    for (klink::TRequestPacing pacing :
         {klink::TRequestPacing::EveryTick, klink::TRequestPacing::OnReply}) {
        SCOPED_TRACE(pacing == klink::TRequestPacing::OnReply ? "asked on reply"
                                                              : "asked on the tick");
        TRig rig;
        rig.Link.SetPollPacing(pacing);
        rig.SlowBodies[GetParam().Body] = GetParam().AnswerMs - rig.ReplyDelayMs;
        ASSERT_TRUE(rig.RunUntilReady(30000));
        rig.Run(30000); // it may take a cycle or two to learn which question is slow
        const int cycles = rig.Host.CyclesRead;
        for (int t = 0; t < 60000; t += 50) {
            rig.Run(50);
            ASSERT_EQ(rig.Link.Values().LinkState, klink::StateReady) << "left ready after " << t;
        }
        // A cycle is at most ten questions 500 ms apart, one of them slow.
        EXPECT_GE(rig.Host.CyclesRead - cycles, 60000 / (5000 + GetParam().AnswerMs) - 1);
        EXPECT_EQ(rig.Host.Texts[Control::KestroName], Pad16(rig.Name));
        EXPECT_EQ(rig.Host.Texts[Control::SerialNo], Pad16(rig.Serial));
        EXPECT_EQ(rig.Host.Texts[Control::Zone1Text], Pad16(rig.ZoneTexts[0]));
        EXPECT_EQ(rig.Host.Texts[Control::KestroTime], "14/08/26 05:20");
        EXPECT_EQ(rig.Host.Texts[Control::LogNumber], "0");
        EXPECT_EQ(rig.Host.Texts[Control::Edit1], "10 mV");
        ExpectLoggerAsMade(rig);
    }
}

// Fault caught: waiting longer for the slow question hid a logger that had gone silent.
TEST_P(SlowQuestion, ALoggerSilentFromTheSlowQuestionOnIsStillNoticed) {
    TRig rig;
    rig.SlowBodies[GetParam().Body] = GetParam().AnswerMs - rig.ReplyDelayMs;
    ASSERT_TRUE(rig.RunUntilReady(30000));
    rig.Run(30000);
    while (rig.Sent.back().Body() != GetParam().Body) {
        rig.Run(10);
    }
    rig.Silent = true;
    int lostAfter = 0;
    while (rig.Link.Values().LinkState != klink::StateSearching && lostAfter < 20000) {
        rig.Run(10);
        lostAfter += 10;
    }
    // Its own longest wait, then five poll steps as for any other question.
    EXPECT_LE(lostAfter, klink::SlowQuestionCapMs + 2500 + 250);
}

INSTANTIATE_TEST_SUITE_P(OneOfTen, SlowQuestion,
                         ::testing::Values(TSlowQuestion{"i05", 1300}, TSlowQuestion{"i05", 2500},
                                           TSlowQuestion{"c", 1800}, TSlowQuestion{"c", 2300},
                                           TSlowQuestion{"i04", 2000}, TSlowQuestion{"i08", 2500}),
                         [](const ::testing::TestParamInfo<TSlowQuestion>& info) {
                             return std::string(info.param.Body) + "_" +
                                    std::to_string(info.param.AnswerMs) + "ms";
                         });

} // namespace
} // namespace klinktest
