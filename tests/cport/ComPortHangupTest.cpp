// The line going away under an open port: one error report, then quiet.
#include "PtyHelper.h"

#include "cport/CPort.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace cport;
using namespace cport_test;
using namespace std::chrono_literals;

namespace {

double ProcessCpuSeconds() {
    timespec T{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &T);
    return static_cast<double>(T.tv_sec) + static_cast<double>(T.tv_nsec) / 1e9;
}

template <typename F> int ErrorCodeOf(F&& Call) {
    try {
        Call();
    } catch (const EComPort& E) {
        return E.ErrorCode();
    }
    return 0;
}

} // namespace

TEST(ComPortHangup, MasterClosingReportsErrorOnceThenStaysQuiet) {
    TPty Pty;
    TComEnv Env(1, Pty.SlavePath());
    TComLink Link;
    std::string Received;
    Link.RxBufferReady = [&](TObject*, const char* Buf, int Count) {
        Received.append(Buf, static_cast<size_t>(Count));
    };
    std::vector<TComErrors> Errors;
    TComPort Port;
    Port.AttachLink(&Link);
    Port.OnError = [&](TObject*, TComErrors E) { Errors.push_back(E); };
    Port.OpenPort();

    Pty.Write("<last>");
    ASSERT_TRUE(ServeUntil([&] { return Received == "<last>"; }));
    Pty.CloseMaster();
    ASSERT_TRUE(ServeUntil([&] { return !Errors.empty(); }));
    EXPECT_TRUE(Errors[0].Contains(erIO));

    const double Before = ProcessCpuSeconds();
    ServeFor(300ms);
    EXPECT_LT(ProcessCpuSeconds() - Before, 0.1) << "the event thread spins";
    EXPECT_EQ(Errors.size(), 1u);
    EXPECT_TRUE(Port.LineErrors().Empty());

    EXPECT_EQ(ErrorCodeOf([&] { Port.WriteText("<i01>>"); }), ecWriteFailed);
    std::string Text;
    EXPECT_EQ(ErrorCodeOf([&] { Port.ReadText(Text, 35); }), ecReadFailed);
    EXPECT_TRUE(Port.Connected());
    Port.ClosePort();
    EXPECT_FALSE(Port.Connected());
    Port.DetachLink(&Link);
}

TEST(ComPortHangup, APortClosedAfterAHangUpOpensAgainOnANewLine) {
    TPty First;
    auto Env = std::make_unique<TComEnv>(1, First.SlavePath());
    int ErrorCount = 0;
    TComPort Port;
    Port.OnError = [&](TObject*, TComErrors) { ++ErrorCount; };
    Port.OpenPort();
    First.CloseMaster();
    ASSERT_TRUE(ServeUntil([&] { return ErrorCount == 1; }));
    Port.ClosePort();

    TPty Second;
    Env.reset();
    Env = std::make_unique<TComEnv>(1, Second.SlavePath());
    Port.OpenPort();
    EXPECT_EQ(Port.WriteText("again"), 5);
    EXPECT_EQ(Second.Read(5, 2s), "again");
    ServeFor(30ms);
    EXPECT_EQ(ErrorCount, 1);
    Port.ClosePort();
}
