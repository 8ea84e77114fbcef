// Replies applied to the controls: settings, texts, clock, readings, version; what is ignored.
#include "LinkRig.h"
#include "protocol/Framing.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace klinktest {
namespace {

int CountSent(const TRig& rig, const std::string& prefix) {
    const auto bodies = rig.SentBodies();
    return static_cast<int>(std::count_if(bodies.begin(), bodies.end(), [&](const std::string& b) {
        return b.rfind(prefix, 0) == 0;
    }));
}

// Waits until the given poll body has just gone out (its reply not yet in).
void RunUntilAsked(TRig& rig, const std::string& body) {
    for (int i = 0; i < 10000; ++i) {
        rig.Run(1);
        if (!rig.Sent.empty() && rig.Sent.back().AtMs == rig.Now &&
            rig.Sent.back().Body() == body) {
            return;
        }
    }
    FAIL() << "never asked " << body;
}

TEST(Replies, FirstCycleFillsEveryControl) {
    TRig rig;
    rig.Version = "KV1.02";
    rig.FillLog(3);
    ASSERT_TRUE(rig.RunUntilReady());
    rig.Run(100);
    auto& h = rig.Host;
    EXPECT_EQ(h.Items[Control::MaterialBox], 2); // "Steel"
    EXPECT_EQ(h.Items[Control::ZonesBox], 2);
    EXPECT_EQ(rig.Link.Values().ZonesDigit, '2');
    EXPECT_EQ(h.Items[Control::LogIntBox], 7); // "1 Hour"
    EXPECT_EQ(rig.Link.Values().LogInterval, 60);
    EXPECT_TRUE(h.Checks[Control::CyclicLogCheckBox]);
    EXPECT_EQ(h.Items[Control::RefType], 1); // "Zinc"
    // Settings come before the version: the first cycle counts with 511 records.
    EXPECT_EQ(h.Texts[Control::LogTime], "21.2 days");
    EXPECT_FALSE(h.Enabled[Control::LogTime]);
    EXPECT_EQ(rig.Link.Values().LogCapacity, 2040);
    EXPECT_EQ(h.Texts[Control::KestroName], Pad16("Harbour One"));
    EXPECT_EQ(h.Texts[Control::SerialNo], Pad16("SN-0042"));
    EXPECT_EQ(h.Texts[Control::SoftwareVersion], Pad16("KV1.02"));
    EXPECT_EQ(h.Texts[Control::Zone1Text], Pad16("Stern"));
    EXPECT_EQ(h.Texts[Control::Zone2Text], Pad16("Keel"));
    EXPECT_EQ(h.Texts[Control::Zone3Text], Pad16("Bow"));
    EXPECT_EQ(h.Texts[Control::KestroTime], "14/08/26 05:20");
    EXPECT_EQ(h.Texts[Control::LogNumber], "3");
    EXPECT_EQ(h.Texts[Control::Edit1], "10 mV");
    EXPECT_EQ(h.Texts[Control::Edit2], "-1 mV");
    EXPECT_EQ(h.Texts[Control::Edit3], "-49151 mV");
    EXPECT_EQ(h.Colours[Control::Edit1], Colour::Window);
    EXPECT_EQ(h.Texts[Control::BatteryVolts], "12.5 V");
    EXPECT_EQ(rig.Link.Values().ZoneReadings[2], -49151);
    // The next cycle's settings count with the version's capacity.
    rig.Run(5000);
    EXPECT_EQ(h.Texts[Control::LogTime], "85.0 days");
}

TEST(Replies, OutOfRangeSettingsLeaveTheirControlsAndWordThreeClearsTheSelection) {
    TRig rig;
    ASSERT_TRUE(rig.RunUntilReady());
    rig.Run(5000);
    rig.Settings = {3, 7, 45, 0, 1, 2};
    const std::string days = rig.Host.Texts[Control::LogTime];
    rig.Run(5000);
    EXPECT_EQ(rig.Host.Items[Control::MaterialBox], -1);
    EXPECT_EQ(rig.Host.Items[Control::RefType], -1);
    EXPECT_EQ(rig.Host.Items[Control::ZonesBox], 2);  // 7 is out of range
    EXPECT_EQ(rig.Host.Items[Control::LogIntBox], 7); // 45 is no item
    EXPECT_EQ(rig.Link.Values().LogInterval, 45);
    EXPECT_EQ(rig.Host.Texts[Control::LogTime], days);
    rig.Settings = {1, 2, 0, 0, 1, 0};
    rig.Run(5000);
    EXPECT_EQ(rig.Host.Items[Control::LogIntBox], 1); // "Off"
    EXPECT_EQ(rig.Host.Texts[Control::LogTime], "0.0 days");
}

TEST(Replies, CyclicChangeIsSentBackOnceAndEqualTextsAreNeverWrittenBack) {
    TRig rig;
    ASSERT_TRUE(rig.RunUntilReady());
    rig.Run(15000); // three more cycles
    // The first read changed "?" to the logger's texts: each is echoed once, never again.
    EXPECT_EQ(CountSent(rig, "I03"), 1);
    EXPECT_EQ(CountSent(rig, "I05"), 1);
    EXPECT_EQ(CountSent(rig, "I06"), 1);
    EXPECT_EQ(CountSent(rig, "I08"), 1);
    EXPECT_EQ(CountSent(rig, "I03" + Pad16("Harbour One")), 1);
    const auto sets = std::count_if(rig.Host.TextSets.begin(), rig.Host.TextSets.end(),
                                    [](const auto& s) { return s.first == Control::KestroName; });
    EXPECT_EQ(sets, 1);
    EXPECT_EQ(CountSent(rig, "Y0"), 0);
    rig.Settings[4] = 0;
    rig.Run(5000);
    EXPECT_FALSE(rig.Host.Checks[Control::CyclicLogCheckBox]);
    EXPECT_EQ(CountSent(rig, "Y00"), 1);
    rig.Run(5000);
    EXPECT_EQ(CountSent(rig, "Y00"), 1);
    // A real rename on the logger is taken over and sent back once.
    rig.Name = "Harbour Two";
    rig.Run(5000);
    EXPECT_EQ(rig.Host.Texts[Control::KestroName], Pad16("Harbour Two"));
    EXPECT_EQ(CountSent(rig, "I03" + Pad16("Harbour Two")), 1);
}

TEST(Replies, UndecodableOrBadlyFramedReplyIsIgnoredAndTheAwaitedCodeKept) {
    TRig rig;
    ASSERT_TRUE(rig.RunUntilReady());
    rig.Run(2000);
    RunUntilAsked(rig, "c");
    const std::string edit1 = rig.Host.Texts[Control::Edit1];
    const std::size_t trace = rig.Link.RxDat().size();
    const int32_t countdown = rig.Link.Values().ReplyCountdown;
    for (const std::string& bad :
         {std::string("0A00FFFFG1400A0A0000000000000000>>"),
          std::string("0A00FFFF01400A0A0000000000000000>"), std::string("0A00FFFF014>")}) {
        rig.Link.ComDataPacket1Packet(bad);
        EXPECT_EQ(rig.Link.Values().AwaitedReply, protocol::ReplyReadings) << bad;
        EXPECT_EQ(rig.Link.RxDat().size(), trace) << bad;
        EXPECT_EQ(rig.Link.Values().ReplyCountdown, countdown) << bad;
        EXPECT_TRUE(rig.Link.Awaiting()) << bad;
        EXPECT_EQ(rig.Host.Texts[Control::DataWin], bad);
    }
    EXPECT_EQ(rig.Host.Texts[Control::Edit1], edit1);
    rig.Host.Texts[Control::Edit1] = "";
    rig.Run(100); // the real reply
    EXPECT_EQ(rig.Host.Texts[Control::Edit1], "10 mV");
    EXPECT_EQ(rig.Link.Values().AwaitedReply, protocol::ReplyNone);
    EXPECT_EQ(rig.Link.RxDat().back(),
              "<" + Delivered(LeWord(10) + LeWord(0xFFFF) + LeWord(0x4001) + LeWord(0x0A0A)));
}

TEST(Replies, NoiseInATextOrSettingsPayloadIsIgnoredAndNothingIsWrittenBack) {
    TRig rig;
    ASSERT_TRUE(rig.RunUntilReady());
    rig.Run(5000);
    const std::size_t sent = rig.Sent.size();
    for (const std::string& asked : {std::string("i03"), std::string("i01")}) {
        RunUntilAsked(rig, asked);
        std::string noisy = *rig.Answer(asked);
        noisy[8] = 'g'; // a non-hex character where a name's fifth letter or the cyclic flag lies
        noisy[16] = 'g';
        rig.Link.ComDataPacket1Packet(noisy);
        EXPECT_TRUE(rig.Link.Awaiting()) << asked;
    }
    EXPECT_EQ(rig.Host.Texts[Control::KestroName], Pad16("Harbour One"));
    EXPECT_TRUE(rig.Host.Checks[Control::CyclicLogCheckBox]);
    rig.Run(5000);
    for (const std::string& body : rig.SentBodies(sent)) {
        EXPECT_NE(body[0], 'I') << body;
        EXPECT_NE(body[0], 'Y') << body;
    }
    // Hex digits pass; a blank or any other character does not.
    EXPECT_TRUE(klink::PayloadIsHex(Delivered(TextPayload("Abc"))));
    EXPECT_FALSE(klink::PayloadIsHex("0000 000" + std::string(24, '0') + ">>"));
}

TEST(Replies, VersionSetsTheLogCapacity) {
    struct Case {
        std::string Version;
        int32_t Capacity;
    };
    for (const Case& c :
         {Case{"KV1.04", 4090}, Case{"KV1.02", 2040}, Case{"KV1.4 x", 511}, Case{"KV1", 511}}) {
        TRig rig;
        rig.Version = c.Version;
        ASSERT_TRUE(rig.RunUntilReady());
        EXPECT_EQ(rig.Link.Values().LogCapacity, c.Capacity) << c.Version;
    }
}

TEST(Senders, EveryButtonSendsItsBodyAndLeavesItsReplyCode) {
    using Click = void (klink::TKestroLink::*)();
    struct Case {
        Click Handler;
        std::string Body;
        int32_t Awaited;
    };
    const Case cases[] = {
        {&klink::TKestroLink::RdLogHeaderClick, "l0000", 20},
        {&klink::TKestroLink::GetLog1Click, "l0001", 21},
        {&klink::TKestroLink::Button1Click, "l0002", 21},
        {&klink::TKestroLink::Button2Click, "l0003", 21},
        {&klink::TKestroLink::RdSetupButtonClick, "i01", 25},
        {&klink::TKestroLink::ReadIdClick, "i03", 22},
        {&klink::TKestroLink::ReadTimeClick, "i04", 24},
        {&klink::TKestroLink::ReadSerialClick, "i05", 23},
        {&klink::TKestroLink::ReadSwVerClick, "s", 30},
        {&klink::TKestroLink::GetCurrentClick, "c", 29},
        {&klink::TKestroLink::TakeReadingClick, "c", 29},
        {&klink::TKestroLink::RdLog2Click, "l0002", 21},
    };
    TFakeHost host;
    klink::TKestroLink link(host);
    link.FormCreate();
    for (const Case& c : cases) {
        (link.*c.Handler)();
        ASSERT_FALSE(host.Wire.empty());
        EXPECT_EQ(host.Wire.back().substr(1, host.Wire.back().size() - 5), c.Body);
        EXPECT_EQ(link.Values().AwaitedReply, c.Awaited) << c.Body;
        link.ReplyTimeout(); // no answer
        link.ReplyTimeout(); // and the line stayed quiet
    }
    EXPECT_EQ(link.Values().LogIndex, 2); // only the RdLog operations number the entry
    link.CalibrationClick(0);
    EXPECT_EQ(host.Wire.back(), protocol::FrameCommand("<a0000>>").value());
    EXPECT_EQ(link.Values().AwaitedReply, 50);
    link.ReplyTimeout();
    link.Tick250();
    link.ReplyTimeout();
    link.SetTextTimeClick();
    EXPECT_EQ(host.Wire.back().substr(0, 4), "<I04");
    EXPECT_EQ(link.Values().AwaitedReply, protocol::ReplySetClock);
}

TEST(Replies, TrafficTraceKeepsTheLastThousandLines) {
    TFakeHost host;
    klink::TKestroLink link(host);
    link.FormCreate();
    for (int i = 0; i < 1200; ++i) {
        link.RdLogHeaderClick();
        link.ComDataPacket1Packet(Delivered(LeWord(static_cast<uint32_t>(i))));
    }
    // Each question and its answer: the newest 500 pairs.
    ASSERT_EQ(link.RxDat().size(), klink::RxDatMaxLines);
    EXPECT_EQ(link.RxDat().front(), protocol::FrameCommand("<l0000>>").value());
    EXPECT_EQ(link.RxDat()[1], "<" + Delivered(LeWord(700)));
    EXPECT_EQ(link.RxDat().back(), "<" + Delivered(LeWord(1199)));
}

TEST(Replies, CommandsAreFramedWithTheirChecksumAndRecordedInTheTrace) {
    TFakeHost host;
    klink::TKestroLink link(host);
    link.FormCreate();
    link.Tick250();
    ASSERT_EQ(host.Wire.size(), 1u);
    EXPECT_EQ(host.Wire[0], "<i01>>82");
    EXPECT_EQ(link.RxDat().back(), "<i01>>82");
    link.ReplyTimeout();
    link.ReplyTimeout();
    link.LogIntBoxChange(6);
    ASSERT_EQ(host.Wire.size(), 2u);
    EXPECT_EQ(host.Wire[1].substr(0, 8), "<P001>>>");
    EXPECT_EQ(link.Values().LogInterval, 30);
    link.ReplyTimeout();
    link.ReplyTimeout();
    link.KestroNameChange(std::string(17, 'x')); // too long: nothing, code unchanged
    EXPECT_EQ(host.Wire.size(), 2u);
    // Port closed: dropped without a trace line, but PollDelay and the code are still set.
    host.Connected = false;
    link.CalibrationClick(5);
    EXPECT_EQ(host.Wire.size(), 2u);
    EXPECT_EQ(link.RxDat().size(), 2u);
    EXPECT_EQ(link.Values().PollDelay, 1);
    EXPECT_EQ(link.Values().AwaitedReply, protocol::ReplyCalibrationFirst + 5);
}

} // namespace
} // namespace klinktest
