// The COM list and the open-failure explanations against real open failures on ptys.
#include "PtyHelper.h"

#include "cport/CPort.h"
#include "cport/ComPortList.h"
#include "cport/ComPortWatch.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace cport;
using namespace cport_test;

namespace {

// The failure of opening Port: its system code and the explanation of it.
std::pair<int, std::string> OpenFailure(const std::string& Port) {
    TComPort Com;
    Com.SetPort(Port);
    try {
        Com.OpenPort();
    } catch (const EComPort& E) {
        EXPECT_EQ(E.ErrorCode(), ecOpenFailed);
        return {E.SystemCode(), ExplainOpenFailure(Port, E.SystemCode())};
    }
    ADD_FAILURE() << Port << " opened";
    return {0, ""};
}

std::string OwnCommand() {
    std::ifstream In("/proc/self/comm");
    std::string Command;
    std::getline(In, Command);
    return Command;
}

} // namespace

TEST(ComPortList, ListsWhatEachComNumberOpens) {
    TPty Pty;
    TComEnv One(1, Pty.SlavePath());
    TComEnv Two(2, "");
    const auto Ports = ListComPorts(3);
    ASSERT_EQ(Ports.size(), 3u);
    EXPECT_EQ(Ports[0].Name, "COM1");
    EXPECT_EQ(Ports[0].Path, Pty.SlavePath());
    EXPECT_EQ(Ports[0].Description, Pty.SlavePath() + " (QUORVA_COM1)");
    EXPECT_EQ(Ports[1].Path, "");
    EXPECT_EQ(Ports[1].Description, "No serial port");
    EXPECT_EQ(Ports[2].Number, 3);
    // The variable behind a COM number is named even when set empty; a path has none.
    EXPECT_EQ(ComPortVariable("com1"), "QUORVA_COM1");
    EXPECT_EQ(ComPortVariable("COM2"), "QUORVA_COM2");
    EXPECT_EQ(ComPortVariable(Pty.SlavePath()), "");
    EXPECT_EQ(ComPortVariable("COM33"), ""); // no variable set: the PC's own list decides
    // And opening COM1 opens exactly that path.
    TComPort Com;
    Com.OpenPort();
    EXPECT_TRUE(Com.Connected());
    Com.ClosePort();
}

TEST(ComPortList, ABusyDeviceNamesTheProgramThatHoldsIt) {
    TPty Pty;
    TComEnv One(1, Pty.SlavePath());
    TComPort Holder;
    Holder.OpenPort();
    const auto [Code, Text] = OpenFailure("COM1");
    EXPECT_EQ(Code, EBUSY);
    EXPECT_EQ(Text, Pty.SlavePath() + " is in use by " + OwnCommand() + " (pid " +
                        std::to_string(getpid()) + "); close that program and choose COM1 again.");
    Holder.ClosePort();
}

TEST(ComPortList, AMissingDeviceNamedByAVariableSaysToMendTheVariable) {
    TComEnv Three(3, "");
    const auto [Code, Text] = OpenFailure("COM3");
    EXPECT_EQ(Code, ENOENT);
    EXPECT_EQ(Text, "QUORVA_COM3 is set but empty, which leaves COM3 without a device: set it to "
                    "the logger's device, or unset it.");
    // A variable that names a missing device is what to mend, not a missing adapter.
    TComEnv Four(4, "/nonexistent/quorva-unplugged");
    EXPECT_EQ(OpenFailure("COM4").second, "There is no device /nonexistent/quorva-unplugged on "
                                          "this PC now (QUORVA_COM4 names it).");
}

TEST(ComPortList, PermissionDeniedNamesTheDeviceAndTheDialoutFix) {
    TPty Pty;
    ASSERT_EQ(chmod(Pty.SlavePath().c_str(), 0), 0);
    // Root opens anything; the open is tried by a child that has given up being root.
    int Pipe[2];
    ASSERT_EQ(pipe(Pipe), 0);
    const pid_t Child = fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
        ::close(Pipe[0]);
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        setenv("QUORVA_COM1", Pty.SlavePath().c_str(), 1);
        TComPort Com;
        std::string Result;
        try {
            Com.OpenPort();
            Result = "opened";
        } catch (const EComPort& E) {
            Result =
                std::to_string(E.SystemCode()) + "|" + ExplainOpenFailure("COM1", E.SystemCode());
        }
        [[maybe_unused]] ssize_t N = ::write(Pipe[1], Result.data(), Result.size());
        _exit(0);
    }
    ::close(Pipe[1]);
    std::string Result;
    char Chunk[512];
    for (ssize_t N; (N = ::read(Pipe[0], Chunk, sizeof Chunk)) > 0;)
        Result.append(Chunk, static_cast<size_t>(N));
    ::close(Pipe[0]);
    int Status = 0;
    waitpid(Child, &Status, 0);
    ASSERT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << Status;
    EXPECT_EQ(Result, std::to_string(EACCES) + "|Permission denied on " + Pty.SlavePath() +
                          ": add your user to the group dialout (sudo adduser $USER dialout), "
                          "then log out and in again.");
}

