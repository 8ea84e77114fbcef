#include "cport/ComDataPacket.h"

#include "PtyHelper.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace cport;
using namespace std::chrono_literals;
using cport_test::ServeFor;
using cport_test::ServeUntil;

namespace {

// Records every delivery in order: "P:" for a packet, "D:" for discarded text.
struct TRecorder {
    std::vector<std::string> Events;
    void Bind(TComDataPacket& Packet) {
        Packet.OnPacket = [this](TObject*, const std::string& S) { Events.push_back("P:" + S); };
        Packet.OnDiscard = [this](TObject*, const std::string& S) { Events.push_back("D:" + S); };
    }
};

// Hands a chunk over exactly as the port does after reading it.
void Feed(TComDataPacket& Packet, const std::string& Chunk) {
    Packet.PacketLink().RxBufferReady(nullptr, Chunk.data(), static_cast<int>(Chunk.size()));
}

// The program's own extractor: replies between "<" and ">", at most 35 characters.
void UseReplyRules(TComDataPacket& Packet) {
    Packet.SetStartString("<");
    Packet.SetStopString(">");
    Packet.SetSize(35);
}

using TEvents = std::vector<std::string>;

} // namespace

TEST(ComDataPacketTest, ReplyRulesCutTheExampleFedChunkByChunk) {
    TComDataPacket Packet;
    TRecorder Rec;
    Rec.Bind(Packet);
    UseReplyRules(Packet);

    Feed(Packet, "xx<AB");
    EXPECT_EQ(Rec.Events, TEvents{"D:xx"});
    EXPECT_EQ(Packet.PacketBuffer(), "<AB");
    EXPECT_TRUE(Packet.InsidePacket());

    Feed(Packet, "C>yy<DE");
    EXPECT_EQ(Rec.Events, (TEvents{"D:xx", "P:ABC", "D:yy"}));
    EXPECT_EQ(Packet.PacketBuffer(), "<DE");
    EXPECT_TRUE(Packet.InsidePacket());
}

TEST(ComDataPacketTest, ReplyRulesCutAtSizeBeforeALateStop) {
    const std::string Digits(34, '7');
    TComDataPacket Packet;
    TRecorder Rec;
    Rec.Bind(Packet);
    UseReplyRules(Packet);

    Feed(Packet, "<" + Digits + ">");
    EXPECT_EQ(Rec.Events, TEvents{"P:" + Digits});
    EXPECT_EQ(Packet.PacketBuffer(), ">");
    EXPECT_FALSE(Packet.InsidePacket());
}

TEST(ComDataPacketTest, ReplyWithChecksumTailKeepsItsBracketsWhenCutBySize) {
    const std::string Hex = "0123456789ABCDEF0123456789ABCDEF";
    TComDataPacket Packet;
    TRecorder Rec;
    Rec.Bind(Packet);
    UseReplyRules(Packet);

    // A whole burst is cut by size; the first ">" is not the last character, so it stays.
    Feed(Packet, "<" + Hex + ">>");
    EXPECT_EQ(Rec.Events, TEvents{"P:" + Hex + ">>"});
    EXPECT_EQ(Packet.PacketBuffer(), "");

    // The same reply split after its first ">" is cut there instead.
    Rec.Events.clear();
    Feed(Packet, "<" + Hex + ">");
    Feed(Packet, ">");
    EXPECT_EQ(Rec.Events, TEvents{"P:" + Hex});
    EXPECT_EQ(Packet.PacketBuffer(), ">");
}

struct TCutCase {
    const char* Name;
    std::string Start, Stop;
    int Size;
    bool Include, CaseInsensitive;
    int MaxBuffer;
    std::vector<std::string> Chunks;
    TEvents Expected;
    std::string Left;
};

class ComDataPacketCutTest : public ::testing::TestWithParam<TCutCase> {};

