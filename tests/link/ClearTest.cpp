// Clear Kestro Data: the confirmation, the link indicator, and state 4 through the erase.
#include "LinkRig.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace klinktest {
namespace {

bool SentClear(const TRig& rig) {
    const auto bodies = rig.SentBodies();
    return std::find(bodies.begin(), bodies.end(), "C") != bodies.end();
}

TEST(Clear, NoOrClosedWindowSendsNothing) {
    for (int answer : {7, 2}) {
        TRig rig;
        ASSERT_TRUE(rig.RunUntilReady());
        rig.Host.ClearAnswer = answer;
        rig.Link.ClearKestroClick();
        rig.Run(2000);
        EXPECT_EQ(rig.Host.ClearAsked, 1);
        EXPECT_FALSE(SentClear(rig)) << answer;
        EXPECT_EQ(rig.Link.Values().LinkState, klink::StateReady);
    }
}

TEST(Clear, YesWhileTheLoggerIsSilentSendsNothing) {
    TRig rig;
    ASSERT_TRUE(rig.RunUntilReady());
    rig.Silent = true;
    rig.Run(3000);
    ASSERT_FALSE(rig.Link.Values().LinkAlive);
    rig.Link.ClearKestroClick();
    rig.Run(1000);
    EXPECT_FALSE(SentClear(rig));
    EXPECT_TRUE(rig.Host.Errors.empty());
}

TEST(Clear, YesWhileAnsweringHoldsStateFourThroughTheEraseSilence) {
    TRig rig;
    rig.FillLog(12);
    rig.EraseSilenceMs = 4000;
    ASSERT_TRUE(rig.RunUntilReady());
    rig.Run(5000);
    rig.Link.ClearKestroClick();
    // It waits for the poll that is out, if any.
    for (int t = 0; t < 300 && !SentClear(rig); ++t) {
        rig.Run(1);
    }
    ASSERT_TRUE(SentClear(rig));
    EXPECT_EQ(rig.Sent.back().Framed, "<C>>FB");
    EXPECT_EQ(rig.Link.Values().LinkState, klink::StateClearingLogs);
    EXPECT_EQ(rig.Link.Values().AwaitedReply, protocol::ReplyClearLogs);
    // The reply to "C" is a sign of life only; the silence clears the indicator, not the state.
    bool lostIndicator = false;
    for (int t = 0; t < 4000; t += 250) {
        rig.Run(250);
        EXPECT_EQ(rig.Link.Values().LinkState, klink::StateClearingLogs) << t;
        EXPECT_EQ(rig.Host.Texts[Control::Status], "  Clearing Kestro Logs");
        EXPECT_TRUE(rig.Host.DisableCalls.back());
        lostIndicator = lostIndicator || !rig.Link.Values().LinkAlive;
    }
    EXPECT_TRUE(lostIndicator);
    ASSERT_TRUE(rig.RunUntilReady(2000));
    rig.Run(5500);
    EXPECT_EQ(rig.Host.Texts[Control::LogNumber], "0");
}

} // namespace
} // namespace klinktest
