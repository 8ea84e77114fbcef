// kestro left to cron: complete files or none, every way a run can end said by its status, and a
// port another program holds told apart from one where nothing answers.
#include "KestroRun.h"
#include "tests/sim/SimTestSupport.h"

#include "sim/PtyRunner.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace clitest {
namespace {

constexpr int HeaderLines = 21;

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

int LogRequests(const sim::PtyRunner& runner) {
    const auto lines = runner.Transcript();
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find(" RX <l") != std::string::npos;
    }));
}

class KestroForCron : public ::testing::Test {
protected:
    std::unique_ptr<sim::PtyRunner> StartLogger(int logs) {
        sim::Config config = simtest::TestConfig();
        config.logs = logs;
        auto runner = std::make_unique<sim::PtyRunner>(config);
        runner->Start();
        return runner;
    }
    std::string Path(const std::string& name) const {
        return Dir.filePath(name.c_str()).toStdString();
    }

    QTemporaryDir Dir;
};

// Each signal cuts a download of its own logger, all at once to keep the wait short: the
// earlier complete files stay byte for byte, what came is kept as .part, the count is said.
TEST_F(KestroForCron, ADownloadCutByEachSignalLeavesTheEarlierFilesAndKeepsWhatCameAsPart) {
    struct TCase {
        int Signal;
        int Code;
        const char* Said;
    };
    const TCase cases[] = {
        {SIGINT, 130, "interrupted"}, {SIGTERM, 143, "terminated"}, {SIGHUP, 129, "hung up"}};
    constexpr int Logs = 300;
    std::vector<std::unique_ptr<sim::PtyRunner>> loggers;
    std::vector<std::unique_ptr<QProcess>> runs;
    for (const TCase& c : cases) {
        const std::string name = std::to_string(c.Signal);
        WriteText(Path(name + ".txt"), "complete log " + name + "\r\n");
        WriteText(Path(name + ".csv"), "complete CSV " + name + "\r\n");
        loggers.push_back(StartLogger(Logs));
        runs.push_back(std::make_unique<QProcess>());
        ASSERT_TRUE(
            StartKestro(*runs.back(), {"download", "-o", Path(name + ".txt"), "--csv",
                                       Path(name + ".csv"), "--port", loggers.back()->Path()}));
    }
    // Cut each once its logger has answered a few log requests: mid-download, whatever the
    // machine's load made of the poll cycle before it.
    std::vector<bool> cut(std::size(cases), false);
    QElapsedTimer clock;
    clock.start();
    while (std::count(cut.begin(), cut.end(), false) > 0 && clock.elapsed() < 60000) {
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            if (!cut[i] && LogRequests(*loggers[i]) >= 12) {
                ::kill(static_cast<pid_t>(runs[i]->processId()), cases[i].Signal);
                cut[i] = true;
            }
        }
        QThread::msleep(50);
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const TCase& c = cases[i];
        const std::string name = std::to_string(c.Signal);
        ASSERT_TRUE(cut[i]) << c.Said;
        ASSERT_TRUE(runs[i]->waitForFinished(30000)) << c.Said;
        const std::string err = runs[i]->readAllStandardError().toStdString();
        EXPECT_EQ(runs[i]->exitStatus(), QProcess::NormalExit) << c.Said;
        EXPECT_EQ(runs[i]->exitCode(), c.Code) << c.Said << ": " << err;
        EXPECT_EQ(ReadFile(Path(name + ".txt")), "complete log " + name + "\r\n") << c.Said;
        EXPECT_EQ(ReadFile(Path(name + ".csv")), "complete CSV " + name + "\r\n") << c.Said;
        const std::vector<std::string> part = CrLfLines(ReadFile(Path(name + ".txt.part")));
        ASSERT_GT(part.size(), static_cast<std::size_t>(HeaderLines + 1)) << c.Said << ": " << err;
        const bool zero =
            !loggers[i]->Inspect([](const sim::Kestro& k) { return k.CountEntryLine().empty(); });
        const std::size_t entries = part.size() - HeaderLines - (zero ? 1 : 0);
        EXPECT_LT(entries, static_cast<std::size_t>(Logs)) << c.Said;
        EXPECT_EQ(part.back(), loggers[i]->LogLines()[entries - 1]) << c.Said;
        EXPECT_EQ(CrLfLines(ReadFile(Path(name + ".csv.part"))).size(), entries + 1) << c.Said;
        EXPECT_NE(err.find(std::string(c.Said) + ": " + std::to_string(entries) + " of " +
                           std::to_string(Logs) + " entries are in " + Path(name + ".txt.part")),
                  std::string::npos)
            << err;
    }
}

