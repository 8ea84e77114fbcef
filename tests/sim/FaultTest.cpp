// The fault switches, seen as the timed writes the runner would make.

#include "SimTestSupport.h"
#include "protocol/Decode.h"
#include "sim/Kestro.h"

#include <gtest/gtest.h>

namespace {

using namespace protocol;
using simtest::Delivered;
using simtest::Wire;

sim::Kestro Make(const sim::Faults& faults) {
    sim::Config config = simtest::TestConfig();
    config.faults = faults;
    return sim::Kestro(config);
}

std::string Joined(const sim::Output& out) {
    std::string s;
    for (const sim::Chunk& c : out.chunks)
        s += c.bytes;
    return s;
}

TEST(KestroFaults, NoFaultsMeansOneWholeReplyInOneWrite) {
    sim::Kestro k = Make({});
    for (int i = 0; i < 5; ++i) {
        const sim::Output out = k.FeedTimed(Wire("c"));
        ASSERT_EQ(out.chunks.size(), 1u);
        EXPECT_EQ(out.chunks[0].delayMs, 0);
        EXPECT_EQ(out.chunks[0].bytes.size(), 35u);
        EXPECT_FALSE(out.hangUp);
    }
}

TEST(KestroFaults, DropEveryThirdReplyButStillCarryOutTheCommand) {
    sim::Faults f;
    f.dropEvery = 3;
    sim::Kestro k = Make(f);
    std::vector<bool> answered;
    for (int i = 1; i <= 6; ++i)
        answered.push_back(!k.Feed(Wire(ZonesCommand(char('0' + i % 4)))).empty());
    EXPECT_EQ(answered, (std::vector<bool>{true, true, false, true, true, false}));
    EXPECT_EQ(k.Zones(), 2); // the sixth, lost reply's change was made
    EXPECT_EQ(k.Count().dropped, 2);
}

TEST(KestroFaults, GarbledRepliesAreMalformedForTheProgram) {
    sim::Faults f;
    f.garbleEvery = 2;
    sim::Kestro k = Make(f);
    for (int i = 1; i <= 4; ++i) {
        const std::string reply = k.Feed(Wire("c"));
        ASSERT_EQ(reply.size(), 35u);
        EXPECT_TRUE(IsFrameAccepted(Delivered(reply)));
        EXPECT_EQ(DecodeReadings(Delivered(reply)).has_value(), i % 2 == 1) << i;
    }
    EXPECT_EQ(k.Count().garbled, 2);
}

TEST(KestroFaults, SplitRepliesComeInTwoWritesWithAGap) {
    for (int at : {1, 17, 33, 34}) {
        sim::Faults f;
        f.splitEvery = 1;
        f.splitAt = at;
        f.splitGapMs = 40;
        sim::Kestro k = Make(f);
        const sim::Output out = k.FeedTimed(Wire("s"));
        ASSERT_EQ(out.chunks.size(), 2u) << at;
        EXPECT_EQ(out.chunks[0].bytes.size(), static_cast<size_t>(at));
        EXPECT_EQ(out.chunks[1].delayMs, 40);
        EXPECT_EQ(Joined(out), sim::Kestro(simtest::TestConfig()).Feed(Wire("s")));
    }
}

TEST(KestroFaults, SplitBetweenStopAndLastCharacter) {
    sim::Faults f;
    f.splitEvery = 1;
    f.splitAt = 34;
    sim::Kestro k = Make(f);
    const sim::Output out = k.FeedTimed(Wire("s"));
    ASSERT_EQ(out.chunks.size(), 2u);
    EXPECT_EQ(out.chunks[0].bytes.back(), '>');
    EXPECT_EQ(out.chunks[1].bytes, ">");
}

TEST(KestroFaults, ReplyDelayAndNoise) {
    sim::Faults f;
    f.replyDelayMs = 120;
    f.noiseEvery = 2;
    f.noise = "xyz";
    sim::Kestro k = Make(f);
    const sim::Output first = k.FeedTimed(Wire("s"));
    ASSERT_EQ(first.chunks.size(), 1u);
    EXPECT_EQ(first.chunks[0].delayMs, 120);
    const sim::Output second = k.FeedTimed(Wire("s"));
    ASSERT_EQ(second.chunks.size(), 2u);
    EXPECT_EQ(second.chunks[1].bytes, "xyz");
    EXPECT_NE(k.Transcript().back().find("NOISE xyz"), std::string::npos);
    EXPECT_NE(k.Transcript()[k.Transcript().size() - 2].find("TX +120ms <"), std::string::npos);
}

TEST(KestroFaults, SilenceAfterNCommands) {
    sim::Faults f;
    f.silentAfter = 2;
    sim::Kestro k = Make(f);
    EXPECT_FALSE(k.Feed(Wire("s")).empty());
    EXPECT_FALSE(k.Feed(Wire("s")).empty());
    EXPECT_TRUE(k.Feed(Wire("s")).empty());
    EXPECT_TRUE(k.Feed(Wire(MaterialCommand(3))).empty());
    EXPECT_EQ(k.Material(), 1); // a silent logger carries nothing out
    EXPECT_EQ(k.Count().silenced, 2);
}

TEST(KestroFaults, HangUpAfterNCommandsFollowsTheLastReply) {
    sim::Faults f;
    f.hangupAfter = 2;
    sim::Kestro k = Make(f);
    EXPECT_FALSE(k.FeedTimed(Wire("s")).hangUp);
    const sim::Output out = k.FeedTimed(Wire("s") + Wire("s"));
    EXPECT_TRUE(out.hangUp);
    EXPECT_EQ(out.chunks.size(), 1u);
    EXPECT_TRUE(k.HungUp());
}

TEST(KestroTranscript, RecordsCommandsRepliesAndRejections) {
    sim::Kestro k(simtest::TestConfig());
    std::vector<std::string> sunk;
    k.SetTranscriptSink([&](const std::string& line) { sunk.push_back(line); });
    k.Feed(Wire("s") + "<s>>00" + Wire("q"));
    ASSERT_EQ(sunk.size(), 4u);
    EXPECT_NE(sunk[0].find("RX <s>>2B"), std::string::npos);
    EXPECT_NE(sunk[1].find("TX <4B56"), std::string::npos);
    EXPECT_NE(sunk[2].find("REJECT checksum <s>>00"), std::string::npos);
    EXPECT_NE(sunk[3].find("REJECT unknown <q>>"), std::string::npos);
    EXPECT_EQ(sunk[0].find_first_not_of(" 0123456789."), 11u); // "     0.000 " stamp
    EXPECT_EQ(std::vector<std::string>(k.Transcript().begin(), k.Transcript().end()), sunk);
}

} // namespace

