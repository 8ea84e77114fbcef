// Port names: device paths, COMn through the environment (empty: no device), names under /dev.
#include "PtyHelper.h"

#include "cport/posix/PosixPortName.h"

#include <gtest/gtest.h>

using namespace cport;
using namespace cport_test;

TEST(PortNameTest, NamesMapToDevicePaths) {
    // Only names are mapped here; nothing is opened.
    TComEnv One(1, "");
    TComEnv Two(2, "");
    TComEnv Ten(10, "");
    const std::pair<const char*, const char*> Table[] = {
        {"/dev/pts/7", "/dev/pts/7"},
        {"COM1", ""},
        {"COM10", ""},
        {"com2", ""},
        {"ttyUSB0", "/dev/ttyUSB0"},
        {"COM0", "/dev/COM0"},
        {"COM", "/dev/COM"},
        {"COM1x", "/dev/COM1x"},
        {"tty/ACM0", "/dev/tty/ACM0"},
    };
    for (const auto& [Name, Path] : Table)
        EXPECT_EQ(PortDevicePath(Name), Path) << Name;
}

TEST(PortNameTest, ComNumbersTakeTheirEnvironmentVariableWhenSet) {
    TComEnv One(1, "/dev/pts/42");
    TComEnv Ten(10, "/tmp/quorva-com10");
    EXPECT_EQ(PortDevicePath("COM1"), "/dev/pts/42");
    EXPECT_EQ(PortDevicePath("COM10"), "/tmp/quorva-com10");
    // A variable of another number does not leak across.
    TComEnv Two(2, "");
    EXPECT_EQ(PortDevicePath("COM2"), "");
    // Set but empty means that COM number has no device.
    TComEnv Empty(3, "");
    EXPECT_EQ(PortDevicePath("COM3"), "");
}
