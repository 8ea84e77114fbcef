// COM numbers and their texts from made-up device lists; nothing here looks at this PC.
#include "cport/ComPortRules.h"
#include "cport/ComPortWatch.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>

using namespace cport;

namespace {

TSerialDevice BuiltIn(const std::string& Name, bool Hardware = true) {
    TSerialDevice D;
    D.Name = Name;
    D.Path = "/dev/" + Name;
    D.BuiltIn = true;
    D.HasHardware = Hardware;
    return D;
}

TSerialDevice Adapter(const std::string& Name, const std::string& ById, const std::string& Vendor,
                      const std::string& Model, const std::string& Serial) {
    TSerialDevice D;
    D.Name = Name;
    D.Path = "/dev/" + Name;
    D.ById = ById;
    D.Vendor = Vendor;
    D.Model = Model;
    D.Serial = Serial;
    return D;
}

const TSerialDevice Ftdi = Adapter("ttyUSB0", "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                                   "FTDI", "FT232R USB UART", "A50285BI");
const TSerialDevice Ch340 =
    Adapter("ttyUSB1", "usb-1a86_USB_Serial-if00-port0", "1a86", "USB Serial", "");

std::vector<std::string> Paths(const std::vector<TComPortInfo>& Ports) {
    std::vector<std::string> Result;
    for (const TComPortInfo& P : Ports)
        Result.push_back(P.Path);
    return Result;
}

std::vector<TComPortInfo> Number(const std::vector<TSerialDevice>& Devices,
                                 const std::set<std::string>& Consoles = {},
                                 const std::map<int, std::string>& Variables = {}, int Count = 4) {
    TComVariable Variable = [&](int N) -> std::optional<std::string> {
        if (auto Found = Variables.find(N); Found != Variables.end())
            return Found->second;
        return std::nullopt;
    };
    return NumberComPorts(OrderSerialPorts(Devices, Consoles), Variable, Count);
}

} // namespace

TEST(ComPortRules, BuiltInsWithHardwareComeFirstByNumberAndNeverTheConsole) {
    // A desktop: ttyS0 is the console, ttyS1 and ttyS10 have chips, ttyS2 is a placeholder.
    const auto Ports =
        Number({BuiltIn("ttyS10"), BuiltIn("ttyS2", false), BuiltIn("ttyS0"), BuiltIn("ttyS1")},
               {"ttyS0", "tty0"});
    EXPECT_EQ(Paths(Ports), (std::vector<std::string>{"/dev/ttyS1", "/dev/ttyS10", "", ""}));
    EXPECT_EQ(Ports[0].Name, "COM1");
    EXPECT_EQ(Ports[0].Number, 1);
    EXPECT_EQ(Ports[0].Description, "/dev/ttyS1: built-in serial port");
    EXPECT_EQ(Ports[3].Name, "COM4");
    EXPECT_EQ(Ports[3].Description, "No serial port");
}

TEST(ComPortRules, AdaptersFollowTheBuiltInsInTheirByIdOrder) {
    TSerialDevice Acm = Adapter("ttyACM0", "usb-Arduino_Uno_7563-if00", "Arduino", "Uno", "7563");
    // Only the by-id name orders adapters, not the kernel's name or the order of discovery.
    const auto Ports = Number({Ftdi, Acm, BuiltIn("ttyS0"), Ch340});
    EXPECT_EQ(Paths(Ports), (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyUSB1", "/dev/ttyACM0",
                                                      "/dev/ttyUSB0"}));
    EXPECT_EQ(Ports[3].Description, "/dev/ttyUSB0: FTDI FT232R USB UART, serial A50285BI");
    EXPECT_EQ(Ports[1].Description, "/dev/ttyUSB1: 1a86 USB Serial");
}

TEST(ComPortRules, ALaptopWithOneAdapterHasItOnCom1) {
    const auto Ports = Number({BuiltIn("ttyS0", false), BuiltIn("ttyS1", false), Ftdi});
    EXPECT_EQ(Paths(Ports), (std::vector<std::string>{"/dev/ttyUSB0", "", "", ""}));
}

TEST(ComPortRules, ARepluggedAdapterKeepsItsNumberUnderANewKernelName) {
    const auto Before = Number({BuiltIn("ttyS1"), Ch340, Ftdi});
    // Plugged in again while the old node was still held: the kernel gives it ttyUSB2.
    TSerialDevice Again = Ftdi;
    Again.Name = "ttyUSB2";
    Again.Path = "/dev/ttyUSB2";
    const auto After = Number({Again, BuiltIn("ttyS1"), Ch340});
    EXPECT_EQ(Before[2].Path, "/dev/ttyUSB0");
    EXPECT_EQ(After[2].Path, "/dev/ttyUSB2");
    EXPECT_EQ(After[1].Path, Before[1].Path);
    // Unplugged, the numbers after it move up; the ones before stay.
    const auto Without = Number({BuiltIn("ttyS1"), Ch340});
    EXPECT_EQ(Paths(Without), (std::vector<std::string>{"/dev/ttyS1", "/dev/ttyUSB1", "", ""}));
}

