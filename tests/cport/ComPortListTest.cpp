// The COM list and the open-failure explanations against real open failures on ptys.
#include "PtyHelper.h"

#include "cport/CPort.h"
#include "cport/ComPortList.h"
#include "cport/ComPortWatch.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
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

TEST(ComPortList, AMissingDeviceSaysThisPcHasNoSuchCom) {
    TComEnv Three(3, "");
    const auto [Code, Text] = OpenFailure("COM3");
    EXPECT_EQ(Code, ENOENT);
    EXPECT_EQ(Text, "This PC has no COM3 now: plug in the logger's USB serial adapter, or choose "
                    "another COM port.");
    TComEnv Four(4, "/nonexistent/quorva-unplugged");
    EXPECT_EQ(OpenFailure("COM4").second.rfind("This PC has no COM4 now", 0), 0u);
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
