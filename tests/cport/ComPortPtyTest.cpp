// The port over a real pseudo-terminal: open, settings on the device, bytes both ways.
#include "PtyHelper.h"

#include "cport/CPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace cport;
using namespace cport_test;
using namespace std::chrono_literals;

namespace {

// A pty with COM1 pointing at it, and a second slave descriptor opened before the port
// takes the device exclusively, to read the line settings back.
struct PtyPort : ::testing::Test {
    TPty Pty;
    TComEnv Env{1, Pty.SlavePath()};
    int Probe = ::open(Pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    TComPort Port;

    ~PtyPort() override {
        ForgetHandlers(Port);
        Port.ClosePort();
        if (Probe >= 0)
            ::close(Probe);
    }
    termios Settings() const {
        termios T{};
        EXPECT_EQ(tcgetattr(Probe, &T), 0);
        return T;
    }
    // Waits until the event thread has moved Count received bytes into the input queue.
    bool WaitForQueued(int Count) {
        return ServeUntil([&] { return Port.BytesWaiting() >= Count; });
    }
};

EComPort OpenFailure(TComPort& Port) {
    try {
        Port.OpenPort();
    } catch (const EComPort& E) {
        return E;
    }
    ADD_FAILURE() << "OpenPort did not raise";
    return EComPort(ecOpenFailed, 0);
}

} // namespace

TEST_F(PtyPort, OpenAppliesRawLineSettingsAndFollowsChangesWhileOpen) {
    Port.OpenPort();
    ASSERT_TRUE(Port.Connected());
    termios T = Settings();
    EXPECT_EQ(cfgetispeed(&T), B9600);
    EXPECT_EQ(cfgetospeed(&T), B9600);
    EXPECT_EQ(T.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(T.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(T.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(T.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(T.c_oflag & OPOST, 0u);
    EXPECT_EQ(T.c_cc[VMIN], 1);
    EXPECT_EQ(T.c_cc[VTIME], 0);

    Port.SetBaudRate(br19200);
    Port.FlowControl().SetXonXoffOut(true);
    Port.FlowControl().SetXonChar(0x11);
    Port.FlowControl().SetXoffChar('S');
    T = Settings();
    EXPECT_EQ(cfgetospeed(&T), B19200);
    EXPECT_NE(T.c_iflag & IXON, 0u);
    EXPECT_EQ(T.c_iflag & IXOFF, 0u);
    EXPECT_EQ(T.c_cc[VSTOP], 'S');

    Port.FlowControl().SetFlowControl(fcNone);
    Port.Parity().SetCheck(true);
    T = Settings();
    EXPECT_EQ(T.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_NE(T.c_iflag & INPCK, 0u);
}

TEST_F(PtyPort, SettingsChangedWhileClosedAreAppliedAtTheNextOpen) {
    Port.SetBaudRate(br57600);
    Port.Parity().SetCheck(false);
    Port.Parity().SetReplace(true);
    EXPECT_FALSE(Port.Connected());
    Port.OpenPort();
    termios T = Settings();
    EXPECT_EQ(cfgetospeed(&T), B57600);
    // Replacing needs checking: neither is switched on by Replace alone.
    EXPECT_EQ(T.c_iflag & INPCK, 0u);
}

TEST_F(PtyPort, RatesOfNothingFailAndLeaveThePortClosed) {
    struct Case {
        TBaudRate Rate;
        int Custom;
    };
    for (Case C : {Case{brCustom, 0}, Case{brCustom, -9600}}) {
        Port.SetBaudRate(C.Rate);
        Port.SetCustomBaudRate(C.Custom);
        EComPort E = OpenFailure(Port);
        EXPECT_EQ(E.ErrorCode(), ecSetStateFailed);
        EXPECT_EQ(E.SystemCode(), EINVAL);
        EXPECT_FALSE(Port.Connected());
    }
    Port.SetBaudRate(brCustom);
    Port.SetCustomBaudRate(38400);
    Port.OpenPort();
    termios T = Settings();
    EXPECT_EQ(cfgetospeed(&T), B38400);
    // While open a failing change keeps the port open with the device as it was.
    EXPECT_THROW(Port.SetCustomBaudRate(-1), EComPort);
    EXPECT_TRUE(Port.Connected());
    EXPECT_EQ(Port.CustomBaudRate(), -1);
    T = Settings();
    EXPECT_EQ(cfgetospeed(&T), B38400);
}

TEST_F(PtyPort, BytesTravelBothWays) {
    Port.OpenPort();
    EXPECT_EQ(Port.WriteText("<i01>>A7"), 8);
    EXPECT_EQ(Pty.Read(8, 2s), "<i01>>A7");

    Pty.Write("hello");
    ASSERT_TRUE(WaitForQueued(5));
    std::string Text;
    EXPECT_EQ(Port.ReadText(Text, 3), 3);
    EXPECT_EQ(Text, "hel");
    EXPECT_EQ(Port.ReadText(Text, 35), 2);
    EXPECT_EQ(Text, "lo");
}

TEST_F(PtyPort, EmptyWritesAndReadsOfNothingReturnAtOnce) {
    Port.OpenPort();
    EXPECT_EQ(Port.WriteText(""), 0);
    std::string Text = "stale";
    EXPECT_EQ(Port.ReadText(Text, 35), 0);
    EXPECT_EQ(Text, "");
    EXPECT_EQ(Port.ReadText(Text, 0), 0);
    EXPECT_EQ(Pty.Read(1, 50ms), "");
}

TEST_F(PtyPort, ReadWithTotalTimeoutWaitsForLateBytes) {
    Port.Timeouts().SetReadInterval(0);
    Port.Timeouts().SetReadTotalConstant(3000);
    Port.OpenPort();
    std::thread Late([&] {
        std::this_thread::sleep_for(50ms);
        Pty.Write("abc");
    });
    std::string Text;
    EXPECT_EQ(Port.ReadText(Text, 3), 3);
    EXPECT_EQ(Text, "abc");
    Late.join();
}

TEST_F(PtyPort, ReadWithoutEventsTakesBytesStraightFromTheDevice) {
    Port.SetEvents({});
    int Opened = 0;
    Port.OnAfterOpen = [&](TObject*) { ++Opened; };
    Port.Timeouts().SetReadInterval(0);
    Port.Timeouts().SetReadTotalConstant(3000);
    Port.OpenPort();
    EXPECT_EQ(Opened, 1);
    Pty.Write("xyz");
    std::string Text;
    EXPECT_EQ(Port.ReadText(Text, 3), 3);
    EXPECT_EQ(Text, "xyz");
}

TEST_F(PtyPort, WriteThatRunsOutOfTimeReturnsWhatWentOut) {
    Port.Timeouts().SetWriteTotalMultiplier(0);
    Port.Timeouts().SetWriteTotalConstant(100);
    Port.OpenPort();
    // Nobody reads the master, so the pty's buffer fills and the write cannot finish.
    const std::string Big(4 << 20, 'x');
    int Written = -1;
    EXPECT_NO_THROW(Written = Port.WriteText(Big));
    EXPECT_GT(Written, 0);
    EXPECT_LT(Written, static_cast<int>(Big.size()));
}

TEST_F(PtyPort, LinesOfAPtySucceedWithoutEffectAndReadAsOff) {
    Port.OpenPort();
    EXPECT_NO_THROW(Port.SetDtrLine(true));
    EXPECT_NO_THROW(Port.SetRtsLine(false));
    EXPECT_TRUE(Port.ModemSignals().Empty());
    EXPECT_TRUE(Port.LineErrors().Empty());
}

TEST_F(PtyPort, SecondOpenOfAHeldDeviceFailsUntilTheHolderCloses) {
    Port.OpenPort();
    TComPort Other;
    EComPort E = OpenFailure(Other);
    EXPECT_EQ(E.ErrorCode(), ecOpenFailed);
    EXPECT_EQ(E.SystemCode(), EBUSY);
    EXPECT_FALSE(Other.Connected());
    Port.ClosePort();
    Other.OpenPort();
    EXPECT_TRUE(Other.Connected());
    // Not even this process's own descriptors get in while it is held.
    int Again = ::open(Pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (Again >= 0) {
        EXPECT_NE(::flock(Again, LOCK_EX | LOCK_NB), 0);
        ::close(Again);
    }
}

TEST_F(PtyPort, ChangingThePortWhileOpenReopensOnTheNewDevice) {
    TPty Second;
    TComEnv Env10(10, Second.SlavePath());
    Port.OpenPort();
    int Opens = 0, Closes = 0;
    Port.OnAfterOpen = [&](TObject*) { ++Opens; };
    Port.OnAfterClose = [&](TObject*) { ++Closes; };
    Port.SetPort("COM10");
    EXPECT_TRUE(Port.Connected());
    EXPECT_EQ(Opens, 1);
    EXPECT_EQ(Closes, 1);
    Port.WriteText("ten");
    EXPECT_EQ(Second.Read(3, 2s), "ten");
    Port.SetPort("COM10");
    EXPECT_EQ(Opens, 1);
}

TEST(ComPortOpen, FailuresRaiseErrorOneWithTheSystemCode) {
    struct Case {
        std::string Path;
        int SystemCode;
    };
    for (const Case& C : {Case{"/nonexistent/quorva-tty", ENOENT}, Case{"/dev/null", ENOTTY}}) {
        TComEnv Env(1, C.Path);
        TComPort Port;
        EComPort E = OpenFailure(Port);
        EXPECT_EQ(E.ErrorCode(), ecOpenFailed);
        EXPECT_EQ(E.SystemCode(), C.SystemCode);
        EXPECT_EQ(std::string(E.what()),
                  "Unable to open com port (win error code: " + std::to_string(C.SystemCode) + ")");
        EXPECT_FALSE(Port.Connected());
    }
}

TEST(ComPortOpen, LinesOfAPortNeverOpenedFailWithErrorTwelve) {
    TComPort Port;
    try {
        Port.SetDtrLine(true);
        ADD_FAILURE() << "SetDtrLine did not raise";
    } catch (const EComPort& E) {
        EXPECT_EQ(E.ErrorCode(), ecEscapeComFailed);
    }
    EXPECT_THROW(Port.SetRtsLine(false), EComPort);
}

TEST_F(PtyPort, ReadTimeoutsKeepTheirWin32Meanings) {
    struct Case {
        const char* Name;
        int32_t Interval, Multiplier, Constant;
        int Count;
        std::string Expected;
    };
    // Each read asks for more than arrives, so only its time-out rule can end it early.
    const Case Table[] = {
        {"interval gap ends the read", 30, 0, 5000, 10, "abc"},
        {"first byte ends the read", -1, -1, 5000, 10, "abc"},
        {"total time ends the read", 0, 10, 100, 10, "abc"},
    };
    Port.OpenPort();
    for (const Case& C : Table) {
        Port.Timeouts().SetReadInterval(C.Interval);
        Port.Timeouts().SetReadTotalMultiplier(C.Multiplier);
        Port.Timeouts().SetReadTotalConstant(C.Constant);
        std::thread Late([&] {
            std::this_thread::sleep_for(30ms);
            Pty.Write("abc");
        });
        const auto Start = std::chrono::steady_clock::now();
        std::string Text;
        Port.ReadText(Text, C.Count);
        const auto Took = std::chrono::steady_clock::now() - Start;
        Late.join();
        EXPECT_EQ(Text, C.Expected) << C.Name;
        EXPECT_LT(Took, 2s) << C.Name;
    }
}

TEST_F(PtyPort, ParityReplacementMarksErrorsAndKeepsRealFfBytes) {
    Port.Parity().SetCheck(true);
    Port.Parity().SetReplace(true);
    Port.Parity().SetReplaceChar('?');
    Port.OpenPort();
    EXPECT_NE(Settings().c_iflag & PARMRK, 0u);
    // The driver doubles a received 0xFF while errors are marked; the port undoes that.
    Pty.Write("a\xff"
              "b");
    ASSERT_TRUE(WaitForQueued(3));
    std::string Text;
    Port.ReadText(Text, 10);
    EXPECT_EQ(Text, "a\xff"
                    "b");
}
