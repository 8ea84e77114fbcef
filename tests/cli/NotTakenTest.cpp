// A logger that answers every command but keeps its old name: kestro set must say so.
#include "KestroRun.h"
#include "tests/sim/SimTestSupport.h"

#include "sim/Kestro.h"
#include "sim/Line.h"
#include "sim/Wire.h"

#include <atomic>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace clitest {
namespace {

// The simulated logger with one flaw: a new name is answered but not stored.
class TStubbornLogger {
public:
    TStubbornLogger() : Line(sim::Line::OpenPty()), Logger(simtest::TestConfig()) {
        Thread = std::thread([this] { Serve(); });
    }
    ~TStubbornLogger() {
        Stop = true;
        Thread.join();
    }
    const std::string& Path() const { return Line.Path(); }
    std::string Name() const { return Logger.Name(); }

private:
    void Serve() {
        while (!Stop) {
            pollfd p{Line.Fd(), POLLIN, 0};
            if (poll(&p, 1, 20) <= 0)
                continue;
            char buf[256];
            const ssize_t n = read(Line.Fd(), buf, sizeof buf);
            if (n <= 0)
                continue;
            for (const sim::Received& r : Reader.Push({buf, static_cast<size_t>(n)})) {
                std::string command = r.raw;
                if (r.kind == sim::Received::Command && r.body.rfind("I03", 0) == 0)
                    command = simtest::Wire("I03" + Logger.Name());
                sim::WriteAll(Line.Fd(), Logger.Feed(command));
            }
        }
    }

    sim::Line Line;
    sim::Kestro Logger;
    sim::CommandReader Reader;
    std::atomic<bool> Stop = false;
    std::thread Thread;
};

TEST(SettingNotTaken, IsReportedWithStatusSixWhileTheOthersTake) {
    TStubbornLogger logger;
    const TRun run =
        RunKestro({"set", "name=New Name", "material=bronze", "--port", logger.Path()});
    EXPECT_EQ(run.Code, 6) << run.Err;
    EXPECT_NE(run.Err.find("name did not take"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Err.find("material"), std::string::npos) << run.Err;
    EXPECT_EQ(logger.Name(), "Kestro Sim      ");
}

} // namespace
} // namespace clitest
