// The simulated logger over a real pseudo-terminal, spoken to from the slave side as the
// program would.

#include "sim/PtyRunner.h"
#include "SimTestSupport.h"
#include "protocol/Decode.h"
#include "protocol/ReplyView.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace protocol;
using simtest::Delivered;
using simtest::SlaveEnd;
using simtest::Wire;

// Polls until pred holds or two seconds pass.
template <class Pred> bool Eventually(Pred pred) {
    for (int i = 0; i < 400; ++i) {
        if (pred())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return pred();
}

class PtyLogger : public ::testing::Test {
protected:
    simtest::FakeClock clock;
    std::unique_ptr<sim::PtyRunner> runner;
    std::unique_ptr<SlaveEnd> slave;

    void Start(sim::Config config = simtest::TestConfig()) {
        runner = std::make_unique<sim::PtyRunner>(config, clock.Source());
        runner->Start();
        slave = std::make_unique<SlaveEnd>(runner->Path());
    }
    std::string Ask(std::string_view body) {
        slave->Send(Wire(body));
        return slave->Read(35);
    }
    std::string Ask(const std::optional<Command>& c) { return Ask(c->Body); }
};

TEST_F(PtyLogger, AnswersACommandWithOneReply) {
    Start();
    EXPECT_EQ(TextUpToNul(DecodeSoftwareVersion(Delivered(Ask("s")))->Text), "KV1.0 511       ");
    EXPECT_EQ(slave->Read(1, 50), ""); // nothing more than the 35 characters
}

TEST_F(PtyLogger, ACommandWrittenByteByByteIsAnswered) {
    Start();
    for (char c : Wire("i03")) {
        slave->Send(std::string(1, c));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(TextUpToNul(DecodeText(Delivered(slave->Read(35)))->Text), "Kestro Sim      ");
}

TEST_F(PtyLogger, BadChecksumsAndUnknownCommandsAreSilent) {
    Start();
    slave->Send("<i03>>00" + Wire("x") + Wire("i04"));
    // The first reply on the line is the clock's: the two before it got none.
    EXPECT_EQ(DecodeClock(Delivered(slave->Read(35)))->Minutes, 14000000);
    EXPECT_EQ(slave->Read(1, 50), "");
    const sim::Counters c = runner->Count();
    EXPECT_EQ(c.badChecksum, 1);
    EXPECT_EQ(c.unknown, 1);
    EXPECT_EQ(c.valid, 1);
}

TEST_F(PtyLogger, AnIncompleteCommandIsDroppedOnceTheLineIsQuiet) {
    Start();
    slave->Send(Wire("i")); // "i" needs two more characters that never come
    EXPECT_TRUE(Eventually([&] { return runner->Count().unknown == 1; }));
    EXPECT_EQ(DecodeClock(Delivered(Ask("i04")))->Minutes, 14000000);
}

// A session as the program has it: change settings, read them back, download the log.
TEST_F(PtyLogger, SettingsAndLogReadBackOverTheLine) {
    sim::Config config = simtest::TestConfig();
    config.logs = 511;
    config.cyclic = true;
    Start(config);

    ASSERT_EQ(Ask(MaterialCommand(3)).size(), 35u); // Bronze
    ASSERT_EQ(Ask(ZonesCommand('2')).size(), 35u);
    ASSERT_EQ(Ask(LogIntervalCommand(7)).size(), 35u); // 1 Hour
    ASSERT_EQ(Ask(RefTypeCommand(2)).size(), 35u);
    ASSERT_EQ(Ask(NameCommand("Dawn Treader")).size(), 35u);
    const auto s = DecodeSettings(Delivered(Ask("i01")), 511);
    EXPECT_EQ(s->MaterialItem, 3);
    EXPECT_EQ(s->ZonesItem, 2);
    EXPECT_EQ(s->LogIntervalItem, 7);
    EXPECT_EQ(DaysText(*s->LogDaysTenths), "21.2 days");
    EXPECT_EQ(s->RefTypeItem, 2);
    EXPECT_TRUE(s->Cyclic);
    EXPECT_EQ(TextUpToNul(DecodeText(Delivered(Ask("i03")))->Text), "Dawn Treader    ");

    EXPECT_EQ(Ask("l0000").substr(0, 5), "<01FF"); // 511, first byte high
    const int64_t second = DecodeLogRecord(Delivered(Ask(LogRequestCommand(2))), 2)->Minutes;
    EXPECT_LT(DecodeLogRecord(Delivered(Ask(LogRequestCommand(1))), 1)->Minutes, second);
    EXPECT_EQ(DecodeLogRecord(Delivered(Ask(LogRequestCommand(511))), 511)->Minutes, 14000000);
    EXPECT_TRUE(DecodeLogRecord(Delivered(Ask(LogRequestCommand(512))), 512)->IsEndOfLog());

    clock.Advance(60 * 60000); // one interval: the oldest record makes way
    EXPECT_EQ(DecodeLogCount(Delivered(Ask("l0000")))->Count, 511);
    EXPECT_EQ(DecodeLogRecord(Delivered(Ask(LogRequestCommand(1))), 1)->Minutes, second);
    EXPECT_EQ(DecodeLogRecord(Delivered(Ask(LogRequestCommand(511))), 511)->Minutes, 14000060);
    EXPECT_EQ(runner->LogLines().back().substr(0, 20), "511 14/08/26 06:20 -");
}

TEST_F(PtyLogger, ClearIsAnsweredThenTheLoggerIsSilentWhileErasing) {
    sim::Config config = simtest::TestConfig();
    config.logs = 20;
    Start(config);
    ASSERT_EQ(Ask("C").size(), 35u);
    slave->Send(Wire("i03"));
    ASSERT_TRUE(Eventually([&] { return runner->Count().erasing == 1; }));
    clock.Advance(3000);
    // The name request went unanswered, so the first reply now is the log count.
    EXPECT_EQ(DecodeLogCount(Delivered(Ask("l0000")))->Count, 0);
    EXPECT_TRUE(runner->LogLines().empty());
}

TEST_F(PtyLogger, ASplitReplyArrivesWhole) {
    sim::Config config = simtest::TestConfig();
    config.faults.splitEvery = 1;
    config.faults.splitAt = 34;
    config.faults.splitGapMs = 20;
    Start(config);
    const std::string reply = Ask("i04");
    EXPECT_EQ(reply.size(), 35u);
    EXPECT_EQ(DecodeClock(Delivered(reply))->Minutes, 14000000);
}

TEST_F(PtyLogger, TheLineGoesAwayAfterNCommands) {
    sim::Config config = simtest::TestConfig();
    config.faults.hangupAfter = 2;
    Start(config);
    EXPECT_EQ(Ask("s").size(), 35u);
    EXPECT_EQ(Ask("s").size(), 35u);
    EXPECT_TRUE(slave->SeesHangUp());
    EXPECT_TRUE(Eventually([&] { return runner->HungUp(); }));
    EXPECT_NE(access(runner->Path().c_str(), F_OK), 0); // the slave is gone
}

TEST_F(PtyLogger, TheProgramMayCloseAndReopenThePort) {
    Start();
    EXPECT_EQ(Ask("s").size(), 35u);
    slave.reset();
    slave = std::make_unique<SlaveEnd>(runner->Path());
    EXPECT_EQ(DecodeClock(Delivered(Ask("i04")))->Minutes, 14000000);
}

TEST_F(PtyLogger, StopDoesNotWaitForADelayedReply) {
    sim::Config config = simtest::TestConfig();
    config.faults.replyDelayMs = 20000;
    Start(config);
    slave->Send(Wire("s"));
    ASSERT_TRUE(Eventually([&] { return runner->Count().valid == 1; }));
    const auto before = std::chrono::steady_clock::now();
    runner->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
    EXPECT_EQ(slave->Read(1, 20), "");
}

// A serial device is opened by path; a pty's slave stands in for one here.
TEST(DeviceLine, ServesAnExistingTtyByPath) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string path = ptsname(master);
    sim::PtyRunner runner(sim::Line::OpenDevice(path), simtest::TestConfig());
    runner.Start();
    EXPECT_EQ(runner.Path(), path);
    const std::string cmd = Wire("i04");
    ASSERT_EQ(write(master, cmd.data(), cmd.size()), static_cast<ssize_t>(cmd.size()));
    std::string reply;
    char buf[64];
    pollfd p{master, POLLIN, 0};
    while (reply.size() < 35 && poll(&p, 1, 2000) > 0) {
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0)
            break;
        reply.append(buf, static_cast<size_t>(n));
    }
    EXPECT_EQ(DecodeClock(Delivered(reply))->Minutes, 14000000);
    runner.Stop();
    close(master);
}

TEST(DeviceLine, AMissingDeviceIsReported) {
    EXPECT_THROW(sim::Line::OpenDevice("/nonexistent/ttyUSB9"), std::system_error);
}

} // namespace