TEST(ComPortList, ADeviceMadeAnewBehindTheSamePathHasANewIdentity) {
    const std::string Link = ::testing::TempDir() + "quorva-identity-link";
    ::unlink(Link.c_str());
    EXPECT_FALSE(DeviceIdentity(Link));
    EXPECT_FALSE(DeviceIdentity(""));
    auto First = std::make_unique<TPty>();
    ASSERT_EQ(symlink(First->SlavePath().c_str(), Link.c_str()), 0);
    const auto Before = DeviceIdentity(Link);
    ASSERT_TRUE(Before);
    EXPECT_EQ(Before, DeviceIdentity(First->SlavePath()));
    EXPECT_EQ(Before, DeviceIdentity(Link));
    ::unlink(Link.c_str());
    First.reset();
    // The node may come back under the same number; its change time tells it apart, and that
    // clock ticks in milliseconds (replugging takes far longer).
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    TPty Second;
    ASSERT_EQ(symlink(Second.SlavePath().c_str(), Link.c_str()), 0);
    const auto After = DeviceIdentity(Link);
    ASSERT_TRUE(After);
    EXPECT_NE(Before, After);
    ::unlink(Link.c_str());
}

// A made-up /dev with its change times set by hand, so that every step has a time of its own
// however coarse the file system's clock. Fault caught: walking the device tree on every look
// (the idle program then burns a core's percents), or keeping a list that plugging has changed.
TEST(SerialPortCache, ListsAgainOnlyWhenTheDeviceDirectoriesMayHaveChanged) {
    char Template[] = "/tmp/quorva-devXXXXXX";
    ASSERT_NE(mkdtemp(Template), nullptr);
    const std::string Dev = Template, Serial = Dev + "/serial", ById = Serial + "/by-id";
    int64_t Clock = 1'000'000'000'000'000'000; // made-up seconds, in ns
    auto Touch = [&](const std::string& Dir) {
        Clock += 10'000'000'000;
        const timespec Times[2] = {{Clock / 1000000000, 0}, {Clock / 1000000000, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, Dir.c_str(), Times, 0), 0) << Dir;
    };
    Touch(Dev);
    int64_t Now = 0;
    TSerialPortCache Cache(
        [&] {
            return DirectoryStamp({Dev, Serial, ById});
        },
        [&] { return std::vector<TSerialDevice>(1); }, [&] { return Now; });
    struct TStep {
        const char* What;
        std::function<void()> Change;
        int64_t SinceChangeNs;
        bool ListedAgain;
    };
    const int64_t Still = 30'000'000'000, Moment = 500'000'000;
    const TStep Steps[] = {
        {"first look", [] {}, Still, true},
        {"nothing changed", [] {}, Still, false},
        {"adapter node appears",
         [&] {
             std::ofstream(Dev + "/ttyUSB0").put('x');
             Touch(Dev);
         },
         Still, true},
        {"by-id made",
         [&] {
             ASSERT_EQ(mkdir(Serial.c_str(), 0700), 0);
             ASSERT_EQ(mkdir(ById.c_str(), 0700), 0);
             Touch(ById);
             Touch(Serial);
             Touch(Dev);
         },
         Still, true},
        {"still the same", [] {}, Still, false},
        {"link added, looked at at once", [&] { Touch(ById); }, Moment, true},
        {"same change, still settling", [] {}, Moment, true},
        {"settled", [] {}, Still, false},
        {"node gone",
         [&] {
             ::unlink((Dev + "/ttyUSB0").c_str());
             Touch(Dev);
         },
         Still, true},
        {"by-id gone",
         [&] {
             ::rmdir(ById.c_str());
             Touch(Serial);
         },
         Still, true},
        {"quiet again", [] {}, Still, false},
    };
    int Listings = 0;
    for (const TStep& Step : Steps) {
        Step.Change();
        Now = Clock + Step.SinceChangeNs;
        EXPECT_EQ(Cache.Devices().size(), 1u) << Step.What;
        Listings += Step.ListedAgain ? 1 : 0;
        EXPECT_EQ(Cache.Listings(), Listings) << Step.What;
    }
    ::rmdir(Serial.c_str());
    ::rmdir(Dev.c_str());
}
