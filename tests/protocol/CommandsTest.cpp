#include "protocol/Commands.h"
#include "protocol/Framing.h"

#include <gtest/gtest.h>

#include <string>

using namespace protocol;

namespace {
void ExpectCommand(const std::optional<Command>& actual, const std::string& body, int32_t awaited) {
    ASSERT_TRUE(actual.has_value()) << body;
    EXPECT_EQ(actual->Body, body);
    EXPECT_EQ(actual->AwaitedReply, awaited) << body;
}
} // namespace

TEST(Commands, PollCycle) {
    const struct {
        const char* body;
        int32_t awaited;
    } cycle[] = {{"i01", 25}, {"i05", 23}, {"i03", 22}, {"i04", 24}, {"l0000", 20},
                 {"s", 30},   {"c", 29},   {"i06", 31}, {"i07", 32}, {"i08", 33}};
    for (int32_t step = 0; step < PollStepCount; ++step)
        ExpectCommand(PollCommand(step), cycle[step].body, cycle[step].awaited);
    EXPECT_FALSE(PollCommand(-1).has_value());
    EXPECT_FALSE(PollCommand(10).has_value());
    EXPECT_EQ(PollCommand(1)->CommandText(), "<i05>>");
}

TEST(Commands, SelectorBodies) {
    const char* materials[] = {"M00", "M01", "M02", "M03"};
    for (int32_t i = 0; i < 4; ++i)
        ExpectCommand(MaterialCommand(i), materials[i], 11);
    const char* refTypes[] = {"R0/", "R00", "R01"};
    for (int32_t i = 0; i < 3; ++i)
        ExpectCommand(RefTypeCommand(i), refTypes[i], 10);
    EXPECT_FALSE(MaterialCommand(-1).has_value());
    EXPECT_FALSE(MaterialCommand(4).has_value());
    EXPECT_FALSE(RefTypeCommand(3).has_value());

    const char zoneDigits[] = {'0', '1', '2', '3'};
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(ZonesDigitForItem(i), zoneDigits[i]);
        ExpectCommand(ZonesCommand(ZonesDigitForItem(i)), std::string("Z0") + zoneDigits[i], 10);
    }
    EXPECT_EQ(ZonesDigitForItem(-1), '0');
    EXPECT_EQ(ZonesDigitForItem(4), '0');

    ExpectCommand(CyclicLogCommand(true), "Y01", 16);
    ExpectCommand(CyclicLogCommand(false), "Y00", 16);
}

TEST(Commands, LogIntervalBodiesForEveryItem) {
    const struct {
        int32_t minutes;
        const char* body;
    } items[] = {{9999, "P270?"}, {0, "P0000"},   {1, "P0001"},   {2, "P0002"},
                 {5, "P0005"},    {15, "P000?"},  {30, "P001>"},  {60, "P003<"},
                 {120, "P0078"},  {360, "P0168"}, {720, "P02=0"}, {1440, "P05:0"}};
    for (int32_t i = 0; i < 12; ++i) {
        EXPECT_EQ(LogIntervalForItem(i), items[i].minutes);
        ExpectCommand(LogIntervalCommand(i), items[i].body, 12);
    }
    EXPECT_FALSE(LogIntervalCommand(12).has_value());
    EXPECT_FALSE(LogIntervalForItem(-1).has_value());
}

TEST(Commands, TextFieldsArePaddedToSixteen) {
    ExpectCommand(NameCommand(""), "I03" + std::string(16, ' '), 14);
    EXPECT_EQ(NameCommand("")->CommandText(), "<I03" + std::string(16, ' ') + ">>");
    ExpectCommand(NameCommand("Sea Wolf"), "I03Sea Wolf        ", 14);
    ExpectCommand(SerialNoCommand("K-0042"), "I05K-0042          ", 14);

    const std::string sixteen = "Port side aft 01";
    ASSERT_EQ(sixteen.size(), 16u);
    for (int32_t zone = 1; zone <= 3; ++zone) {
        const auto cmd = ZoneTextCommand(zone, sixteen);
        ExpectCommand(cmd, "I0" + std::to_string(5 + zone) + sixteen, 33 + zone);
        EXPECT_EQ(cmd->CommandText().size(), 22u);
    }
    EXPECT_FALSE(ZoneTextCommand(0, "x").has_value());
    EXPECT_FALSE(ZoneTextCommand(4, "x").has_value());

    // Accented letters go out as the single bytes they are.
    ExpectCommand(NameCommand("Andr\xE9"), "I03Andr\xE9           ", 14);
}