TEST_P(ComDataPacketCutTest, DeliversInOrderAndKeepsTheRest) {
    const TCutCase& C = GetParam();
    TComDataPacket Packet;
    TRecorder Rec;
    Rec.Bind(Packet);
    Packet.SetStartString(C.Start);
    Packet.SetStopString(C.Stop);
    Packet.SetSize(C.Size);
    Packet.SetIncludeStrings(C.Include);
    Packet.SetCaseInsensitive(C.CaseInsensitive);
    Packet.SetMaxBufferSize(C.MaxBuffer);
    for (const std::string& Chunk : C.Chunks)
        Feed(Packet, Chunk);
    EXPECT_EQ(Rec.Events, C.Expected);
    EXPECT_EQ(Packet.PacketBuffer(), C.Left);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ComDataPacketCutTest,
    ::testing::Values(
        TCutCase{"NoStopRuleDeliversChunksWhole",
                 "<",
                 "",
                 0,
                 false,
                 false,
                 1024,
                 {"xx<a", "b>"},
                 {"P:xx<a", "P:b>"},
                 ""},
        TCutCase{"EmptyStartCutsAtEachStop",
                 "",
                 ">",
                 0,
                 false,
                 false,
                 1024,
                 {"ab>cd>e"},
                 {"P:ab", "P:cd"},
                 "e"},
        TCutCase{"TwoPacketsInOneChunkWithoutSize",
                 "<",
                 ">",
                 0,
                 false,
                 false,
                 1024,
                 {"<a><b>"},
                 {"P:a", "P:b"},
                 ""},
        TCutCase{"TwoShortPacketsInOneChunkWithSize",
                 "<",
                 ">",
                 35,
                 false,
                 false,
                 1024,
                 {"<a>x<b>"},
                 {"P:a", "D:x", "P:b"},
                 ""},
        TCutCase{"TextWithoutStartFlushedAtMaxBufferSize",
                 "<",
                 ">",
                 0,
                 false,
                 false,
                 8,
                 {"abcd", "efgh", "ij"},
                 {"D:abcdefgh"},
                 "ij"},
        TCutCase{"NoLimitKeepsEverything",
                 "<",
                 ">",
                 0,
                 false,
                 false,
                 0,
                 {std::string(3000, 'x')},
                 {},
                 std::string(3000, 'x')},
        TCutCase{"CaseInsensitiveStartAndStop",
                 "ab",
                 "end",
                 0,
                 false,
                 true,
                 1024,
                 {"xAB1bEnDz"},
                 {"D:x", "P:1b"},
                 "z"},
        TCutCase{
            "CaseSensitiveStartMisses", "ab", ">", 0, false, false, 1024, {"xAB1b>"}, {}, "xAB1b>"},
        TCutCase{"IncludeStringsKeepsDelimiters",
                 "<",
                 ">",
                 0,
                 true,
                 false,
                 1024,
                 {"z<ab>"},
                 {"D:z", "P:<ab>"},
                 ""},
        TCutCase{
            "SizeWinsOverEarlierStop", "<", ">", 4, false, false, 1024, {"<a>bc"}, {"P:a>b"}, "c"},
        TCutCase{"SizeAloneCutsFixedBlocks",
                 "",
                 "",
                 3,
                 false,
                 false,
                 1024,
                 {"abcdefg"},
                 {"P:abc", "P:def"},
                 "g"},
        TCutCase{
            "StopIsSoughtAfterTheStart", "ab", "b", 0, false, false, 1024, {"abxb"}, {"P:x"}, ""},
        TCutCase{"MultiCharacterStopAcrossChunks",
                 "",
                 "\r\n",
                 0,
                 false,
                 false,
                 1024,
                 {"ab\r", "\ncd"},
                 {"P:ab"},
                 "cd"}),
    [](const ::testing::TestParamInfo<TCutCase>& Info) { return std::string(Info.param.Name); });

