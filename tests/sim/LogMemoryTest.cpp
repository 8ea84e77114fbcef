// The log memory as the program's download sees it: count, records, empty slots, wrap-around.

#include "SimTestSupport.h"
#include "protocol/Decode.h"
#include "sim/Kestro.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace protocol;
using simtest::Delivered;
using simtest::Wire;

class KestroLog : public ::testing::Test {
protected:
    simtest::FakeClock clock;
    std::unique_ptr<sim::Kestro> kestro;

    void Make(int logs, bool cyclic = false, int interval = 15, uint32_t seed = 1) {
        sim::Config config = simtest::TestConfig();
        config.logs = logs;
        config.cyclic = cyclic;
        config.logInterval = interval;
        config.seed = seed;
        kestro = std::make_unique<sim::Kestro>(config, clock.Source());
    }
    std::string Ask(std::string_view body) { return kestro->Feed(Wire(body)); }
    int Count() { return DecodeLogCount(Delivered(Ask("l0000")))->Count; }
    LogRecord Record(int n) {
        return *DecodeLogRecord(Delivered(Ask(LogRequestCommand(n)->Body)), n);
    }
    void AdvanceMinutes(int64_t m) { clock.Advance(m * 60000); }
};

TEST_F(KestroLog, CountComesFirstByteHigh) {
    Make(300);
    const std::string reply = Ask("l0000");
    EXPECT_EQ(reply.substr(1, 4), "012C");
    EXPECT_EQ(DecodeLogCount(Delivered(reply))->Count, 300);
}

TEST_F(KestroLog, RecordsComeOldestFirstOneIntervalApartEndingAtTheClock) {
    Make(5);
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(Record(n).Minutes, 14000000 - (5 - n) * 15) << n;
    EXPECT_EQ(LogLine(Record(5)).substr(0, 17), "5 14/08/26 05:20 ");
}

TEST_F(KestroLog, AnEmptySlotIsAllZerosAndEndsTheDownload) {
    Make(2);
    for (int n : {3, 4, 511, 65535}) {
        const std::string reply = Ask(LogRequestCommand(n)->Body);
        EXPECT_EQ(reply, "<" + std::string(32, '0') + ">>") << n;
        EXPECT_TRUE(DecodeLogRecord(Delivered(reply), n)->IsEndOfLog()) << n;
    }
}

TEST_F(KestroLog, DumpMatchesWhatTheProgramWritesForEachRecord) {
    Make(40, false, 60);
    std::string downloaded;
    for (int n = 1; n <= 41; ++n) {
        const LogRecord r = Record(n);
        if (r.IsEndOfLog())
            break;
        downloaded += LogLine(r) + "\r\n";
    }
    EXPECT_EQ(kestro->LogDump(), downloaded);
    EXPECT_EQ(std::count(downloaded.begin(), downloaded.end(), '\n'), 40);
}

TEST_F(KestroLog, TheCountReadAsEntryZeroGivesTheLineTheProgramWrites) {
    for (int logs : {0, 3, 300}) {
        Make(logs);
        const LogRecord asRecord = Record(0);
        EXPECT_EQ(kestro->CountEntryLine(), asRecord.IsEndOfLog() ? "" : LogLine(asRecord)) << logs;
    }
    EXPECT_EQ(kestro->CountEntryLine().substr(0, 2), "0 ");
}

TEST_F(KestroLog, RecordsHoldMinAndMaxOfTheMonitoredZonesOnly) {
    sim::Config config = simtest::TestConfig();
    config.logs = 20;
    config.zones = 2;
    sim::Kestro k(config, clock.Source());
    for (int n = 1; n <= 20; ++n) {
        const auto& v = k.Log().At(n)->values;
        EXPECT_LE(v[0], v[1]);
        EXPECT_LE(v[2], v[3]);
        EXPECT_NEAR(v[0], -820, 12);
        EXPECT_EQ(v[4], 0);
        EXPECT_EQ(v[5], 0);
    }
}

TEST_F(KestroLog, ReadingsAtTheEndsOfTheRangeKeepTheirSign) {
    sim::Config config = simtest::TestConfig();
    config.logs = 30;
    config.zoneMillivolts = {16384, -32768, 0};
    sim::Kestro k(config, clock.Source());
    for (int n = 1; n <= 30; ++n) {
        const LogRecord r =
            *DecodeLogRecord(Delivered(k.Feed(Wire(LogRequestCommand(n)->Body))), n);
        EXPECT_GT(r.Values[0], 16000) << n;
        EXPECT_LE(r.Values[1], 16384) << n;
        EXPECT_LT(r.Values[3], -32000) << n;
    }
    const auto readings = DecodeReadings(Delivered(k.Feed(Wire("c"))));
    EXPECT_GT(readings->Zones[0], 16000);
    EXPECT_LT(readings->Zones[1], -32000);
}

TEST_F(KestroLog, PreloadedRecordsAreTheSameForTheSameSeed) {
    Make(50, false, 15, 7);
    const std::string first = kestro->LogDump();
    Make(50, false, 15, 7);
    EXPECT_EQ(kestro->LogDump(), first);
    Make(50, false, 15, 8);
    EXPECT_NE(kestro->LogDump(), first);
}