TEST(Commands, TextOfSeventeenCharactersUpToNulIsNotSent) {
    EXPECT_FALSE(NameCommand(std::string(17, 'a')).has_value());
    EXPECT_FALSE(ZoneTextCommand(2, std::string(40, 'a')).has_value());
    // Only the text before the first NUL counts, and only it goes on the wire.
    const std::string withNul = std::string("abc") + '\0' + std::string(20, 'z');
    ExpectCommand(NameCommand(withNul), "I03abc             ", 14);
    const std::string sixteenThenNul = std::string(16, 'q') + '\0' + "tail";
    ExpectCommand(SerialNoCommand(sixteenThenNul), "I05" + std::string(16, 'q'), 14);
}

TEST(Commands, SetTimeFromMinutes) {
    ExpectCommand(SetTimeCommand(14'000'000), "T00D59F80", 15);
    ExpectCommand(SetTimeCommand(0), "T00000000", 15);
    ExpectCommand(SetTimeCommand(65536), "T00010000", 15);
    ExpectCommand(SetTimeCommand(2147483647), "T7FFFFFFF", 15);
    EXPECT_FALSE(SetTimeCommand(-1).has_value());
    EXPECT_FALSE(SetTimeCommand(2147483648).has_value());

    ExpectCommand(SetTimeCommandFromText("14000000"), "T00D59F80", 15);
    // Before the first tick the field still holds its caption.
    for (const char* text : {"SenTime", "", "12a", "1.5", "-", "99999999999"})
        EXPECT_FALSE(SetTimeCommandFromText(text).has_value()) << text;

    ExpectCommand(SetTextTimeCommand("14000000"), "I0414000000", 15);
}

TEST(Commands, StrictStrToInt) {
    EXPECT_EQ(StrictStrToInt("0"), 0);
    EXPECT_EQ(StrictStrToInt("+12"), 12);
    EXPECT_EQ(StrictStrToInt("-12"), -12);
    EXPECT_EQ(StrictStrToInt("2147483647"), 2147483647);
    EXPECT_FALSE(StrictStrToInt("2147483648").has_value());
    EXPECT_FALSE(StrictStrToInt("+-1").has_value());
    EXPECT_FALSE(StrictStrToInt("1 ").has_value());
}

TEST(Commands, LogAndHiddenOperations) {
    ExpectCommand(ClearCommand(), "C", 1);
    ExpectCommand(LogCountCommand(), "l0000", 20);
    ExpectCommand(LogRequestCommand(0), "l0000", 21);
    ExpectCommand(LogRequestCommand(3), "l0003", 21);
    ExpectCommand(LogRequestCommand(4090), "l0FFA", 21);
    ExpectCommand(LogRequestCommand(65535), "lFFFF", 21);
    EXPECT_FALSE(LogRequestCommand(65536).has_value());
    EXPECT_FALSE(LogRequestCommand(-1).has_value());

    const char* calibration[] = {"a0000", "b0000", "d0000", "e0000", "f0000", "g0000"};
    for (int32_t i = 0; i < 6; ++i)
        ExpectCommand(CalibrationCommand(i), calibration[i], 50 + i);
    EXPECT_FALSE(CalibrationCommand(6).has_value());

    EXPECT_EQ(ReadSettingsCommand(), (Command{"i01", 25}));
    EXPECT_EQ(ReadNameCommand(), (Command{"i03", 22}));
    EXPECT_EQ(ReadClockCommand(), (Command{"i04", 24}));
    EXPECT_EQ(ReadSerialCommand(), (Command{"i05", 23}));
    EXPECT_EQ(ReadSoftwareVersionCommand(), (Command{"s", 30}));
    EXPECT_EQ(ReadReadingsCommand(), (Command{"c", 29}));
}

TEST(Commands, OnlyReadCodesCarryData) {
    for (int32_t code = -1; code <= 60; ++code) {
        const bool data = (code >= 20 && code <= 25) || (code >= 29 && code <= 33);
        EXPECT_EQ(ReplyCarriesData(code), data) << code;
    }
}