// Fault caught: a logger that restarted mid-download with a smaller log ended the download as
// if complete: a file of 39 entries under a header of 60, and status 0.
TEST_F(KestroForCron, ALoggerRestartingMidDownloadWithASmallerLogIsStatusFiveAndKeepsThePart) {
    sim::Config config = simtest::TestConfig();
    config.logs = 60;
    config.faults.restartAt = 40;
    config.faults.restartLogs = 20;
    sim::PtyRunner logger(config);
    logger.Start();
    WriteText(Path("log.txt"), "complete log\r\n");
    const TRun run =
        RunKestro({"download", "--fast", "-o", Path("log.txt"), "--port", logger.Path()});
    EXPECT_EQ(run.Code, 5) << run.Err;
    EXPECT_NE(run.Err.find("ended after 39 entries, but the Kestro held 60"), std::string::npos)
        << run.Err;
    EXPECT_EQ(ReadFile(Path("log.txt")), "complete log\r\n");
    const std::vector<std::string> part = CrLfLines(ReadFile(Path("log.txt.part")));
    // The header, entry 0 and the 39 entries read before the restart.
    ASSERT_EQ(part.size(), static_cast<std::size_t>(HeaderLines + 1 + 39)) << run.Err;
    EXPECT_EQ(part.back().rfind("39 ", 0), 0u) << part.back();
    EXPECT_EQ(part[13], "*Log Count           = 60"); // the count read when it began
}

// A device or a named pipe would be replaced by a regular file; it is refused before the port
// is even opened.
TEST_F(KestroForCron, ADeviceNodeOrANamedPipeAsTargetIsRefusedBeforeAnythingIsSent) {
    const auto logger = StartLogger(5);
    ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
    std::vector<std::string> targets = {Path("pipe")};
    // Only root may make a device node; it is made here, never taken from /dev.
    if (mknod(Path("node").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0)
        targets.push_back(Path("node"));
    for (const std::string& target : targets) {
        struct stat before {};
        ASSERT_EQ(stat(target.c_str(), &before), 0);
        for (const bool asCsv : {false, true}) {
            const std::vector<std::string> args =
                asCsv ? std::vector<std::string>{"download", "-o", Path("log.txt"), "--csv", target}
                      : std::vector<std::string>{"download", "-o", target};
            std::vector<std::string> withPort = args;
            withPort.insert(withPort.end(), {"--port", logger->Path()});
            const TRun run = RunKestro(withPort);
            EXPECT_EQ(run.Code, 4) << target << " as CSV " << asCsv;
            EXPECT_NE(run.Err.find("is not a regular file"), std::string::npos) << run.Err;
            struct stat after {};
            ASSERT_EQ(stat(target.c_str(), &after), 0);
            EXPECT_EQ(after.st_mode, before.st_mode) << target;
            EXPECT_EQ(after.st_rdev, before.st_rdev) << target;
        }
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("log.txt"))));
    EXPECT_EQ(logger->Count().valid, 0);
    if (targets.size() == 1)
        GTEST_SKIP() << "the named pipe was tried; a device node needs root to be made";
}

// "kestro watch | head -n 1" and "kestro info | true": the reader going ends the command at
// once, not at its next write, with status 4.
TEST_F(KestroForCron, AClosedStandardOutputEndsWatchAndInfoAtOnceWithStatusFour) {
    const auto logger = StartLogger(5);
    QProcess watch, head;
    watch.setStandardOutputProcess(&head);
    head.start("head", {"-n", "1"});
    ASSERT_TRUE(StartKestro(watch, {"watch", "--json", "--port", logger->Path()}));
    ASSERT_TRUE(head.waitForFinished(30000));
    EXPECT_TRUE(head.readAllStandardOutput().startsWith("{\"batteryVolts\""));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(watch.waitForFinished(15000));
    // The next line would have come five seconds on.
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_EQ(watch.exitCode(), 4) << watch.readAllStandardError().toStdString();

    QProcess info, reader;
    info.setStandardOutputProcess(&reader);
    reader.start("true", {});
    ASSERT_TRUE(reader.waitForFinished(10000));
    clock.restart();
    ASSERT_TRUE(StartKestro(info, {"info", "--port", logger->Path()}));
    ASSERT_TRUE(info.waitForFinished(15000));
    // Its poll cycle alone takes five seconds.
    EXPECT_LT(clock.elapsed(), 4000);
    const std::string err = info.readAllStandardError().toStdString();
    EXPECT_EQ(info.exitCode(), 4) << err;
    EXPECT_NE(err.find("standard output is closed"), std::string::npos) << err;
}

// A port held by another program is its own status, naming the holder (not the simulator that
// holds the pseudo-terminal's other end); --wait tries until the holder lets go.
TEST_F(KestroForCron, ABusyPortIsStatusSevenNamingItsHolderAndWaitTriesUntilItIsFree) {
    const auto logger = StartLogger(5);
    const int held = open(logger->Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    std::string self;
    std::getline(std::ifstream("/proc/self/comm"), self);
    const TRun busy = RunKestro({"info", "--port", logger->Path()});
    EXPECT_EQ(busy.Code, 7) << busy.Err;
    EXPECT_NE(busy.Err.find("in use by " + self + " (pid " + std::to_string(getpid()) + ")"),
              std::string::npos)
        << busy.Err;
    EXPECT_EQ(busy.Out, "");
    std::thread release([held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        close(held);
    });
    const TRun waited = RunKestro({"info", "--wait", "30", "--port", logger->Path()});
    release.join();
    EXPECT_EQ(waited.Code, 0) << waited.Err;
    EXPECT_NE(waited.Out.find("Serial number:    KS-000001\n"), std::string::npos) << waited.Out;
}

} // namespace
} // namespace clitest
