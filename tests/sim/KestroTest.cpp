// The simulated logger's replies, read back with the program's own decoders.

#include "sim/Kestro.h"
#include "SimTestSupport.h"
#include "protocol/Decode.h"
#include "protocol/ReplyView.h"

#include <gtest/gtest.h>

namespace {

using namespace protocol;
using simtest::Delivered;
using simtest::Wire;

bool IsHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

class KestroReplies : public ::testing::Test {
protected:
    simtest::FakeClock clock;
    sim::Kestro kestro{simtest::TestConfig(), clock.Source()};

    std::string Ask(std::string_view body) { return kestro.Feed(Wire(body)); }
    std::string Ask(const std::optional<Command>& c) { return Ask(c->Body); }
    SettingsReply Settings() {
        return *DecodeSettings(Delivered(Ask("i01")), kestro.LogCapacity());
    }
    std::string Text(std::string_view body) {
        return TextUpToNul(DecodeText(Delivered(Ask(body)))->Text);
    }
};

TEST_F(KestroReplies, EveryCommandTheProgramSendsGetsOneWellFormedReply) {
    std::vector<std::string> bodies;
    for (int step = 0; step < PollStepCount; ++step)
        bodies.push_back(PollCommand(step)->Body);
    for (int item = 0; item < 12; ++item)
        bodies.push_back(LogIntervalCommand(item)->Body);
    for (int button = 0; button < 6; ++button)
        bodies.push_back(CalibrationCommand(button)->Body);
    for (const auto& c :
         {MaterialCommand(0), MaterialCommand(3), RefTypeCommand(0), RefTypeCommand(2),
          NameCommand("Sea Breeze"), SerialNoCommand(""), ZoneTextCommand(3, "Rudder"),
          SetTimeCommand(14000000), LogRequestCommand(1), LogRequestCommand(65535)})
        bodies.push_back(c->Body);
    bodies.push_back(ZonesCommand('2').Body);
    bodies.push_back(CyclicLogCommand(true).Body);
    bodies.push_back(SetTextTimeCommand("14000000").Body);
    bodies.push_back(ClearCommand().Body); // last: the logger is silent afterwards

    for (const std::string& body : bodies) {
        const std::string reply = Ask(body);
        ASSERT_EQ(reply.size(), 35u) << body;
        EXPECT_EQ(reply[0], '<') << body;
        EXPECT_TRUE(std::all_of(reply.begin() + 1, reply.begin() + 33, IsHex)) << body;
        EXPECT_EQ(reply.substr(33), ">>") << body;
        EXPECT_TRUE(IsFrameAccepted(Delivered(reply))) << body;
    }
    EXPECT_EQ(kestro.Count().valid, static_cast<int>(bodies.size()));
    EXPECT_EQ(kestro.Count().unknown + kestro.Count().badChecksum, 0);
}

TEST_F(KestroReplies, ReadsDecodeToTheLoggersState) {
    const SettingsReply s = Settings();
    EXPECT_EQ(s.MaterialItem, 2); // Steel
    EXPECT_EQ(s.ZonesItem, 3);
    EXPECT_EQ(s.LogInterval, 15);
    EXPECT_FALSE(s.Cyclic);
    EXPECT_EQ(s.RefTypeItem, 2); // Ag AgCl

    EXPECT_EQ(Text("i03"), "Kestro Sim      ");
    EXPECT_EQ(Text("i05"), "KS-000001       ");
    EXPECT_EQ(Text("i06"), "Bow             ");
    EXPECT_EQ(Text("i08"), "Stern           ");
    const auto version = DecodeSoftwareVersion(Delivered(Ask("s")));
    EXPECT_EQ(version->LogCapacity, 511);

    const auto clockReply = DecodeClock(Delivered(Ask("i04")));
    EXPECT_EQ(clockReply->Minutes, 14000000);
    EXPECT_EQ(ClockText(*clockReply), "14/08/26 05:20");

    const auto readings = DecodeReadings(Delivered(Ask("c")));
    ASSERT_TRUE(readings);
    EXPECT_NEAR(readings->Zones[0], -820, 2);
    EXPECT_NEAR(readings->Zones[2], -1000, 2);
    EXPECT_EQ(BatteryVoltsText(readings->BatteryVolts), "12.5 V");
}

TEST_F(KestroReplies, ASingleZoneLoggerReadsZeroOnTheOthers) {
    Ask(ZonesCommand('1'));
    const auto readings = DecodeReadings(Delivered(Ask("c")));
    EXPECT_NEAR(readings->Zones[0], -820, 2);
    EXPECT_EQ(readings->Zones[1], 0);
    EXPECT_EQ(readings->Zones[2], 0);
}

TEST_F(KestroReplies, MaterialPickedInTheProgramReadsBackAsTheSameItem) {
    for (int item = 1; item <= 3; ++item) {
        Ask(MaterialCommand(item));
        EXPECT_EQ(kestro.Material(), item - 1);
        EXPECT_EQ(Settings().MaterialItem, item) << MaterialItems[item];
    }
    Ask(MaterialCommand(0)); // "?": stored as nothing the program can show
    EXPECT_FALSE(Settings().MaterialItem);
}

TEST_F(KestroReplies, SelectorSettingsReadBack) {
    for (int item = 0; item <= 3; ++item) {
        Ask(ZonesCommand(ZonesDigitForItem(item)));
        EXPECT_EQ(Settings().ZonesItem, item);
    }
    Ask(RefTypeCommand(2));
    EXPECT_EQ(Settings().RefTypeItem, 2);
    Ask(RefTypeCommand(1));
    EXPECT_EQ(Settings().RefTypeItem, 1);
    Ask(RefTypeCommand(0));
    EXPECT_FALSE(Settings().RefTypeItem);
    Ask(CyclicLogCommand(true));
    EXPECT_TRUE(Settings().Cyclic);
    Ask(CyclicLogCommand(false));
    EXPECT_FALSE(Settings().Cyclic);
}

TEST_F(KestroReplies, EveryLogIntervalItemReadsBackAsItself) {
    for (int item = 1; item < 12; ++item) { // "?" asks for 9999, which the program rejects
        Ask(LogIntervalCommand(item));
        EXPECT_EQ(Settings().LogIntervalItem, item) << LogIntervalItems[item];
    }
}

TEST_F(KestroReplies, TextFieldsReadBackBlankPadded) {
    Ask(NameCommand("Sea Breeze"));
    EXPECT_EQ(Text("i03"), "Sea Breeze      ");
    Ask(SerialNoCommand("0123456789ABCDEF"));
    EXPECT_EQ(Text("i05"), "0123456789ABCDEF");
    Ask(ZoneTextCommand(2, "Keel >> <plate>"));
    EXPECT_EQ(Text("i07"), "Keel >> <plate> ");
    Ask(NameCommand("H\xE9l\xE8ne"));
    EXPECT_EQ(Text("i03"), "H\xE9l\xE8ne          ");
    EXPECT_EQ(kestro.Name(), "H\xE9l\xE8ne          ");
}

TEST_F(KestroReplies, SetTimeMovesTheClockAndItKeepsRunning) {
    Ask(SetTimeCommand(20000000));
    EXPECT_EQ(DecodeClock(Delivered(Ask("i04")))->Minutes, 20000000);
    clock.Advance(3 * 60000 + 59999);
    EXPECT_EQ(DecodeClock(Delivered(Ask("i04")))->Minutes, 20000003);
    Ask(SetTextTimeCommand("1440"));
    EXPECT_EQ(ClockText(*DecodeClock(Delivered(Ask("i04")))), "02/01/00");
    EXPECT_EQ(Ask(SetTextTimeCommand("-5")), ""); // not a time: no reply, clock kept
    EXPECT_EQ(DecodeClock(Delivered(Ask("i04")))->Minutes, 1440);
}

TEST_F(KestroReplies, WrongChecksumsAndUnknownCommandsGetNoReplyAndChangeNothing) {
    std::string badMaterial = Wire("M03");
    badMaterial.back() ^= 1;
    const std::vector<std::string> rejected = {
        badMaterial,      "<s>>2C",    Wire("M04"),  Wire("x"),
        Wire("i02"),      Wire("i09"), Wire("Z04"),  Wire("I09" + std::string(16, 'a')),
        Wire("T00D59F8"), Wire("l12"), Wire("P00G0")};
    for (const std::string& bytes : rejected)
        EXPECT_EQ(kestro.Feed(bytes), "") << bytes;
    EXPECT_EQ(kestro.Material(), 1);
    EXPECT_EQ(kestro.Count().badChecksum, 2);
    EXPECT_EQ(kestro.Count().unknown, 9);
    EXPECT_EQ(kestro.Count().valid, 0);
    EXPECT_EQ(Ask("s").size(), 35u); // and the next good command is answered
}

TEST(KestroCapacity, SixthCharacterOfTheVersionPicksIt) {
    struct Case {
        std::string version;
        int capacity;
    };
    for (const Case& c : {Case{"KV1.02", 2040}, Case{"KV1.04 x", 4090}, Case{"KV1.0 ", 511},
                          Case{"KV1", 511}, Case{"KV1.03", 511}}) {
        sim::Config config = simtest::TestConfig();
        config.version = c.version;
        sim::Kestro k(config);
        EXPECT_EQ(k.LogCapacity(), c.capacity) << c.version;
        EXPECT_EQ(DecodeSoftwareVersion(Delivered(k.Feed(Wire("s"))))->LogCapacity, c.capacity)
            << c.version;
    }
}

TEST(KestroLastChar, TheThirtyFifthCharacterIsTheConfiguredOne) {
    sim::Config config = simtest::TestConfig();
    config.lastChar = 'A';
    sim::Kestro k(config);
    const std::string reply = k.Feed(Wire("i03"));
    EXPECT_EQ(reply.substr(33), ">A");
    // The program makes the 17th text character out of ">" and this one.
    EXPECT_EQ(DecodeText(Delivered(reply))->Text, "Kestro Sim      \n");
}

} // namespace
