#include "protocol/Convert.h"
#include "protocol/Framing.h"

#include <gtest/gtest.h>

#include <string>

using namespace protocol;

TEST(Convert, HexDigitValueCountsNonHexAsZero) {
    const struct {
        char c;
        int value;
    } cases[] = {{'0', 0}, {'9', 9}, {'A', 10}, {'F', 15},  {'a', 10}, {'f', 15},
                 {'G', 0}, {' ', 0}, {'>', 0},  {'g', 0},   {'\0', 0}, {'/', 0},
                 {':', 0}, {'@', 0}, {'`', 0},  {'\xE9', 0}};
    for (const auto& c : cases)
        EXPECT_EQ(HexDigitValue(c.c), c.value) << "character code " << int(c.c);
}

TEST(Convert, PairsAndQuads) {
    EXPECT_EQ(HexPairToByte(">>"), 0);
    EXPECT_EQ(HexPairToByte("FF"), 255);
    EXPECT_EQ(HexPairToByte("3c"), 0x3C);
    EXPECT_EQ(HexPairToByte("G7"), 7);
    EXPECT_EQ(HexPairToChar("41"), "A");
    EXPECT_EQ(HexPairToChar("00"), std::string(1, '\0'));
    EXPECT_EQ(HexPairToChar("E9"), "\xE9");
    EXPECT_EQ(HexQuadToWord("FFFF"), 65535);
    EXPECT_EQ(HexQuadToWord("00D5"), 0xD5);
    EXPECT_EQ(HexQuadToWord("1G2>"), 0x1020);
    EXPECT_EQ(HexQuadToWord("    "), 0);
}

TEST(Convert, WordQuadsAndNibbles) {
    const struct {
        int32_t v;
        const char* hex;
        const char* digits;
    } cases[] = {
        {0, "0000", "0000"},
        {30, "001E", "001>"},
        {720, "02D0", "02=0"},
        {1440, "05A0", "05:0"},
        {9999, "270F", "270?"},
        {60, "003C", "003<"},
        {65535, "FFFF", "????"},
        {0xD5, "00D5", "00=5"},
        {0x9F80, "9F80", "9?80"},
        // Past 16 bits the top nibble is taken mod 256 and runs past "F".
        {65536, "G000", "@000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WordToHexQuad(c.v), c.hex) << c.v;
        EXPECT_EQ(WordToDigitQuad(c.v), c.digits) << c.v;
    }
    EXPECT_EQ(NibbleToHexChar(9), '9');
    EXPECT_EQ(NibbleToHexChar(10), 'A');
    EXPECT_EQ(NibbleToHexChar(15), 'F');
    const std::string digitChars = ":;<=>?";
    for (int n = 10; n <= 15; ++n)
        EXPECT_EQ(NibbleToDigitChar(n), digitChars[static_cast<std::size_t>(n - 10)]);
}

TEST(Convert, ByteToHexPairUsesTheLowByte) {
    EXPECT_EQ(ByteToHexPair(0x12B), "2B");
    EXPECT_EQ(ByteToHexPair(5), "05");
    EXPECT_EQ(ByteToHexPair(0), "00");
    EXPECT_EQ(ByteToHexPair(0xFF), "FF");
    EXPECT_EQ(ByteToHexPair(-1), "FF");
}

TEST(Convert, ByteSumCountsBytesUnsigned) {
    EXPECT_EQ(ByteSum("<s>>", 4), 299);
    EXPECT_EQ(ByteSum("<s>>", 2), 0x3C + 0x73);
    EXPECT_EQ(ByteSum("<s>>", 0), 0);
    EXPECT_EQ(ByteSum("<s>>", -3), 0);
    EXPECT_EQ(ByteSum("<s>>", 40), 299);
    EXPECT_EQ(ByteSum("\xE9\xFF", 2), 0xE9 + 0xFF);
}

TEST(Framing, ChecksumsOfKnownCommands) {
    const struct {
        const char* body;
        const char* wire;
    } cases[] = {
        {"s", "<s>>2B"},         {"C", "<C>>FB"}, {"c", "<c>>1B"}, {"i01", "<i01>>82"},
        {"l0000", "<l0000>>E4"}, {"M", "<M>>05"}, // low byte below 0x10 keeps its leading zero
        {"\xE9", "<\xE9>>A1"},                    // 0xE9 adds 233, not a negative value
        {"P001>", "<P001>>>D7"},                  // three ">" in a row before the checksum
    };
    for (const auto& c : cases) {
        const std::string composed = ComposeCommand(c.body);
        const auto framed = FrameCommand(composed);
        ASSERT_TRUE(framed.has_value()) << c.body;
        EXPECT_EQ(*framed, c.wire) << c.body;
    }
}

TEST(Framing, ComposedTextOfHundredCharactersIsDropped) {
    const std::string ninetyNine = ComposeCommand(std::string(96, 'x'));
    ASSERT_EQ(ninetyNine.size(), 99u);
    const auto sent = FrameCommand(ninetyNine);
    ASSERT_TRUE(sent.has_value());
    EXPECT_EQ(sent->size(), 101u);
    EXPECT_EQ(sent->substr(0, 99), ninetyNine);

    const std::string hundred = ComposeCommand(std::string(97, 'x'));
    ASSERT_EQ(hundred.size(), 100u);
    EXPECT_FALSE(FrameCommand(hundred).has_value());
}

TEST(Framing, PacketIsAcceptedOnlyWithStopAtNextToLast) {
    const std::string payload(32, '0');
    const struct {
        std::string packet;
        bool accepted;
    } cases[] = {
        {payload + ">>", true},
        {payload + ">x", true},
        {">x", true},
        {payload, false}, // cut at the first ">": the stop is gone
        {payload + "x>", false},
        {payload + ">", false},
        {">", false},
        {"", false},
        {payload.substr(0, 31) + ">" + "00", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsFrameAccepted(c.packet), c.accepted) << c.packet;
    EXPECT_EQ(RxPacketText(payload + ">>"), "<" + payload + ">>");
}