namespace {

TEST(KestroFaults, OneLateReplyByCountOrByCommandAndNoOther) {
    sim::Faults byCount;
    byCount.replyDelayMs = 10;
    byCount.lateAt = 3;
    byCount.lateByMs = 450;
    sim::Kestro k = Make(byCount);
    std::vector<int> delays;
    for (int i = 0; i < 5; ++i)
        delays.push_back(k.FeedTimed(Wire("c")).chunks.at(0).delayMs);
    EXPECT_EQ(delays, (std::vector<int>{10, 10, 460, 10, 10}));

    sim::Faults byBody;
    byBody.lateOn = "l0007";
    byBody.lateByMs = 270;
    sim::Kestro m = Make(byBody);
    for (const char* body : {"l0006", "l0007", "l0007", "l0008"})
        delays.push_back(m.FeedTimed(Wire(body)).chunks.at(0).delayMs);
    EXPECT_EQ(std::vector<int>(delays.begin() + 5, delays.end()), (std::vector<int>{0, 270, 0, 0}));
}

TEST(KestroFaults, JitterStaysWithinItsBoundsAndRepeatsWithTheSeed) {
    sim::Faults f;
    f.jitterMinMs = 20;
    f.jitterMaxMs = 350;
    sim::Kestro a = Make(f), b = Make(f);
    int low = 1000, high = 0;
    for (int i = 0; i < 300; ++i) {
        const int d = a.FeedTimed(Wire("c")).chunks.at(0).delayMs;
        EXPECT_EQ(d, b.FeedTimed(Wire("c")).chunks.at(0).delayMs);
        low = std::min(low, d);
        high = std::max(high, d);
    }
    EXPECT_GE(low, 20);
    EXPECT_LE(high, 350);
    EXPECT_LT(low, 60); // it really varies over the range
    EXPECT_GT(high, 300);
}

TEST(KestroFaults, ClearAnsweredOnlyOnceTheEraseIsOver) {
    sim::Faults f;
    f.clearReplyAfterErase = true;
    sim::Config config = simtest::TestConfig();
    config.faults = f;
    config.eraseMs = 2500;
    sim::Kestro k(config);
    const sim::Output out = k.FeedTimed(Wire("C"));
    ASSERT_EQ(out.chunks.size(), 1u);
    EXPECT_EQ(out.chunks[0].delayMs, 2500);
    EXPECT_EQ(out.chunks[0].bytes.size(), 35u);
}

} // namespace