TEST(ComDataPacketTest, CustomStopCutsAtTheHandlersPosition) {
    TComDataPacket Packet;
    TRecorder Rec;
    Rec.Bind(Packet);
    Packet.SetStartString("<");
    Packet.OnCustomStop = [](TObject*, const std::string& Str, int& Pos) {
        if (Str == "<abcdef")
            Pos = 3;
    };
    // The packet is the first three characters; nothing after them is lost.
    Feed(Packet, "<abcdef");
    EXPECT_EQ(Rec.Events, TEvents{"P:ab"});
    EXPECT_EQ(Packet.PacketBuffer(), "cdef");
}

TEST(ComDataPacketTest, CustomStartPositionsAndRefusals) {
    TComDataPacket Packet;
    TRecorder Rec;
    Rec.Bind(Packet);
    Packet.SetSize(3);
    int Answer = 0;
    Packet.OnCustomStart = [&](TObject*, const std::string&, int& Pos) { Pos = Answer; };

    // 0 and values below -1 mean "no start yet", even with an empty start string.
    for (int Refusal : {0, -2}) {
        Answer = Refusal;
        Feed(Packet, "xy");
        EXPECT_FALSE(Packet.InsidePacket());
    }
    EXPECT_TRUE(Rec.Events.empty());

    Answer = 5;
    Feed(Packet, "zS");
    EXPECT_EQ(Rec.Events, TEvents{"D:xyxy"});
    Feed(Packet, "T");
    EXPECT_EQ(Rec.Events, (TEvents{"D:xyxy", "P:zST"}));
    EXPECT_TRUE(Packet.InsidePacket());

    // Flushing an empty buffer leaves a started packet started.
    Packet.FlushBuffer();
    EXPECT_TRUE(Packet.InsidePacket());
    EXPECT_EQ(Rec.Events, (TEvents{"D:xyxy", "P:zST"}));

    // A start beyond the buffer discards all of it.
    TComDataPacket Fresh;
    TRecorder FreshRec;
    FreshRec.Bind(Fresh);
    Fresh.SetSize(3);
    Fresh.OnCustomStart = [](TObject*, const std::string&, int& Pos) { Pos = 100; };
    Feed(Fresh, "ab");
    EXPECT_EQ(FreshRec.Events, TEvents{"D:ab"});
    EXPECT_TRUE(Fresh.InsidePacket());
}

TEST(ComDataPacketTest, AnEmptyBufferFlushesToNothing) {
    TComDataPacket Packet;
    TRecorder Rec;
    Rec.Bind(Packet);
    Packet.SetStopString(">");
    // With no start string a new packet begins right after each stop.
    Feed(Packet, "abc>");
    EXPECT_EQ(Rec.Events, TEvents{"P:abc"});
    ASSERT_EQ(Packet.PacketBuffer(), "");
    ASSERT_TRUE(Packet.InsidePacket());
    Packet.SetSize(35);
    Packet.FlushBuffer();
    EXPECT_TRUE(Packet.InsidePacket());
    EXPECT_EQ(Rec.Events, TEvents{"P:abc"});
    Feed(Packet, "de>");
    EXPECT_EQ(Rec.Events, (TEvents{"P:abc", "P:de"}));
}

TEST(ComDataPacketTest, CustomStopBeyondTheBufferTakesWhatIsThere) {
    TComDataPacket Packet;
    TRecorder Rec;
    Rec.Bind(Packet);
    Packet.SetStartString("<");
    Packet.OnCustomStop = [](TObject*, const std::string&, int& Pos) { Pos = 100; };
    Feed(Packet, "<ab");
    EXPECT_EQ(Rec.Events, TEvents{"P:ab"});
    EXPECT_EQ(Packet.PacketBuffer(), "");
}

TEST(ComDataPacketTest, CustomStopOfOneEndsWhenTheBufferIsEmpty) {
    TComDataPacket Packet;
    TRecorder Rec;
    Rec.Bind(Packet);
    Packet.OnCustomStop = [](TObject*, const std::string&, int& Pos) { Pos = 1; };
    Feed(Packet, "abc");
    EXPECT_EQ(Rec.Events, (TEvents{"P:a", "P:b", "P:c"}));
    EXPECT_EQ(Packet.PacketBuffer(), "");
}

