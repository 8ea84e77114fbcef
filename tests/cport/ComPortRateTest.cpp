// Bit rates without a termios constant, checked on the line itself through termios2.
#include "PtyHelper.h"

#include "cport/CPort.h"
#include "cport/ComSettings.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <gtest/gtest.h>

#include <vector>

extern "C" int ioctl(int Fd, unsigned long Request, ...);

using namespace cport;
using namespace cport_test;

namespace {

// The rate the pty's slave runs at; termios requests on the master reach the slave.
uint32_t LineRate(const TPty& Pty) {
    termios2 T{};
    EXPECT_EQ(ioctl(Pty.Master(), TCGETS2, &T), 0);
    EXPECT_EQ(T.c_ispeed, T.c_ospeed);
    return T.c_ospeed;
}

int ErrorCodeOf(const std::function<void()>& Call) {
    try {
        Call();
    } catch (const EComPort& E) {
        return E.ErrorCode();
    }
    return 0;
}

struct RatePort : ::testing::Test {
    TPty Pty;
    TComEnv Env{1, Pty.SlavePath()};
    TComPort Port;
    ~RatePort() override { Port.ClosePort(); }
};

// Records the rate each application of the line settings asked for.
class TRecordingPort : public TComPort {
public:
    std::vector<std::pair<TBaudRate, int>> Applied;

protected:
    void ApplyLineSettings() override {
        if (Connected())
            Applied.emplace_back(BaudRate(), CustomBaudRate());
        TComPort::ApplyLineSettings();
    }
};

} // namespace

TEST_F(RatePort, EveryRateOfTheTableAndCustomRatesReachTheLine) {
    Port.OpenPort();
    const std::pair<TBaudRate, uint32_t> Table[] = {
        {br14400, 14400}, {br56000, 56000}, {br128000, 128000}, {br256000, 256000}, {br110, 110},
        {br9600, 9600},   {br57600, 57600}, {br115200, 115200}, {br19200, 19200},
    };
    for (const auto& Entry : Table) {
        EXPECT_EQ(ErrorCodeOf([&] { Port.SetBaudRate(Entry.first); }), 0) << Entry.second;
        EXPECT_EQ(LineRate(Pty), Entry.second);
    }
    Port.SetCustomBaudRate(31250);
    Port.SetBaudRate(brCustom);
    EXPECT_EQ(LineRate(Pty), 31250u);
    Port.SetCustomBaudRate(250000);
    EXPECT_EQ(LineRate(Pty), 250000u);
    // A rate set while closed is applied by the next open.
    Port.ClosePort();
    Port.SetCustomBaudRate(74880);
    Port.OpenPort();
    EXPECT_EQ(LineRate(Pty), 74880u);
}

TEST_F(RatePort, ARateOfNothingIsRefusedAndTheLineKeepsItsRate) {
    Port.SetBaudRate(brCustom);
    Port.SetCustomBaudRate(31250);
    Port.OpenPort();
    EXPECT_EQ(ErrorCodeOf([&] { Port.SetCustomBaudRate(0); }), ecSetStateFailed);
    EXPECT_TRUE(Port.Connected());
    EXPECT_EQ(Port.CustomBaudRate(), 0);
    EXPECT_EQ(LineRate(Pty), 31250u);
}

TEST(RateSettings, LoadingAssignsKeysInOrderAndTheCustomRateTakesEffect) {
    TPty Pty;
    TRecordingPort Port;
    Port.SetPort(Pty.SlavePath());
    Port.OpenPort();
    Port.Applied.clear();
    TRegistry Key;
    Key.WriteString("Port", Pty.SlavePath());
    Key.WriteString("BaudRate", "Custom");
    Key.WriteInteger("CustomBaudRate", 31250);
    LoadFromRegistry(Port, Key);
    ASSERT_GE(Port.Applied.size(), 2u);
    // BaudRate is assigned before CustomBaudRate, as the keys stand.
    EXPECT_EQ(Port.Applied[0], std::make_pair(brCustom, 9600));
    EXPECT_EQ(Port.Applied[1], std::make_pair(brCustom, 31250));
    EXPECT_EQ(LineRate(Pty), 31250u);
    Port.ClosePort();
}

TEST(RateSettings, AStaleUnusableCustomRateDoesNotStopTheStoredOne) {
    TPty Pty;
    TComPort Port;
    Port.SetName("ComPort1");
    Port.SetPort(Pty.SlavePath());
    Port.SetCustomBaudRate(0);
    Port.OpenPort();
    TIniFile Ini(::testing::TempDir() + "quorva_stale_rate.ini");
    Ini.WriteString(Port.Name(), "BaudRate", "custom");
    Ini.WriteInteger(Port.Name(), "CustomBaudRate", 31250);
    LoadFromIniFile(Port, Ini);
    EXPECT_EQ(Port.BaudRate(), brCustom);
    EXPECT_EQ(Port.CustomBaudRate(), 31250);
    EXPECT_EQ(LineRate(Pty), 31250u);

    // When the stored rate is the same unusable one, the failure is reported.
    Port.SetBaudRate(br9600);
    Port.SetCustomBaudRate(0);
    Ini.WriteInteger(Port.Name(), "CustomBaudRate", 0);
    EXPECT_EQ(ErrorCodeOf([&] { LoadFromIniFile(Port, Ini); }), ecSetStateFailed);
    EXPECT_EQ(LineRate(Pty), 9600u);
    Port.ClosePort();
}