TEST_F(KestroLog, ARecordIsAddedEveryIntervalUntilLoggingIsOff) {
    Make(0);
    EXPECT_EQ(Count(), 0);
    AdvanceMinutes(14);
    EXPECT_EQ(Count(), 0);
    AdvanceMinutes(1);
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(Record(1).Minutes, 14000015);
    AdvanceMinutes(45);
    EXPECT_EQ(Count(), 4);
    EXPECT_EQ(Record(4).Minutes, 14000060);
    Ask(LogIntervalCommand(1)->Body); // "Off"
    AdvanceMinutes(24 * 60);
    EXPECT_EQ(Count(), 4);
}

TEST_F(KestroLog, CyclicLoggingOverwritesTheOldestWhenFull) {
    Make(511, true);
    const int64_t third = Record(3).Minutes;
    AdvanceMinutes(30);
    EXPECT_EQ(Count(), 511);
    EXPECT_EQ(Record(1).Minutes, third);
    EXPECT_EQ(Record(511).Minutes, 14000030);
    EXPECT_TRUE(Record(512).IsEndOfLog());
}

TEST_F(KestroLog, WithoutCyclicLoggingAFullMemoryStopsLogging) {
    Make(511, false);
    const LogRecord first = Record(1);
    AdvanceMinutes(30);
    EXPECT_EQ(Count(), 511);
    EXPECT_EQ(Record(1), first);
    EXPECT_EQ(Record(511).Minutes, 14000000);
}

// Logging as a chosen log number is asked for: a full cyclic log drops its oldest and every
// record answers one number lower from then on, the new one last; a log with room adds it at
// its end and nothing moves. Catches a simulated logger that logs twice, at the wrong request,
// or moves a log that has room.
TEST_F(KestroLog, ARecordLoggedMidDownloadMovesAFullCyclicLogDownByOne) {
    for (const int logs : {511, 300}) {
        sim::Config config = simtest::TestConfig();
        config.logs = logs;
        config.cyclic = true;
        config.faults.logDuringDownloadAt = 200;
        kestro = std::make_unique<sim::Kestro>(config, clock.Source());
        auto minutes = [&] {
            std::vector<int64_t> m;
            for (int n = 1; n <= kestro->LogCount(); ++n)
                m.push_back(kestro->Log().At(n)->minutes);
            return m;
        };
        std::vector<int64_t> expected = minutes();
        Record(199);
        ASSERT_EQ(minutes(), expected) << logs;
        const bool full = logs == 511;
        expected.push_back(expected.back() + 15);
        if (full)
            expected.erase(expected.begin());
        EXPECT_EQ(Record(200).Minutes, expected[199]) << logs;
        EXPECT_EQ(minutes(), expected) << logs;
        Record(200);
        EXPECT_EQ(minutes(), expected) << logs << ": logged again";
    }
}

TEST_F(KestroLog, ALongGapLeavesTheLatestRecordsOnly) {
    Make(0, true, 1);
    AdvanceMinutes(1000 * 1440);
    EXPECT_EQ(Count(), 511);
    EXPECT_EQ(Record(511).Minutes, 14000000 + 1000 * 1440);
    EXPECT_EQ(Record(1).Minutes, 14000000 + 1000 * 1440 - 510);
}

TEST_F(KestroLog, ALongGapWithoutCyclicLoggingKeepsTheFirstRecordsAfterIt) {
    Make(500, false, 1);
    AdvanceMinutes(1000 * 1440);
    EXPECT_EQ(Count(), 511);
    EXPECT_EQ(Record(501).Minutes, 14000001);
    EXPECT_EQ(Record(511).Minutes, 14000011);
    // Emptied, it starts again from the present, not from the minutes it missed.
    Ask("C");
    clock.Advance(3000);
    AdvanceMinutes(1);
    EXPECT_EQ(Count(), 1);
    EXPECT_GT(Record(1).Minutes, 14000000 + 1000 * 1440);
}

TEST_F(KestroLog, ClearAnswersThenStaysSilentWhileErasing) {
    Make(10);
    EXPECT_EQ(Ask("C").size(), 35u);
    EXPECT_TRUE(kestro->Erasing());
    EXPECT_EQ(Ask("s"), "");
    clock.Advance(2999);
    EXPECT_EQ(Ask("i01"), "");
    EXPECT_EQ(kestro->Count().erasing, 2);
    clock.Advance(1);
    EXPECT_FALSE(kestro->Erasing());
    EXPECT_EQ(Count(), 0);
    EXPECT_TRUE(Record(1).IsEndOfLog());
    EXPECT_EQ(kestro->LogDump(), "");
}

} // namespace

namespace {

// The demo's log against the steel band for its Ag/AgCl reference, whatever the hour it starts.
TEST(KestroDefaults, ADefaultLogIsMostlyProtectedWithOneZoneOutForAFewHours) {
    for (int64_t clock : {14000000LL, 14000700LL, 14001500LL, 14002300LL}) {
        sim::Config config; // as kestro-sim starts without options, and the demo preloads 300
        config.clockMinutes = clock;
        config.logs = 300;
        ASSERT_EQ(config.refType, 1) << "readings are Ag/AgCl values";
        sim::Kestro k(config);
        int outside[3] = {0, 0, 0};
        for (int n = 1; n <= k.LogCount(); ++n)
            for (int z = 0; z < 3; ++z) {
                const auto& v = k.Log().At(n)->values;
                outside[z] += v[2 * z + 1] > -800 || v[2 * z] < -1050;
            }
        EXPECT_EQ(outside[0], 0) << clock;
        EXPECT_EQ(outside[2], 0) << clock;
        // 75 hours hold at least one spell of some four hours (16 entries) out of the band.
        EXPECT_GE(outside[1], 10) << clock;
        EXPECT_LE(outside[1], 60) << clock;
    }
}

} // namespace
