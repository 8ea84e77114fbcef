#include "protocol/Decode.h"
#include "protocol/Commands.h"
#include "protocol/ReplyView.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace protocol;

namespace {

// The extractor delivers a reply without its leading "<".
std::string Delivered(const std::string& wire) {
    EXPECT_EQ(wire.size(), 35u) << wire;
    EXPECT_EQ(wire.front(), '<');
    return wire.substr(1);
}

// Eight groups as the logger writes them, then ">" and the last character.
std::string FromGroups(const std::string& groups, char last = '>') {
    std::string payload = groups;
    payload.resize(32, '0');
    return payload + ">" + last;
}

std::string HexOfText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned char>(c));
        out += pair;
    }
    return out;
}

} // namespace

TEST(ReplyView, SignedThresholdIs0x4000) {
    const struct {
        uint32_t x;
        int32_t value;
    } cases[] = {{0, 0}, {10, 10}, {0x4000, 16384}, {0x4001, -49151}, {0xFF88, -120}, {0xFFFF, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(Signed(c.x), c.value) << c.x;
}

TEST(ReplyView, GroupsAndByteOrders) {
    const ReplyView view(FromGroups("000A12345678G00z"));
    EXPECT_EQ(view.Group(0), "000A");
    EXPECT_EQ(view.BE(0), 10);
    EXPECT_EQ(view.LE(0), 2560);
    EXPECT_EQ(view.LE(1), 0x3412);
    EXPECT_EQ(view.LE(3), 0x0000); // "G", "z" count as 0 outside strict groups
    EXPECT_EQ(view.StrictGroup(1), 0x3412);
    EXPECT_FALSE(view.StrictGroup(3).has_value());
    EXPECT_FALSE(view.StrictGroup(8).has_value());
    EXPECT_EQ(view.Group(8), std::string(4, '\0'));
    // A short text reads as NUL past its end.
    EXPECT_EQ(ReplyView("12").LE(0), 0x0012);
}

TEST(Decode, Readings) {
    const auto r = DecodeReadings(FromGroups("0A00FFFF01400A0A"));
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(ZoneReadingText(r->Zones[0]), "10 mV");
    EXPECT_EQ(ZoneReadingText(r->Zones[1]), "-1 mV");
    EXPECT_EQ(ZoneReadingText(r->Zones[2]), "-49151 mV");
    EXPECT_EQ(r->BatteryCount, 2570);
    EXPECT_EQ(BatteryVoltsText(r->BatteryVolts), "12.5 V");

    const auto top = DecodeReadings(FromGroups("0040"));
    ASSERT_TRUE(top.has_value());
    EXPECT_EQ(ZoneReadingText(top->Zones[0]), "16384 mV");
    // Lower-case hex digits are hex digits for the strict conversion too.
    EXPECT_EQ(DecodeReadings(FromGroups("0a00"))->Zones[0], 10);
}

TEST(Decode, BatteryVolts) {
    // Counts above 0x4000 stay positive: the battery has no sign rule.
    const auto high = DecodeReadings(FromGroups("000000000000FFFF"));
    ASSERT_TRUE(high.has_value());
    EXPECT_EQ(high->BatteryCount, 65535);
    EXPECT_EQ(BatteryVoltsText(high->BatteryVolts), "318.6 V");
    EXPECT_EQ(BatteryVoltsText(BatteryVoltsForCount(0)), "0.0 V");
    // Count 60330 gives exactly 293.25 V; the shown digit rounds up, not to even.
    EXPECT_EQ(BatteryVoltsForCount(60330), 293.25f);
    EXPECT_EQ(BatteryVoltsText(BatteryVoltsForCount(60330)), "293.3 V");
}

TEST(Decode, NonHexInAStrictGroupIsMalformed) {
    for (int group = 0; group < 4; ++group) {
        std::string groups(16, '0');
        groups[static_cast<std::size_t>(group * 4 + 1)] = 'G';
        EXPECT_FALSE(DecodeReadings(FromGroups(groups)).has_value()) << group;
    }
    for (int group = 2; group < 8; ++group) {
        std::string groups = "D500809F" + std::string(24, '0');
        groups[static_cast<std::size_t>(group * 4 + 3)] = ' ';
        EXPECT_FALSE(DecodeLogRecord(FromGroups(groups), 5).has_value()) << group;
    }
    // The time words are read leniently.
    const auto rec = DecodeLogRecord(FromGroups("G500809F"), 5);
    ASSERT_TRUE(rec.has_value());
    EXPECT_EQ(rec->Minutes, 0x0005 * 65536 + 0x9F80);
    // Groups 4 to 7 of a readings reply are not read at all.
    EXPECT_TRUE(DecodeReadings(FromGroups("0000000000000000GGGG")).has_value());
}

TEST(Decode, Settings) {
    const auto s = DecodeSettings(Delivered("<010002003C0000000100000000000000>>"), 511);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(MaterialItems[static_cast<std::size_t>(*s->MaterialItem)], "Steel");
    EXPECT_EQ(ZonesItems[static_cast<std::size_t>(*s->ZonesItem)], "2");
    EXPECT_EQ(LogIntervalItems[static_cast<std::size_t>(*s->LogIntervalItem)], "1 Hour");
    EXPECT_EQ(s->LogInterval, 60);
    EXPECT_TRUE(s->Cyclic);
    EXPECT_EQ(RefTypeItems[static_cast<std::size_t>(*s->RefTypeItem)], "Zinc");
    EXPECT_EQ(DaysText(*s->LogDaysTenths), "21.2 days");
    EXPECT_EQ(s->Words[2], 60);

    const auto big = DecodeSettings(Delivered("<010002003C0000000100000000000000>>"), 2040);
    EXPECT_EQ(DaysText(*big->LogDaysTenths), "85.0 days");
}

TEST(Decode, SettingsFieldsOutOfRangeAreAbsent) {
    struct Case {
        const char* groups;
        std::optional<int32_t> material, zones, interval, intervalItem, days, refType;
        bool cyclic;
    };
    const Case cases[] = {
        // Material 3 and reference 2 select items that do not exist: no selection.
        {"0300030000000000000002000000", -1, 3, 0, 1, 0, -1, false},
        {"04000400A00F00000000030000000000", {}, {}, 4000, {}, {}, {}, false},
        {"0000000F0F2700000500000000", 1, {}, {}, {}, {}, 1, true}, // interval 9999
        {"000000002D000000FFFF0100", 1, 0, 45, {}, {}, 2, true},    // 45: not in the table
        {"0000000088130000000000", 1, 0, 5000, {}, {}, 1, false},
        {"00000000A0050000000000", 1, 0, 1440, 11, 5110, 1, false},
        // Read as a setting, a log count of "000A" is 2560.
        {"000A", {}, 0, 0, 1, 0, 1, false},
        // Non-hex characters count as 0 here.
        {"0G0000000Z00", 1, 0, 0, 1, 0, 1, false},
    };
    for (const auto& c : cases) {
        const auto s = DecodeSettings(FromGroups(c.groups), 511);
        ASSERT_TRUE(s.has_value()) << c.groups;
        EXPECT_EQ(s->MaterialItem, c.material) << c.groups;
        EXPECT_EQ(s->ZonesItem, c.zones) << c.groups;
        EXPECT_EQ(s->LogInterval, c.interval) << c.groups;
        EXPECT_EQ(s->LogIntervalItem, c.intervalItem) << c.groups;
        EXPECT_EQ(s->LogDaysTenths, c.days) << c.groups;
        EXPECT_EQ(s->RefTypeItem, c.refType) << c.groups;
        EXPECT_EQ(s->Cyclic, c.cyclic) << c.groups;
    }
    EXPECT_EQ(DaysText(0), "0.0 days");
    EXPECT_EQ(DaysText(40900), "4090.0 days");
}

TEST(Decode, LogCountIsHighByteFirst) {
    EXPECT_EQ(DecodeLogCount(FromGroups("000A"))->Count, 10);
    EXPECT_EQ(DecodeLogCount(FromGroups("FFFF"))->Count, 65535);
    EXPECT_EQ(DecodeLogCount(FromGroups("0100"))->Count, 256);
    EXPECT_EQ(LogCountText(DecodeLogCount(FromGroups("01FF"))->Count), "511");
}

TEST(Decode, LogRecords) {
    const auto rec = DecodeLogRecord(Delivered("<D500809F88FF23000000000000000000>>"), 12);
    ASSERT_TRUE(rec.has_value());
    EXPECT_EQ(rec->Minutes, 14'000'000);
    EXPECT_FALSE(rec->IsEndOfLog());
    EXPECT_EQ(LogLine(*rec), "12 14/08/26 05:20 -120 35 0 0 0 0");
    EXPECT_EQ(LogRecordText(rec->Values), " -120 35 0 0 0 0");

    // 9722 days after the epoch, at midnight: the date stands alone.
    const auto midnight = DecodeLogRecord(FromGroups("D500409E0A00F6FF01400040FFFF0000"), 3);
    ASSERT_TRUE(midnight.has_value());
    EXPECT_EQ(LogLine(*midnight), "3 14/08/26 10 -10 -49151 16384 -1 0");

    const auto empty = DecodeLogRecord(FromGroups("00000000"), 7);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->IsEndOfLog());

    // The largest count decodes without a failure, far past year 9999.
    const auto far = DecodeLogRecord(FromGroups("FFFFFFFF"), 1);
    ASSERT_TRUE(far.has_value());
    EXPECT_EQ(far->Minutes, 4294967295LL);
    EXPECT_FALSE(far->IsEndOfLog());
    EXPECT_GT(far->TimeStamp().Year, 9999);
    EXPECT_FALSE(LogLine(*far).empty());
}

TEST(Decode, LogRecordShownInMemoOnlyWithinCapacity) {
    EXPECT_FALSE(IsShownInLogMemo(0, 511));
    EXPECT_TRUE(IsShownInLogMemo(1, 511));
    EXPECT_TRUE(IsShownInLogMemo(511, 511));
    EXPECT_FALSE(IsShownInLogMemo(512, 511));
    EXPECT_TRUE(IsShownInLogMemo(4090, 4090));
}

TEST(Decode, ClockIsShownOnlyAfterTheEpoch) {
    const auto clock = DecodeClock(FromGroups("D500809F"));
    ASSERT_TRUE(clock.has_value());
    EXPECT_TRUE(clock->IsAfterEpoch());
    EXPECT_EQ(ClockText(*clock), "14/08/26 05:20");

    EXPECT_FALSE(DecodeClock(FromGroups("00000000"))->IsAfterEpoch());
    // A high word of 0x8000 or more makes the signed count negative.
    const auto negative = DecodeClock(FromGroups("00800000"));
    EXPECT_EQ(negative->Minutes, INT32_MIN);
    EXPECT_FALSE(negative->IsAfterEpoch());
    EXPECT_EQ(DecodeClock(FromGroups("0000A005"))->Minutes, 1440);
    EXPECT_EQ(ClockText(*DecodeClock(FromGroups("0000A005"))), "02/01/00");
}

TEST(Decode, TextsHaveSeventeenCharacters) {
    const std::string name = "Kestro Port Aft ";
    const auto plain = DecodeText(HexOfText(name) + ">>");
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(plain->Text, name + '\0');
    EXPECT_EQ(TextUpToNul(plain->Text), name);

    // The 17th character takes its code from the last character alone.
    EXPECT_EQ(DecodeText(HexOfText(name) + ">A")->Text, name + '\x0A');
    EXPECT_EQ(DecodeText(HexOfText(name) + ">x")->Text, name + '\0');
    // A NUL inside the text ends what a box shows.
    EXPECT_EQ(TextUpToNul(DecodeText(HexOfText("Ab") + std::string(28, '0') + ">>")->Text), "Ab");
}

TEST(Decode, SoftwareVersionSetsTheCapacity) {
    const struct {
        const char* text;
        int32_t capacity;
    } cases[] = {{"KV2.14 rev      ", 4090},
                 {"KV2.12 rev      ", 2040},
                 {"KV2.1  rev      ", 511},
                 {"KV2.19          ", 511},
                 {"                ", 511}};
    for (const auto& c : cases) {
        const auto v = DecodeSoftwareVersion(HexOfText(c.text) + ">>");
        ASSERT_TRUE(v.has_value()) << c.text;
        EXPECT_EQ(v->LogCapacity, c.capacity) << c.text;
        EXPECT_EQ(TextUpToNul(v->Text), c.text);
    }
    EXPECT_EQ(LogCapacityForVersion("KV2."), 511);
}

TEST(Decode, ReplyByAwaitedCode) {
    const std::string settings = Delivered("<010002003C0000000100000000000000>>");
    const DecodeContext context{12, 2040};

    const auto asSettings = DecodeReply(25, settings, context);
    ASSERT_TRUE(asSettings.has_value());
    ASSERT_TRUE(std::holds_alternative<SettingsReply>(*asSettings));
    EXPECT_EQ(std::get<SettingsReply>(*asSettings).LogDaysTenths, 850);

    const auto asRecord = DecodeReply(21, settings, context);
    ASSERT_TRUE(asRecord.has_value());
    EXPECT_EQ(std::get<LogRecord>(*asRecord).Index, 12);

    EXPECT_TRUE(std::holds_alternative<LogCountReply>(*DecodeReply(20, settings, context)));
    EXPECT_TRUE(std::holds_alternative<ClockReply>(*DecodeReply(24, settings, context)));
    EXPECT_TRUE(std::holds_alternative<Readings>(*DecodeReply(29, settings, context)));
    EXPECT_TRUE(std::holds_alternative<SoftwareVersion>(*DecodeReply(30, settings, context)));
    for (const int32_t code : {22, 23, 31, 32, 33})
        EXPECT_TRUE(std::holds_alternative<TextReply>(*DecodeReply(code, settings, context)));
    for (const int32_t code : {0, 1, 10, 11, 12, 14, 15, 16, 34, 35, 36, 50, 55, 99, -4})
        EXPECT_EQ(DecodeReply(code, settings, context), Reply{NoData{}}) << code;

    // An accepted frame of the wrong length is a sign of life but carries no values.
    EXPECT_EQ(DecodeReply(0, ">>", context), Reply{NoData{}});
    EXPECT_FALSE(DecodeReply(25, ">>", context).has_value());
    EXPECT_FALSE(DecodeReply(25, settings + "0", context).has_value());
    // Without ">" at the next-to-last place nothing is decoded, whatever the code.
    EXPECT_FALSE(DecodeReply(0, settings.substr(0, 32), context).has_value());
    EXPECT_FALSE(DecodeReply(25, settings.substr(0, 32) + "x>", context).has_value());
    EXPECT_FALSE(DecodeReply(29, FromGroups("0G00"), context).has_value());
}

// What each poll question is answered with, as the logger sends it.
struct TAnswer {
    const char* Question;
    int32_t Code;
    std::string Reply;
};

std::vector<TAnswer> PollAnswers() {
    return {
        {"settings", ReplySettings, FromGroups("010002003C0000000100000000000000")},
        {"serial", ReplySerialNumber, FromGroups(HexOfText("I03KX-0042      "))},
        {"name", ReplyName, FromGroups(HexOfText("Hafen Bl\xE9 >    "), 'A')},
        {"clock", ReplyClock, FromGroups("D500809F")},
        {"count", ReplyLogCount, FromGroups("0005")},
        {"version", ReplySoftwareVersion, FromGroups(HexOfText("KV1.2 2040"))},
        {"readings", ReplyReadings, FromGroups("0A00FFFF01400A0A")},
        {"zone 1", ReplyZone1Text, FromGroups(HexOfText("Stern           "))},
        {"zone 2", ReplyZone1Text + 1, FromGroups(HexOfText("Keel            "))},
        {"zone 3", ReplyZone1Text + 2, FromGroups(HexOfText("Bow             "))},
    };
}

// Fault caught: a late answer filed under the next question (readings as a zone's text,
// the clock as the log count) was decoded, shown and written back into the logger; and a name
// holding a line feed lost every name reply, so no cycle was ever read whole. Each
// answer fits its own question; read one question behind, as a late answer is, a cycle is
// caught within two further steps, so a shifted reading never lasts.
TEST(ReplyLayout, EachAnswerFitsItsQuestionAndAShiftedCycleIsCaughtWithinTwoSteps) {
    const std::vector<TAnswer> answers = PollAnswers();
    for (const TAnswer& a : answers) {
        EXPECT_TRUE(ReplyFitsLayout(a.Code, a.Reply)) << a.Question;
    }
    int sinceCaught = 0;
    for (std::size_t k = 0; k < answers.size(); ++k) {
        const TAnswer& late = answers[k];
        const TAnswer& asked = answers[(k + 1) % answers.size()];
        if (ReplyFitsLayout(asked.Code, late.Reply)) {
            ++sinceCaught;
        } else {
            sinceCaught = 0;
        }
        EXPECT_LT(sinceCaught, 3) << late.Question << " taken for " << asked.Question;
    }
    EXPECT_FALSE(ReplyFitsLayout(ReplyZone1Text, answers[6].Reply)) << "readings as a text";
    EXPECT_FALSE(ReplyFitsLayout(ReplyLogCount, answers[3].Reply)) << "clock as the count";
    // Text after the first NUL, as a word read as a text has, is no logger's text; a control
    // character another program wrote into the logger is, and must not cost the reply.
    EXPECT_FALSE(ReplyFitsLayout(ReplyName, FromGroups("0041")));
    EXPECT_TRUE(ReplyFitsLayout(ReplyName, FromGroups(HexOfText("Kestro\nSim"))));
    // Codes without fields of their own take anything framed.
    EXPECT_TRUE(ReplyFitsLayout(ReplySetText, answers[0].Reply));
}
