#include "cport/ComSync.h"
#include "cport/ComError.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace cport;
using namespace std::chrono_literals;

namespace {

// Drains the queue on this (main) thread until Done holds.
void DrainUntil(const std::atomic<bool>& Done) {
    ServeMainThreadUntil([&] { return Done.load(); });
}

} // namespace

TEST(ComSyncTest, ThreadSyncRunsOnMainThreadAndCarriesExceptionsBack) {
    std::thread::id RanOn;
    std::string Caught;
    std::atomic<bool> Finished{false};
    std::thread Worker([&] {
        RunOnMainThread([&] { RanOn = std::this_thread::get_id(); });
        try {
            RunOnMainThread([] { throw EComPort(10, 5); });
        } catch (const EComPort& E) {
            Caught = E.what();
        }
        Finished = true;
        NotifyMainThread();
    });
    DrainUntil(Finished);
    Worker.join();
    EXPECT_EQ(RanOn, std::this_thread::get_id());
    EXPECT_EQ(Caught, "ClearCommError function failed (win error code: 5)");
}

TEST(ComSyncTest, HandOverReleasesTheThreadBeforeTheCallRuns) {
    std::atomic<bool> Released{false};
    std::atomic<bool> SawReleased{false};
    std::atomic<bool> Finished{false};
    std::thread Worker([&] {
        HandOverToMainThread([&] {
            // The event thread was let go when the call was taken; wait for it to say so.
            for (int I = 0; I < 2000 && !Released; ++I)
                std::this_thread::sleep_for(1ms);
            SawReleased = Released.load();
        });
        Released = true;
        Finished = true;
        NotifyMainThread();
    });
    ASSERT_TRUE(WaitForPendingCalls(5s));
    EXPECT_EQ(ProcessPendingCalls(), 1);
    Worker.join();
    EXPECT_TRUE(SawReleased);
}

TEST(ComSyncTest, PostedCallsRunInOrderAndTheirExceptionsGoToTheApplicationHandler) {
    std::vector<int> Order;
    std::string Reported;
    SetApplicationExceptionHandler([&](const std::exception& E) { Reported = E.what(); });
    std::thread Worker([&] {
        PostToMainThread([&] { Order.push_back(1); });
        PostToMainThread([] { throw std::runtime_error("lost line"); });
        PostToMainThread([&] { Order.push_back(3); });
    });
    Worker.join();
    EXPECT_EQ(ProcessPendingCalls(), 3);
    SetApplicationExceptionHandler(nullptr);
    EXPECT_EQ(Order, (std::vector<int>{1, 3}));
    EXPECT_EQ(Reported, "lost line");
}

TEST(ComSyncTest, WakeHookFiresForEveryQueuedCall) {
    std::atomic<int> Wakes{0};
    SetWakeMainThreadHook([&] { ++Wakes; });
    std::thread Worker([] {
        PostToMainThread([] {});
        PostToMainThread([] {});
    });
    Worker.join();
    SetWakeMainThreadHook(nullptr);
    EXPECT_EQ(Wakes.load(), 2);
    EXPECT_EQ(ProcessPendingCalls(), 2);
    EXPECT_FALSE(WaitForPendingCalls(1ms));
}

TEST(ComSyncTest, OnTheMainThreadCallsRunAtOnce) {
    ASSERT_TRUE(IsMainThread());
    int Ran = 0;
    RunOnMainThread([&] { ++Ran; });
    HandOverToMainThread([&] { ++Ran; });
    EXPECT_EQ(Ran, 2);
    EXPECT_EQ(ProcessPendingCalls(), 0);
}