TEST(ComDataPacketTest, ManyPacketsInOneChunkAreCutInOnePass) {
    TComDataPacket Packet;
    int Count = 0;
    Packet.OnPacket = [&](TObject*, const std::string& S) { Count += S == "a"; };
    Packet.SetStopString(">");
    Packet.SetMaxBufferSize(0);
    std::string Chunk;
    for (int I = 0; I < 20000; ++I)
        Chunk += "a>";
    Feed(Packet, Chunk);
    EXPECT_EQ(Count, 20000);
}

TEST(ComDataPacketTest, ChangingARuleFlushesOnlyOnRealChange) {
    TComDataPacket Packet;
    TRecorder Rec;
    Rec.Bind(Packet);
    UseReplyRules(Packet);
    Feed(Packet, "<ab");

    Packet.SetSize(35);
    Packet.SetStartString("<");
    Packet.SetStopString(">");
    Packet.SetCaseInsensitive(false);
    Packet.SetIncludeStrings(true);
    Packet.SetMaxBufferSize(512);
    EXPECT_TRUE(Rec.Events.empty());
    EXPECT_EQ(Packet.PacketBuffer(), "<ab");

    Packet.SetSize(20);
    EXPECT_EQ(Rec.Events, TEvents{"D:<ab"});
    EXPECT_EQ(Packet.PacketBuffer(), "");
    EXPECT_FALSE(Packet.InsidePacket());

    // An empty buffer is flushed without a discard event.
    Packet.SetStopString("]");
    Packet.SetCaseInsensitive(true);
    EXPECT_EQ(Rec.Events.size(), 1u);

    // While loading from a form the rules change without flushing.
    Feed(Packet, "<cd");
    Packet.BeginLoading();
    Packet.SetStartString("[");
    Packet.Loaded();
    EXPECT_EQ(Packet.PacketBuffer(), "<cd");
}

TEST(ComDataPacketTest, NewStartRuleFlushesNothingFromAnEmptyOpenPacket) {
    TComDataPacket Packet;
    TRecorder Rec;
    Rec.Bind(Packet);
    Packet.SetStopString(">");
    Feed(Packet, "a>");
    // The packet that began after "a>" holds nothing, so the flush leaves it begun: what
    // follows belongs to it up to the next stop.
    Packet.SetStartString("<");
    Feed(Packet, "xx<b>");
    EXPECT_EQ(Rec.Events, (TEvents{"P:a", "P:xx<b"}));
    Feed(Packet, "yy<c>");
    EXPECT_EQ(Rec.Events, (TEvents{"P:a", "P:xx<b", "D:yy", "P:c"}));
}

TEST(ComDataPacketTest, BufferLimitIsKeptWhenAHandlerThrows) {
    TComDataPacket Packet;
    TRecorder Rec;
    Rec.Bind(Packet);
    Packet.SetStopString(">");
    Packet.SetMaxBufferSize(4);
    Packet.OnPacket = [](TObject*, const std::string&) { throw std::runtime_error("decoder"); };
    EXPECT_THROW(Feed(Packet, "a>bcdefg"), std::runtime_error);
    EXPECT_EQ(Rec.Events, TEvents{"D:bcdefg"});
    EXPECT_EQ(Packet.PacketBuffer(), "");

    // A throwing discard handler still leaves the buffer empty.
    Packet.OnDiscard = [](TObject*, const std::string&) { throw std::runtime_error("discard"); };
    Packet.SetMaxBufferSize(0);
    Feed(Packet, "xyz");
    EXPECT_THROW(Packet.FlushBuffer(), std::runtime_error);
    EXPECT_EQ(Packet.PacketBuffer(), "");
    EXPECT_FALSE(Packet.InsidePacket());
}

