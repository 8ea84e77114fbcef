// A port that will not open, told as a Linux user can act on it: the device kestro tried, the
// QUORVA_COMn variable that chose it, and the system's own word for what went wrong.
#include "KestroRun.h"

#include "cli/Report.h"
#include "sim/Line.h"

#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <ostream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clitest {
namespace {

// The user kestro runs as when a device's permissions are to count: root opens anything.
constexpr uid_t Nobody = 65534;

// What a case leaves in place while kestro runs, and what kestro must name.
struct TSetup {
    std::string Port, Variable, Path;
    bool AsNobody = false;
    std::function<void()> Undo = [] {};
};

struct TCase {
    const char* Name;
    // Makes the device (or its absence); empty Port when the case cannot run here.
    std::function<TSetup(const QTemporaryDir& dir, sim::Line& pty)> Make;
    int SystemCode;
    int Exit;
    const char* Advice; // a word of the advice that is true for this failure
};

void PrintTo(const TCase& c, std::ostream* os) {
    *os << c.Name;
}

TRun RunAs(bool asNobody, const std::vector<std::string>& args,
           const std::map<std::string, std::string>& env) {
    QProcess process;
    if (asNobody) {
        process.setChildProcessModifier([] {
            if (setgroups(0, nullptr) != 0 || setgid(Nobody) != 0 || setuid(Nobody) != 0)
                _exit(125);
        });
    }
    TRun run;
    if (!StartKestro(process, args, env))
        return run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
    } else if (process.exitStatus() == QProcess::NormalExit) {
        run.Code = process.exitCode();
    }
    run.Out = process.readAllStandardOutput().toStdString();
    run.Err = process.readAllStandardError().toStdString();
    return run;
}

class KestroOpenFailure : public ::testing::TestWithParam<TCase> {};

const TCase Cases[] = {
    {"MissingPathNamedByAVariable",
     [](const QTemporaryDir& dir, sim::Line&) {
         const std::string path = dir.filePath("unplugged").toStdString();
         return TSetup{"COM3", "QUORVA_COM3", path};
     },
     ENOENT, 3, "There is no device"},
    {"ComNumberWithNoDevice",
     [](const QTemporaryDir&, sim::Line&) {
         return TSetup{"COM4", "QUORVA_COM4", ""};
     },
     ENOENT, 3, "unset it"},
    {"PermissionDenied",
     [](const QTemporaryDir&, sim::Line& pty) {
         if (geteuid() != 0)
             return TSetup{};
         pty = sim::Line::OpenPty();
         chmod(pty.Path().c_str(), 0);
         return TSetup{"COM5", "QUORVA_COM5", pty.Path(), true};
     },
     EACCES, 3, "dialout"},
    {"BusyWithAnotherProgram",
     [](const QTemporaryDir&, sim::Line& pty) {
         pty = sim::Line::OpenPty();
         const int held = open(pty.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
         if (held < 0 || flock(held, LOCK_EX | LOCK_NB) != 0)
             ADD_FAILURE() << "could not hold " << pty.Path();
         TSetup setup{"COM6", "QUORVA_COM6", pty.Path()};
         setup.Undo = [held] { close(held); };
         return setup;
     },
     EBUSY, 7, "is in use by"},
};

// The serial layer's Windows code and the advice to plug in an adapter named neither the device
// nor the variable that had chosen it.
TEST_P(KestroOpenFailure, NamesTheDeviceTheVariableAndTheSystemErrorNotAWindowsCode) {
    const TCase& c = GetParam();
    QTemporaryDir dir;
    sim::Line pty;
    TSetup setup = c.Make(dir, pty);
    if (setup.Port.empty())
        GTEST_SKIP() << "only root can run kestro as a user the device refuses";
    const TRun run =
        RunAs(setup.AsNobody, {"info", "--port", setup.Port}, {{setup.Variable, setup.Path}});
    setup.Undo();
    EXPECT_EQ(run.Code, c.Exit) << run.Err;
    EXPECT_EQ(run.Out, "");
    const std::string said = "kestro: cannot open " + setup.Port + " (";
    EXPECT_EQ(run.Err.rfind(said, 0), 0u) << run.Err;
    EXPECT_NE(run.Err.find(setup.Variable), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find(std::string("): ") + std::strerror(c.SystemCode) + "\n"),
              std::string::npos)
        << run.Err;
    if (!setup.Path.empty()) {
        EXPECT_NE(run.Err.find(setup.Path), std::string::npos) << run.Err;
    }
    EXPECT_NE(run.Err.find(c.Advice), std::string::npos) << run.Err;
    EXPECT_EQ(run.Err.find("win error code"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Err.find("This PC has no"), std::string::npos) << run.Err;
}

INSTANTIATE_TEST_SUITE_P(Kestro, KestroOpenFailure, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.Name); });

// The cases no test can make without a real device: a COM number the PC's own list leaves
// empty, and a path that is something other than a serial port.
TEST(OpenFailureAdvice, SaysWhatIsTrueOfTheDeviceNotOnlyOfTheCode) {
    struct TRow {
        const char* Port;
        kline::TOpenResult Failure;
        const char* Said;   // in the first line
        const char* Advice; // in the advice
    };
    const TRow rows[] = {
        {"COM7", {"x", 1, ENOENT, "", ""}, "cannot open COM7 (", "plug in"},
        {"/tmp/log.txt",
         {"x", 1, ENOTTY, "/tmp/log.txt", ""},
         "cannot open /tmp/log.txt: ",
         "/tmp/log.txt is not a serial port"},
        {"ttyUSB0",
         {"x", 1, EACCES, "/dev/ttyUSB0", ""},
         "cannot open ttyUSB0 (/dev/ttyUSB0): ",
         "on /dev/ttyUSB0: add your user to the group dialout"},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Port);
        const std::string text = cli::OpenFailureText(row.Port, row.Failure);
        EXPECT_EQ(text.rfind(row.Said, 0), 0u) << text;
        EXPECT_NE(text.find(std::strerror(row.Failure.SystemCode)), std::string::npos) << text;
        const std::string advice = cli::OpenFailureAdvice(row.Port, row.Failure);
        EXPECT_NE(advice.find(row.Advice), std::string::npos) << advice;
    }
}

} // namespace
} // namespace clitest
