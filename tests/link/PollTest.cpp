// Polling, link states, status line, watchdog, one question at a time, port handling.
#include "LinkRig.h"
#include "protocol/Convert.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace klinktest {
namespace {

const std::vector<std::string> PollCycle = {"i01", "i05", "i03", "i04", "l0000",
                                            "s",   "c",   "i06", "i07", "i08"};

bool IsPoll(const std::string& body) {
    return std::find(PollCycle.begin(), PollCycle.end(), body) != PollCycle.end();
}

TEST(Poll, SearchingSendsOnlyStepZeroEveryHalfSecond) {
    TRig rig;
    rig.Silent = true;
    rig.Run(5000);
    ASSERT_GE(rig.Sent.size(), 9u);
    EXPECT_EQ(rig.Sent[0].AtMs, 250); // the counter starts at 0: the first tick polls
    for (std::size_t i = 0; i < rig.Sent.size(); ++i) {
        EXPECT_EQ(rig.Sent[i].Framed, "<i01>>82");
        if (i > 0) {
            EXPECT_EQ(rig.Sent[i].AtMs - rig.Sent[i - 1].AtMs, 500);
        }
    }
    EXPECT_EQ(rig.Link.Values().LinkState, klink::StateSearching);
    EXPECT_EQ(rig.Host.Texts[Control::Status], "  Trying To Find Kestro");
    EXPECT_TRUE(std::all_of(rig.Host.DisableCalls.begin(), rig.Host.DisableCalls.end(),
                            [](bool busy) { return busy; }));
    // Blinks: red and window colour on alternate ticks.
    const Colour first = rig.Host.Colours[Control::Status];
    rig.Run(250);
    const Colour second = rig.Host.Colours[Control::Status];
    EXPECT_NE(first, second);
    EXPECT_TRUE(first == Colour::Red || second == Colour::Red);
}

TEST(Poll, FirstReplyRestartsTheCycleAndTenStepsLaterTheLoggerIsReady) {
    TRig rig;
    rig.Run(300); // the first i01 is answered at 290
    EXPECT_EQ(rig.Link.Values().LinkState, klink::StateReadingSettings);
    ASSERT_TRUE(rig.RunUntilReady());
    std::vector<std::string> polls;
    for (const std::string& body : rig.SentBodies()) {
        if (IsPoll(body)) {
            polls.push_back(body);
        }
    }
    std::vector<std::string> expected = {"i01"};
    expected.insert(expected.end(), PollCycle.begin(), PollCycle.end());
    EXPECT_EQ(polls, expected);
    // Ready when the last request of the first cycle goes out, about 5 s after the reply.
    EXPECT_GE(rig.Now, 5000);
    EXPECT_LE(rig.Now, 6500);
    rig.Run(250);
    EXPECT_EQ(rig.Host.Texts[Control::Status], "  Kestro Ready");
    EXPECT_FALSE(rig.Host.DisableCalls.back());
    for (int i = 0; i < 4; ++i) {
        rig.Run(250);
        EXPECT_EQ(rig.Host.Colours[Control::Status], Colour::Lime);
    }
    EXPECT_TRUE(rig.Host.Enabled[Control::ReadLogsButton]);
    EXPECT_TRUE(rig.Host.Enabled[Control::SaveLogs]);
}

TEST(Poll, SilentLoggerIsLostWithinFivePollStepsAndValuesStay) {
    TRig rig;
    ASSERT_TRUE(rig.RunUntilReady());
    rig.Run(3000);
    const int silentFrom = rig.Now;
    rig.Silent = true;
    while (rig.Link.Values().LinkState != klink::StateSearching && rig.Now < silentFrom + 5000) {
        rig.Run(10);
    }
    EXPECT_EQ(rig.Link.Values().LinkState, klink::StateSearching);
    EXPECT_GE(rig.Now - silentFrom, 1900);
    EXPECT_LE(rig.Now - silentFrom, 2600);
    EXPECT_FALSE(rig.Link.Values().LinkAlive);
    rig.Run(250);
    EXPECT_EQ(rig.Host.Texts[Control::Status], "  Trying To Find Kestro");
    EXPECT_TRUE(rig.Host.DisableCalls.back());
    EXPECT_EQ(rig.Host.Texts[Control::KestroName], Pad16("Harbour One"));
    // Back again: reading settings at the first reply, ready after a further cycle.
    rig.Silent = false;
    ASSERT_TRUE(rig.RunUntilReady());
}

TEST(Poll, UserCommandPushesTheNextPollBackAndSetTimeReadsTheClockNext) {
    TRig rig;
    ASSERT_TRUE(rig.RunUntilReady());
    rig.Run(1000);
    // Just after a poll's reply: the command goes out at once.
    while (rig.Sent.back().AtMs + 60 > rig.Now) {
        rig.Run(1);
    }
    const std::size_t before = rig.Sent.size();
    const int32_t dueStep = rig.Link.Values().PollStep;
    rig.Link.MaterialBoxChange(1);
    rig.Run(1);
    ASSERT_EQ(rig.Sent.size(), before + 1);
    EXPECT_EQ(rig.Sent[before].Framed.substr(0, 6), "<M01>>");
    rig.Run(1000);
    ASSERT_GT(rig.Sent.size(), before + 1);
    EXPECT_GE(rig.Sent[before + 1].AtMs - rig.Sent[before].AtMs, 250);
    EXPECT_EQ(rig.Sent[before + 1].Body(), PollCycle[dueStep]);
    EXPECT_EQ(rig.Link.Values().MaterialDigit, '1');

    const std::size_t setAt = rig.Sent.size();
    rig.Link.SetDigTimeClick();
    rig.Run(1000);
    ASSERT_GT(rig.Sent.size(), setAt + 1);
    const int64_t v = protocol::MinutesSinceEpoch(rig.Host.Now);
    EXPECT_EQ(rig.Sent[setAt].Body(), "T" + protocol::WordToHexQuad(int32_t(v / 65536)) +
                                          protocol::WordToHexQuad(int32_t(v % 65536)));
    EXPECT_EQ(rig.Sent[setAt + 1].Body(), "i04");
}

TEST(Poll, SetTimeBeforeTheFirstTickReportsTheConversionAndSendsNothing) {
    TRig rig;
    rig.Link.SetDigTimeClick();
    rig.Run(1);
    EXPECT_TRUE(rig.Sent.empty());
    ASSERT_EQ(rig.Host.Errors.size(), 1u);
    EXPECT_EQ(rig.Host.Errors[0], "'SenTime' is not a valid integer value");
}

TEST(OneQuestion, NothingGoesOutBeforeTheReplyOrItsTimeOut) {
    TRig rig;
    rig.ReplyDelayMs = 120; // slower than a Timer2 period, inside the reply time-out
    ASSERT_TRUE(rig.RunUntilReady());
    // A poll is out: the user's commands wait, in order, until its reply is in.
    do {
        rig.Run(1);
    } while (rig.Sent.back().AtMs != rig.Now);
    const int pollAt = rig.Now;
    const std::size_t before = rig.Sent.size();
    rig.Link.KestroNameChange("A");
    rig.Link.RefTypeChange(2);
    rig.Run(1);
    EXPECT_EQ(rig.Sent.size(), before);
    rig.Run(500);
    ASSERT_GE(rig.Sent.size(), before + 2);
    EXPECT_EQ(rig.Sent[before].Body(), "I03A               ");
    EXPECT_EQ(rig.Sent[before].AtMs, pollAt + 120);
    EXPECT_EQ(rig.Sent[before + 1].Body(), "R01");
    EXPECT_EQ(rig.Sent[before + 1].AtMs, pollAt + 240);
    rig.Run(5000);
    for (std::size_t i = 1; i < rig.Sent.size(); ++i) {
        EXPECT_GE(rig.Sent[i].AtMs - rig.Sent[i - 1].AtMs, 120) << rig.Sent[i].Body();
    }
}

TEST(OneQuestion, TimeOutPurgesTheInputAndClearsTheAwaitedReplyBeforeTheNextCommand) {
    TRig rig;
    ASSERT_TRUE(rig.RunUntilReady());
    rig.Silent = true;
    do {
        rig.Run(1);
    } while (rig.Sent.back().AtMs != rig.Now);
    const int askedAt = rig.Now;
    const int purges = rig.Host.Purges;
    rig.Link.ZonesBoxChange(3);
    EXPECT_EQ(rig.Host.ReplyTimerMs, klink::ReplyTimeoutMs);
    rig.Run(klink::ReplyTimeoutMs - 1);
    EXPECT_EQ(rig.Sent.back().AtMs, askedAt); // still waiting
    rig.Run(1);
    EXPECT_EQ(rig.Host.Purges, purges + 1);
    EXPECT_EQ(rig.Link.Values().AwaitedReply, protocol::ReplyNone);
    EXPECT_TRUE(rig.Link.Settling());
    // The found logger's answer may still come: the line must stay quiet for the late-reply
    // guard before the queued command goes out.
    const int quiet = rig.Link.ReplyTimes().QuietMs(true);
    EXPECT_GE(quiet, klink::LateReplyGuardMs);
    rig.Run(quiet - 1);
    EXPECT_EQ(rig.Sent.back().AtMs, askedAt);
    rig.Run(1);
    EXPECT_EQ(rig.Host.Purges, purges + 2);
    EXPECT_EQ(rig.Sent.back().Body(), "Z03");
    EXPECT_EQ(rig.Sent.back().AtMs, askedAt + klink::ReplyTimeoutMs + quiet);
    EXPECT_EQ(rig.Link.Values().AwaitedReply, protocol::ReplySetZonesOrRefType);
    EXPECT_EQ(rig.Link.Values().ZonesDigit, '3');
}

TEST(WriteFailure, ShowsTheMessageOnceClosesLaterAndTheWatchdogSearches) {
    TRig rig;
    ASSERT_TRUE(rig.RunUntilReady());
    rig.Host.WriteFailure = "Write error (system code 5)";
    rig.Link.KestroNameChange("Ab");
    rig.Link.Zone1TextChange("Cd");
    rig.Run(1000);
    ASSERT_EQ(rig.Host.Errors.size(), 1u);
    EXPECT_EQ(rig.Host.Errors[0], "Write error (system code 5)");
    EXPECT_EQ(rig.Host.LaterCloses, 1);
    rig.Host.Connected = false; // the shell's deferred close
    rig.Run(2000);
    EXPECT_EQ(rig.Link.Values().LinkState, klink::StateSearching);
    EXPECT_EQ(rig.Host.Errors.size(), 1u);
    EXPECT_EQ(rig.Host.Texts[Control::KestroName], Pad16("Harbour One"));
    // Picking the port again reconnects.
    rig.Host.WriteFailure.clear();
    rig.Link.ComPortBoxChange(0);
    EXPECT_EQ(rig.Host.Opened.back(), "COM1");
    ASSERT_TRUE(rig.RunUntilReady());
}

TEST(Port, SelectorIndexesMapToPortNamesAndOthersKeepThePort) {
    TRig rig;
    rig.Link.ComPortBoxChange(9);
    EXPECT_EQ(rig.Host.Opened.back(), "COM10");
    rig.Link.ComPortBoxChange(2);
    EXPECT_EQ(rig.Host.Opened.back(), "COM3");
    rig.Link.ComPortBoxChange(-1);
    EXPECT_EQ(rig.Host.Opened.back(), "COM3");
    rig.Link.ComPortBoxChange(10);
    EXPECT_EQ(rig.Host.Opened.back(), "COM3");
    rig.Host.OpenError = "Unable to open com port";
    rig.Link.ComPortBoxChange(4);
    EXPECT_EQ(rig.Host.Errors, std::vector<std::string>{"Unable to open com port"});
    EXPECT_FALSE(rig.Host.Connected);
    // With the port closed the watchdog counts ticks: searching within five of them.
    rig.Run(1250);
    EXPECT_EQ(rig.Link.Values().LinkState, klink::StateSearching);
    EXPECT_TRUE(rig.Sent.empty());
}

TEST(Port, StartUpErrorIsShownOnceAndNothingIsSent) {
    TFakeHost host;
    host.Connected = false;
    host.OpenError = "Unable to open com port";
    klink::TKestroLink link(host);
    EXPECT_FALSE(link.FormCreate());
    EXPECT_EQ(host.Errors.size(), 1u);
    for (int i = 0; i < 10; ++i) {
        link.Tick250();
    }
    EXPECT_TRUE(host.Wire.empty());
    EXPECT_EQ(host.Texts[Control::Status], "  Trying To Find Kestro");
}

TEST(Port, HiddenDisconnectAndConnect) {
    TRig rig;
    ASSERT_TRUE(rig.RunUntilReady());
    rig.Link.DisconnectClick();
    EXPECT_FALSE(rig.Host.Connected);
    EXPECT_FALSE(rig.Link.Values().LinkAlive);
    EXPECT_EQ(rig.Link.Values().ReplyCountdown, 0);
    rig.Run(750);
    EXPECT_EQ(rig.Link.Values().LinkState, klink::StateSearching);
    rig.Link.ConnectClick();
    EXPECT_TRUE(rig.Host.Connected);
    EXPECT_EQ(rig.Link.Values().PollDelay, 0);
    const std::size_t opened = rig.Host.Opened.size();
    rig.Link.ConnectClick(); // already open
    EXPECT_EQ(rig.Host.Opened.size(), opened);
}

} // namespace
} // namespace klinktest