TEST(ComPortRules, AdaptersWithoutAByIdNameComeLastAndAConsoleAdapterIsLeftOut) {
    TSerialDevice Bare = Adapter("ttyUSB3", "", "", "", "");
    TSerialDevice Console = Adapter("ttyUSB9", "usb-0000-console", "X", "Y", "");
    const auto Ports = Number({Bare, Ftdi, Console}, {"ttyUSB9"});
    EXPECT_EQ(Paths(Ports), (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB3", "", ""}));
    EXPECT_EQ(Ports[1].Description, "/dev/ttyUSB3: USB serial adapter");
}

TEST(ComPortRules, VariablesTakeTheirNumberAndAnEmptyOneMeansNoDevice) {
    const auto Ports =
        Number({BuiltIn("ttyS1"), Ftdi}, {}, {{1, "/dev/pts/4"}, {2, ""}, {4, "/tmp/kestro"}});
    EXPECT_EQ(Paths(Ports), (std::vector<std::string>{"/dev/pts/4", "", "", "/tmp/kestro"}));
    EXPECT_EQ(Ports[0].Description, "/dev/pts/4 (QUORVA_COM1)");
    EXPECT_EQ(Ports[1].Description, "No serial port");
    EXPECT_EQ(Ports[3].Description, "/tmp/kestro (QUORVA_COM4)");
    // COM3 is still the PC's third port, not the first one no variable took.
    EXPECT_EQ(Ports[2].Path, "");
    EXPECT_EQ(Number({BuiltIn("ttyS1"), Ftdi, Ch340}, {}, {{1, "/dev/pts/4"}})[2].Path,
              "/dev/ttyUSB0");
}

TEST(ComPortRules, ConsolesComeFromBothSystemFiles) {
    EXPECT_EQ(ConsoleNames("ttyS0                -W- (EC  p a)    4:64\ntty0 -WU (E) 4:1\n",
                           "ttyUSB0 tty1\n"),
              (std::set<std::string>{"ttyS0", "tty0", "ttyUSB0", "tty1"}));
    EXPECT_TRUE(ConsoleNames("", "").empty());
}

TEST(ComPortRules, UdevTextsReadAsWords) {
    EXPECT_EQ(DecodeUdevText("FT232R\\x20USB\\x20UART"), "FT232R USB UART");
    EXPECT_EQ(DecodeUdevText("FT232R_USB_UART"), "FT232R USB UART");
    EXPECT_EQ(DecodeUdevText("Prolific\\x20Technology\\x20Inc.\\x20\\x20"),
              "Prolific Technology Inc.");
    EXPECT_EQ(DecodeUdevText("bad\\x2"), "bad\\x2");
    EXPECT_EQ(DecodeUdevText(""), "");
}

TEST(ComPortRules, OpenFailuresExplainThemselves) {
    EXPECT_EQ(OpenFailureAdvice({"COM1", "/dev/ttyUSB0", EACCES, "", ""}),
              "Permission denied on /dev/ttyUSB0: add your user to the group dialout (sudo "
              "adduser $USER dialout), then log out and in again.");
    EXPECT_EQ(OpenFailureAdvice({"COM2", "/dev/ttyACM0", EBUSY, "ModemManager (pid 812)", ""}),
              "/dev/ttyACM0 is in use by ModemManager (pid 812); close that program and choose "
              "COM2 again.");
    EXPECT_EQ(OpenFailureAdvice({"COM2", "/dev/ttyACM0", EBUSY, "", ""}),
              "/dev/ttyACM0 is in use by another program; close it and choose COM2 again.");
    const std::string NoCom3 = "This PC has no COM3 now: plug in the logger's USB serial "
                               "adapter, or choose another COM port.";
    EXPECT_EQ(OpenFailureAdvice({"COM3", "", ENOENT, "", ""}), NoCom3);
    EXPECT_EQ(OpenFailureAdvice({"COM3", "/dev/ttyUSB0", ENODEV, "", ""}), NoCom3);
    EXPECT_EQ(OpenFailureAdvice({"/dev/ttyUSB7", "/dev/ttyUSB7", ENOENT, "", ""}),
              "There is no device /dev/ttyUSB7 on this PC now.");
    EXPECT_EQ(OpenFailureAdvice({"COM1", "/dev/ttyS0", EIO, "", ""}), "");
    // A device chosen by a variable: the variable is what to mend, not a missing adapter.
    EXPECT_EQ(OpenFailureAdvice({"COM3", "/tmp/gone", ENOENT, "", "QUORVA_COM3"}),
              "There is no device /tmp/gone on this PC now (QUORVA_COM3 names it).");
    EXPECT_EQ(OpenFailureAdvice({"COM3", "", ENOENT, "", "QUORVA_COM3"}),
              "QUORVA_COM3 is set but empty, which leaves COM3 without a device: set it to the "
              "logger's device, or unset it.");
    EXPECT_EQ(HolderText("ModemManager", 812), "ModemManager (pid 812)");
    EXPECT_EQ(HolderText("quorva", 4000), "another copy of Quorva (pid 4000)");
}

TEST(ComPortRules, ComNumbersOfNames) {
    EXPECT_EQ(ComNumber("COM1"), 1);
    EXPECT_EQ(ComNumber("com12"), 12);
    for (const char* Name : {"COM", "COM0", "COM1x", "/dev/ttyS0", "LPT1", "COM99999999"})
        EXPECT_EQ(ComNumber(Name), 0) << Name;
}

TEST(ComPortWatchTest, ReopensOnlyWhenADeviceComesBackOrIsReplaced) {
    const TDeviceIdentity First{1, 10, 0x8800, 100}, Second{1, 10, 0x8800, 200};
    TComPortWatch Watch;
    EXPECT_FALSE(Watch.ShouldReopen(true, "COM1", First));
    EXPECT_FALSE(Watch.ShouldReopen(true, "COM1", First));
    // Unplugged: the node goes, the failed write closes the port, and nothing is there.
    EXPECT_FALSE(Watch.ShouldReopen(true, "COM1", std::nullopt));
    EXPECT_FALSE(Watch.ShouldReopen(false, "COM1", std::nullopt));
    EXPECT_FALSE(Watch.ShouldReopen(false, "COM1", std::nullopt));
    // Plugged in again: once.
    EXPECT_TRUE(Watch.ShouldReopen(false, "COM1", Second));
    EXPECT_FALSE(Watch.ShouldReopen(false, "COM1", Second));
    EXPECT_FALSE(Watch.ShouldReopen(true, "COM1", Second));
}

TEST(ComPortWatchTest, AQuickReplugOrAReplacedDeviceIsNoticedToo) {
    const TDeviceIdentity Old{1, 10, 0x8800, 100}, New{1, 10, 0x8800, 300};
    TComPortWatch Watch;
    Watch.ShouldReopen(true, "COM1", Old);
    // Replugged between two looks, while the port still held the dead line.
    EXPECT_FALSE(Watch.ShouldReopen(true, "COM1", New));
    EXPECT_TRUE(Watch.ShouldReopen(false, "COM1", New));
}

TEST(ComPortWatchTest, ADeviceThatRefusedIsNotTriedAgainUntilItChanges) {
    const TDeviceIdentity Held{2, 5, 0x8801, 7}, Fresh{2, 6, 0x8801, 8};
    TComPortWatch Watch;
    // Busy or forbidden at start-up: the port stays closed and the device stays.
    EXPECT_FALSE(Watch.ShouldReopen(false, "COM1", Held));
    for (int Look = 0; Look < 5; ++Look)
        EXPECT_FALSE(Watch.ShouldReopen(false, "COM1", Held));
    EXPECT_TRUE(Watch.ShouldReopen(false, "COM1", Fresh));
    // A failed write closes a port whose device is still there: no reopen by itself.
    Watch.ShouldReopen(true, "COM1", Fresh);
    EXPECT_FALSE(Watch.ShouldReopen(false, "COM1", Fresh));
}

TEST(ComPortWatchTest, AnotherPortStartsAfreshAndAnAbsentDeviceAtStartUpIsAwaited) {
    const TDeviceIdentity Adapter{3, 9, 0xbc00, 1};
    TComPortWatch Watch;
    // Nothing on COM1 at start-up; the adapter is plugged in later.
    EXPECT_FALSE(Watch.ShouldReopen(false, "COM1", std::nullopt));
    EXPECT_TRUE(Watch.ShouldReopen(false, "COM1", Adapter));
    // The user picks COM2, where a device is present but would not open.
    EXPECT_FALSE(Watch.ShouldReopen(false, "COM2", Adapter));
    EXPECT_FALSE(Watch.ShouldReopen(false, "COM2", Adapter));
}