namespace {

void ExpectLinkError(const std::function<void()>& Call) {
    try {
        Call();
        ADD_FAILURE() << "no error";
    } catch (const EComPort& E) {
        EXPECT_EQ(E.ErrorCode(), 18);
    }
}

} // namespace

TEST(ComDataPacketPortTest, BindingMovesTheLinkBetweenPorts) {
    TComPort A, B;
    TComDataPacket Packet;
    TComLink* Link = &Packet.PacketLink();
    Packet.SetComPort(&A);
    EXPECT_EQ(Packet.ComPort(), &A);
    ExpectLinkError([&] { A.AttachLink(Link); });

    Packet.SetComPort(&B);
    ExpectLinkError([&] { A.DetachLink(Link); });
    ExpectLinkError([&] { B.AttachLink(Link); });

    Packet.SetComPort(nullptr);
    ExpectLinkError([&] { B.DetachLink(Link); });
}

TEST(ComDataPacketPortTest, DestroyingThePortReleasesTheExtractor) {
    TComDataPacket Packet;
    {
        TComPort Port;
        Packet.SetComPort(&Port);
    }
    EXPECT_EQ(Packet.ComPort(), nullptr);
    TComPort Other;
    Packet.SetComPort(&Other);
    EXPECT_EQ(Packet.ComPort(), &Other);
}

TEST(ComDataPacketPortTest, DestroyedExtractorLeavesTheBytesToOnRxChar) {
    cport_test::TPty Pty;
    TComPort Port;
    Port.SetPort(Pty.SlavePath());
    auto Packet = std::make_unique<TComDataPacket>();
    Packet->SetComPort(&Port);
    Packet.reset();
    int Waiting = 0;
    Port.OnRxChar = [&](TObject*, int Count) { Waiting = Count; };
    Port.OpenPort();
    Pty.Write("<ab>");
    EXPECT_TRUE(ServeUntil([&] { return Waiting == 4; }));
    Port.ClosePort();
}

TEST(ComDataPacketPortTest, ReplyWrittenInOneBurstArrivesAsOnePacket) {
    const std::string Hex = "00112233445566778899AABBCCDDEEFF";
    cport_test::TPty Pty;
    cport_test::TComEnv Env(7, Pty.SlavePath());
    TComPort Port;
    Port.SetPort("COM7");
    Port.SetEventChar('>');
    TComDataPacket Packet;
    TRecorder Rec;
    Rec.Bind(Packet);
    UseReplyRules(Packet);
    Packet.SetComPort(&Port);
    int Flags = 0;
    Port.OnRxFlag = [&](TObject*) { ++Flags; };

    Port.OpenPort();
    Pty.Write("<" + Hex + ">>");
    EXPECT_TRUE(ServeUntil([&] { return !Rec.Events.empty() && Flags > 0; }));
    ServeFor(50ms);
    Port.ClosePort();
    ASSERT_EQ(Rec.Events, TEvents{"P:" + Hex + ">>"});
    EXPECT_EQ(Rec.Events[0].size() - 2, 34u);
}

TEST(ComDataPacketPortTest, ExampleSentInTwoWritesIsCutAsItArrives) {
    cport_test::TPty Pty;
    TComPort Port;
    Port.SetPort(Pty.SlavePath());
    TComDataPacket Packet;
    TRecorder Rec;
    Rec.Bind(Packet);
    UseReplyRules(Packet);
    Packet.SetComPort(&Port);

    Port.OpenPort();
    Pty.Write("xx<AB");
    EXPECT_TRUE(ServeUntil([&] { return Rec.Events.size() == 1; }));
    EXPECT_EQ(Packet.PacketBuffer(), "<AB");
    Pty.Write("C>yy<DE");
    EXPECT_TRUE(ServeUntil([&] { return Rec.Events.size() == 3; }));
    Port.ClosePort();
    EXPECT_EQ(Rec.Events, (TEvents{"D:xx", "P:ABC", "D:yy"}));
    EXPECT_EQ(Packet.PacketBuffer(), "<DE");
}
