// The simulated logger at the pace of the real line: commands taken and replies sent one
// character time (10 bits at 9600 baud) per character.

#include "SimTestSupport.h"
#include "sim/Options.h"
#include "sim/PtyRunner.h"

#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double CharMs = 10.0 * 1000.0 / 9600.0;

struct Timed {
    std::string bytes;
    double ms = 0; // from the command's first byte to the reply's last
    int reads = 0; // pieces the reply came in
};

Timed AskTimed(sim::Config config, std::string_view body) {
    sim::PtyRunner runner(config);
    runner.Start();
    simtest::SlaveEnd slave(runner.Path());
    const std::string command = simtest::Wire(body);
    const auto start = Clock::now();
    slave.Send(command);
    Timed t;
    while (t.bytes.size() < 35) {
        pollfd p{slave.Fd(), POLLIN, 0};
        if (poll(&p, 1, 2000) <= 0)
            break;
        char buf[64];
        const ssize_t n = read(slave.Fd(), buf, sizeof buf);
        if (n <= 0)
            break;
        t.bytes.append(buf, static_cast<size_t>(n));
        ++t.reads;
    }
    t.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return t;
}

TEST(WireTime, AReplyTakesNoLessThanItsCharactersAndTheCommandsAtNineThousandSixHundredBaud) {
    sim::Config config = simtest::TestConfig();
    config.wireTime = true;
    const Timed paced = AskTimed(config, "s");
    ASSERT_EQ(paced.bytes.size(), 35u);
    config.wireTime = false;
    const Timed plain = AskTimed(config, "s");
    // The same reply either way; only its pace differs.
    EXPECT_EQ(paced.bytes, plain.bytes);
    const double bound = (simtest::Wire("s").size() + 35) * CharMs;
    EXPECT_GE(paced.ms, bound - 0.5);
    // Written a character at a time, so the program cannot get it in one piece.
    EXPECT_GT(paced.reads, 1);
}

TEST(WireTime, IsOffUnlessAskedFor) {
    std::string error;
    const auto plain = sim::ParseOptions({"--logs", "5"}, error);
    ASSERT_TRUE(plain) << error;
    EXPECT_FALSE(plain->config.wireTime);
    const auto paced = sim::ParseOptions({"--wire-time", "--logs", "5"}, error);
    ASSERT_TRUE(paced) << error;
    EXPECT_TRUE(paced->config.wireTime);
    EXPECT_EQ(paced->config.logs, 5);
    EXPECT_FALSE(sim::ParseOptions({"--wire-tim"}, error));
}

} // namespace
