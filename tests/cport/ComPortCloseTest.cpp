// Closing and opening again: nothing written is lost, nothing stale is delivered.
#include "PtyHelper.h"

#include "cport/CPort.h"
#include "cport/ComSync.h"

#include <gtest/gtest.h>

using namespace cport;
using namespace cport_test;
using namespace std::chrono_literals;

namespace {

struct ClosePort : ::testing::Test {
    TPty Pty;
    TComEnv Env{1, Pty.SlavePath()};
    TComLink Link;
    std::string Received;
    TComPort Port;

    ClosePort() {
        Link.RxBufferReady = [this](TObject*, const char* Buf, int Count) {
            Received.append(Buf, static_cast<size_t>(Count));
        };
        Port.AttachLink(&Link);
    }
    ~ClosePort() override {
        Port.ClosePort();
        Port.DetachLink(&Link);
    }
};

} // namespace

TEST_F(ClosePort, ACommandWrittenRightBeforeTheCloseReachesTheLine) {
    const std::string Command = "<i01>>41";
    int Arrived = 0;
    const int Rounds = 60;
    for (int Round = 0; Round < Rounds; ++Round) {
        Port.OpenPort();
        ASSERT_EQ(Port.WriteText(Command), static_cast<int>(Command.size()));
        Port.ClosePort();
        if (Pty.Read(Command.size(), 1000ms) == Command)
            ++Arrived;
    }
    EXPECT_EQ(Arrived, Rounds);
}

TEST_F(ClosePort, AFreshOpenStartsWithEmptyQueues) {
    Port.OpenPort();
    Port.ClosePort();
    // Sent to nobody: the line is closed.
    Pty.Write("<stale>");
    ServeFor(50ms);
    Port.OpenPort();
    EXPECT_EQ(Port.BytesWaiting(), 0);
    Pty.Write("<fresh>");
    ASSERT_TRUE(ServeUntil([&] { return Received.size() >= 7; }));
    ServeFor(20ms);
    EXPECT_EQ(Received, "<fresh>");
}

TEST_F(ClosePort, AWakeUpQueuedBeforeTheCloseIsStillDelivered) {
    bool ConnectedDuringDelivery = false;
    Link.RxBufferReady = [&](TObject*, const char* Buf, int Count) {
        Received.append(Buf, static_cast<size_t>(Count));
        ConnectedDuringDelivery = Port.Connected();
    };
    // Re-attach so the port sees the new callback.
    Port.DetachLink(&Link);
    Port.AttachLink(&Link);
    Port.OpenPort();
    Pty.Write("<reply>");
    ASSERT_TRUE(WaitForPendingCalls(2s));
    Port.ClosePort();
    EXPECT_EQ(Received, "<reply>");
    EXPECT_TRUE(ConnectedDuringDelivery);
    EXPECT_FALSE(Port.Connected());
}
