// The hand-over's quiet time and the USB adapter's latency timer, on a made-up sysfs tree.
#include "cport/posix/PosixLatency.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class LatencyTimer : public ::testing::Test {
protected:
    void SetUp() override {
        char Dir[] = "/tmp/quorva-sysfs-XXXXXX";
        ASSERT_NE(mkdtemp(Dir), nullptr);
        Root = Dir;
    }
    void TearDown() override { fs::remove_all(Root); }
    void Adapter(const std::string& Tty, const std::string& Value) {
        const fs::path D = Root / "bus/usb-serial/devices" / Tty;
        fs::create_directories(D);
        std::ofstream(D / "latency_timer") << Value;
    }
    fs::path Root;
};

TEST_F(LatencyTimer, ReadFromTheAdaptersEntryAndNothingForOtherPorts) {
    Adapter("ttyUSB0", "16\n");
    Adapter("ttyUSB1", "1");
    Adapter("ttyUSB2", "fast");
    Adapter("ttyUSB3", "-4");
    EXPECT_EQ(cport::UsbLatencyTimerMs("ttyUSB0", Root), 16);
    EXPECT_EQ(cport::UsbLatencyTimerMs("ttyUSB1", Root), 1);
    EXPECT_EQ(cport::UsbLatencyTimerMs("ttyUSB2", Root), std::nullopt);
    EXPECT_EQ(cport::UsbLatencyTimerMs("ttyUSB3", Root), std::nullopt);
    EXPECT_EQ(cport::UsbLatencyTimerMs("ttyS0", Root), std::nullopt);
    EXPECT_EQ(cport::UsbLatencyTimerMs("", Root), std::nullopt);
    EXPECT_EQ(cport::UsbLatencyTimerMs("../ttyUSB0", Root), std::nullopt);
}

TEST(HandOverQuiet, BridgesTwentyMillisecondGapsAndFollowsALongLatencyTimer) {
    const auto Char = 1042us; // 9600 baud, 10 bits
    EXPECT_GT(cport::HandOverQuiet(Char, std::nullopt), 20ms);
    EXPECT_EQ(cport::HandOverQuiet(Char, std::nullopt), cport::HandOverGapFloor);
    EXPECT_EQ(cport::HandOverQuiet(Char, 16), cport::HandOverGapFloor);
    EXPECT_EQ(cport::HandOverQuiet(Char, 50), 50ms + 4 * Char);
    // At a slow rate four character times are longer than the floor.
    EXPECT_EQ(cport::HandOverQuiet(33333us, std::nullopt), 4 * 33333us);
}

TEST(TtyName, TheNameBehindAnOpenDescriptor) {
    const int Fd = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(Fd, 0);
    EXPECT_EQ(cport::TtyNameOfFd(Fd), "null");
    ::close(Fd);
    EXPECT_EQ(cport::TtyNameOfFd(-1), "");
}

} // namespace
