// Cutting commands out of the byte stream, as the logger receives them.

#include "sim/Wire.h"
#include "SimTestSupport.h"

#include <gtest/gtest.h>

namespace {

using sim::CommandReader;
using sim::Received;
using simtest::Wire;

std::vector<std::string> Bodies(const std::vector<Received>& got, Received::Kind kind) {
    std::vector<std::string> out;
    for (const Received& r : got)
        if (r.kind == kind)
            out.push_back(kind == Received::Malformed ? r.raw : r.body);
    return out;
}

TEST(CommandFraming, AgreesWithTheProgramsFramingForEveryCommandItSends) {
    std::vector<std::string> bodies = {"s",
                                       "C",
                                       "c",
                                       "i01",
                                       "l0000",
                                       "P001>",
                                       "P270?",
                                       "R0/",
                                       "T00D59F80",
                                       "I03" + std::string(16, ' '),
                                       "I04"
                                       "14000000",
                                       "I03\xE9t\xE9" + std::string(13, ' ')};
    for (const std::string& body : bodies)
        EXPECT_EQ(sim::FrameCommand(body), Wire(body)) << body;
    EXPECT_EQ(sim::FrameCommand("s"), "<s>>2B");
}

struct StreamCase {
    const char* what;
    std::string stream;
    std::vector<std::string> commands;
    std::vector<std::string> badChecksums;
    std::vector<std::string> malformed;
};

class CommandStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(CommandStream, CutsEveryCommandOnce) {
    const StreamCase& c = GetParam();
    CommandReader reader;
    std::vector<Received> all = reader.Push(c.stream);
    std::vector<Received> rest = reader.Flush();
    all.insert(all.end(), rest.begin(), rest.end());
    EXPECT_EQ(Bodies(all, Received::Command), c.commands);
    EXPECT_EQ(Bodies(all, Received::BadChecksum), c.badChecksums);
    EXPECT_EQ(Bodies(all, Received::Malformed), c.malformed);
    EXPECT_FALSE(reader.Pending());
}

const std::string kName = "A>>00<b>>FF     "; // a text field may look like frame ends

INSTANTIATE_TEST_SUITE_P(
    Streams, CommandStream,
    ::testing::Values(
        StreamCase{"two in a row", Wire("s") + Wire("i01"), {"s", "i01"}, {}, {}},
        StreamCase{"three > in a row", Wire("P001>") + Wire("c"), {"P001>", "c"}, {}, {}},
        StreamCase{"text holding > and <", Wire("I03" + kName), {"I03" + kName}, {}, {}},
        StreamCase{"noise before a command", "\r\n#junk" + Wire("s"), {"s"}, {}, {}},
        StreamCase{"wrong checksum", "<s>>00" + Wire("c"), {"c"}, {"s"}, {}},
        StreamCase{"unknown letter", Wire("x") + Wire("s"), {"x", "s"}, {}, {}},
        StreamCase{"known letter, short argument", Wire("l12") + Wire("s"), {"l12", "s"}, {}, {}},
        StreamCase{"a start that never ends", "<i0" + Wire("s"), {"s"}, {}, {"<i0"}},
        StreamCase{"decimal clock", Wire("I0414000000"), {"I0414000000"}, {}, {}},
        StreamCase{"cut short at the end", "<i01>>", {}, {}, {"<i01>>"}}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(CommandStream, ACommandArrivingByteByByteIsTakenWhenItsLastByteComes) {
    CommandReader reader;
    const std::string frame = Wire("I06" + kName);
    for (size_t i = 0; i + 1 < frame.size(); ++i)
        EXPECT_TRUE(reader.Push(frame.substr(i, 1)).empty()) << "after byte " << i;
    const std::vector<Received> got = reader.Push(frame.substr(frame.size() - 1));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].kind, Received::Command);
    EXPECT_EQ(got[0].body, "I06" + kName);
}

TEST(CommandStream, AnIncompleteUnknownCommandWaitsForTheLineToGoQuiet) {
    CommandReader reader;
    EXPECT_TRUE(reader.Push(Wire("i")).empty()); // "i" always has three characters
    EXPECT_TRUE(reader.Pending());
    const std::vector<Received> got = reader.Flush();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].kind, Received::Command);
    EXPECT_EQ(got[0].body, "i");
}

TEST(ReplyWords, LowByteFirstExceptTheLogCount) {
    EXPECT_EQ(sim::WordLowFirst(0x9F80), "809F");
    EXPECT_EQ(sim::WordHighFirst(0x000A), "000A");
    std::string blanks;
    for (int i = 0; i < 14; ++i)
        blanks += "20";
    EXPECT_EQ(sim::TextPayload("Ab"), "4162" + blanks);
}

} // namespace
