// Get Logs: the request sequence, the file byte for byte, the display, abort, silence, errors.
#include "DownloadFixture.h"
#include "protocol/Convert.h"

#include "tests/TestDevices.h"
#include "tests/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>

namespace klinktest {
namespace {

using testfiles::ReadFile;

class Download : public TDownloadFixture<> {
protected:
    void StartWhenReady() {
        ASSERT_TRUE(Rig.RunUntilReady());
        Rig.Run(5500); // one full cycle with every value read
        // Start just after a tick, with no question out: no poll step falls before log 0.
        do {
            Rig.Run(1);
        } while (Rig.Link.Awaiting() || Rig.Now % 250 != 1);
        ClickAt = Rig.Now;
        SentBefore = Rig.Sent.size();
        Rig.Link.ReadAllLogsClick();
    }
    void RunUntilDone(int limitMs = 60000) { ASSERT_TRUE(Rig.RunUntilDownloaded(limitMs)); }
    std::vector<std::string> LogRequests() const {
        std::vector<std::string> r;
        for (const std::string& b : Rig.SentBodies(SentBefore)) {
            if (b[0] == 'l') {
                r.push_back(b);
            }
        }
        return r;
    }
    // Requests for entries 1 and up; the poll's own "l0000" does not count.
    std::size_t EntryRequests() const {
        const auto r = LogRequests();
        return static_cast<std::size_t>(
            std::count_if(r.begin(), r.end(), [](const std::string& b) { return b != "l0000"; }));
    }
    std::string ExpectedHeader() const {
        return "*Configuration\r\n"
               "*-------------\r\n"
               "*Kestro Name         = Harbour One     \r\n"
               "*Serial Number       = SN-0042         \r\n"
               "*Software Version    = KV1.2 x         \r\n"
               "*Zone1 Description   = Stern           \r\n"
               "*Zone2 Description   = Keel            \r\n"
               "*Zone3 Description   = Bow             \r\n"
               "*Log Interval        = 1 Hour\r\n"
               "*Hull Material       = Steel\r\n"
               "*Reference Type      = Zinc\r\n"
               "*Zones Enabled       = 2\r\n"
               "*Cyclic Logging      = Enabled\r\n"
               "*Log Count           = " +
               std::to_string(Rig.Log.size()) +
               "\r\n"
               "*Kestro Time         = 14/08/26 05:20\r\n"
               "*PC Time             = 08/12/26 10:45\r\n"
               "*Battery Voltage     = 12.5 V\r\n"
               "\r\n"
               "*Log Data\r\n"
               "*--------\r\n"
               " *Date     Time   Min1 Max1 Min2 Max2 Min3 Max3 \r\n";
    }
    // Entry 0 carries the log count in its first word.
    // An empty logger's entry 0 is itself empty and so not written.
    std::string EntryZeroLine() const {
        if (Rig.Log.empty()) {
            return "";
        }
        protocol::LogRecord zero;
        zero.Minutes = static_cast<int64_t>(
                           protocol::HexQuadToWord(LeWord(static_cast<uint32_t>(Rig.Log.size())))) *
                       65536;
        return protocol::LogLine(zero) + "\r\n";
    }
    std::string EntryLines(std::size_t count) const {
        std::string text;
        for (std::size_t i = 0; i < count; ++i) {
            text += protocol::LogLine(Rig.Log[i]) + "\r\n";
        }
        return text;
    }

    int ClickAt = 0;
    std::size_t SentBefore = 0;
};

TEST_F(Download, RequestsEveryEntryOnceAndWritesTheFileByteForByte) {
    Rig.FillLog(5);
    StartWhenReady();
    EXPECT_EQ(Rig.Host.Captions[Control::ReadLogsButton], "ABORT Get Logs");
    EXPECT_TRUE(Rig.Host.Memo.empty());
    RunUntilDone();
    EXPECT_EQ(LogRequests(), (std::vector<std::string>{"l0000", "l0001", "l0002", "l0003", "l0004",
                                                       "l0005", "l0006"}));
    // Log 0 at the second Timer2 tick after the click, then one request per tick.
    const auto& first = Rig.Sent[SentBefore];
    EXPECT_EQ(first.Body(), "l0000");
    EXPECT_GT(first.AtMs - ClickAt, 80);
    EXPECT_LE(first.AtMs - ClickAt, 160);
    for (std::size_t i = SentBefore + 1; i < SentBefore + 7; ++i) {
        EXPECT_EQ(Rig.Sent[i].AtMs - Rig.Sent[i - 1].AtMs, 80);
    }
    EXPECT_EQ(ReadFile(FileName), ExpectedHeader() + EntryZeroLine() + EntryLines(5));
    ASSERT_EQ(Rig.Host.Memo.size(), 5u);
    EXPECT_EQ(Rig.Host.Memo[0], protocol::LogLine(Rig.Log[0]));
    EXPECT_EQ(Rig.Link.Display().ShownLines(), Rig.Host.Memo);
    EXPECT_EQ(Rig.Host.Captions[Control::ReadLogsButton], "Getlogs - Kestro");
    // Ready again with the first poll reply; the poll resumes by itself.
    EXPECT_EQ(Rig.Link.Values().LinkState, klink::StateReadingLogs);
    Rig.Run(1000);
    EXPECT_EQ(Rig.Link.Values().LinkState, klink::StateReady);
}

TEST_F(Download, PollStepDueBeforeTheFirstRequestGoesOutAndLogZeroWaitsForItsReply) {
    Rig.FillLog(3);
    ASSERT_TRUE(Rig.RunUntilReady());
    Rig.Run(5500);
    // Just before a tick, with the poll's delay run out: the tick polls once more.
    while (Rig.Link.Awaiting() || Rig.Now % 250 != 249 || Rig.Link.Values().PollDelay != 0) {
        Rig.Run(1);
    }
    SentBefore = Rig.Sent.size();
    Rig.Link.ReadAllLogsClick();
    RunUntilDone();
    const auto bodies = Rig.SentBodies(SentBefore);
    ASSERT_GE(bodies.size(), 5u);
    const std::vector<std::string> tail(bodies.end() - 5, bodies.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"l0000", "l0001", "l0002", "l0003", "l0004"}));
    EXPECT_EQ(bodies.size(), 6u); // one poll step, then the download
    EXPECT_EQ(Rig.Host.Memo.size(), 3u);
    EXPECT_EQ(ReadFile(FileName), ExpectedHeader() + EntryZeroLine() + EntryLines(3));
}

TEST_F(Download, StatusShowsTheEntryAbortStaysUsableAndSaveIsLocked) {
    Rig.FillLog(40);
    StartWhenReady();
    Rig.Run(1000);
    ASSERT_TRUE(Rig.Link.Downloading());
    EXPECT_EQ(Rig.Link.Values().LinkState, klink::StateReadingLogs);
    // Shown at the last tick; the index may have moved on by one since.
    const int32_t index = Rig.Link.Values().LogIndex;
    const std::string status = Rig.Host.Texts[Control::Status];
    EXPECT_TRUE(status == "  Reading Kestro Log " + std::to_string(index) ||
                status == "  Reading Kestro Log " + std::to_string(index - 1))
        << status;
    EXPECT_TRUE(Rig.Host.DisableCalls.back());
    EXPECT_TRUE(Rig.Host.Enabled[Control::ReadLogsButton]);
    EXPECT_FALSE(Rig.Host.Enabled[Control::SaveLogs]);
    EXPECT_FALSE(Rig.Host.Enabled[Control::SaveAsMenu]);
    // A Save reaching the link anyway does nothing to the file being written.
    const int asked = Rig.Host.SaveAsked;
    Rig.Link.SaveAsClick();
    EXPECT_EQ(Rig.Host.SaveAsked, asked);
    // Abort: the file keeps every entry so far and is closed; nothing more is asked for.
    Rig.Link.ReadAllLogsClick();
    EXPECT_FALSE(Rig.Link.Downloading());
    EXPECT_EQ(Rig.Host.Captions[Control::ReadLogsButton], "Getlogs - Kestro");
    EXPECT_TRUE(Rig.Host.Enabled[Control::SaveAsMenu]);
    const std::size_t shown = Rig.Host.Memo.size();
    ASSERT_GT(shown, 5u);
    const std::size_t requests = EntryRequests();
    Rig.Run(2000);
    EXPECT_EQ(EntryRequests(), requests);
    EXPECT_EQ(Rig.Host.Memo.size(), shown);
    EXPECT_EQ(ReadFile(FileName), ExpectedHeader() + EntryZeroLine() + EntryLines(shown));
}

TEST_F(Download, AbortBeforeTheLoopAsksForNothingButLogZero) {
    Rig.FillLog(40);
    StartWhenReady();
    Rig.Run(150);
    Rig.Link.ReadAllLogsClick();
    Rig.Run(1000);
    EXPECT_LE(LogRequests().size(), 1u);
    EXPECT_TRUE(Rig.Host.Memo.empty());
}

TEST_F(Download, EmptyLoggerEndsAtEntryOneAndShowsNothing) {
    Rig.FillLog(0);
    StartWhenReady();
    RunUntilDone();
    EXPECT_EQ(LogRequests(), (std::vector<std::string>{"l0000", "l0001"}));
    EXPECT_TRUE(Rig.Host.Memo.empty());
    EXPECT_EQ(ReadFile(FileName), ExpectedHeader() + EntryZeroLine());
}

TEST_F(Download, FullLogIsReadUpToAndIncludingTheCapacity) {
    Rig.FillLog(511);
    StartWhenReady();
    RunUntilDone(120000);
    const auto requests = LogRequests();
    ASSERT_EQ(requests.size(), 512u);
    EXPECT_EQ(requests.back(), "l01FF");
    EXPECT_EQ(Rig.Host.Memo.size(), 511u);
    EXPECT_EQ(ReadFile(FileName), ExpectedHeader() + EntryZeroLine() + EntryLines(511));
}

TEST_F(Download, SecondDownloadReplacesTheDisplay) {
    Rig.FillLog(4);
    StartWhenReady();
    RunUntilDone();
    Rig.FillLog(2);
    Rig.Run(6000);
    Rig.Link.ReadAllLogsClick();
    RunUntilDone();
    EXPECT_EQ(Rig.Host.Memo.size(), 2u);
    EXPECT_EQ(Rig.Link.Display().ShownLines().size(), 2u);
}

TEST_F(Download, FaultyLineStillGivesEveryEntryOnceInOrder) {
    struct Case {
        const char* Name;
        int Delay, LoseEvery, GarbleEvery;
    };
    for (const Case& c :
         {Case{"late", 120, 0, 0}, Case{"lost", 40, 7, 0}, Case{"garbled", 40, 0, 5}}) {
        TRig rig;
        rig.Version = "KV1.2 x";
        rig.Host.SaveName = FileName;
        rig.FillLog(60);
        ASSERT_TRUE(rig.RunUntilReady());
        rig.Run(5500);
        rig.ReplyDelayMs = c.Delay;
        rig.LoseEvery = c.LoseEvery;
        rig.GarbleEvery = c.GarbleEvery;
        rig.Link.ReadAllLogsClick();
        ASSERT_TRUE(rig.RunUntilDownloaded()) << c.Name;
        const std::string file = ReadFile(FileName);
        std::string expected;
        for (std::size_t i = 0; i < rig.Log.size(); ++i) {
            expected += protocol::LogLine(rig.Log[i]) + "\r\n";
        }
        ASSERT_GE(file.size(), expected.size()) << c.Name;
        EXPECT_EQ(file.substr(file.size() - expected.size()), expected) << c.Name;
        EXPECT_EQ(rig.Host.Memo.size(), 60u) << c.Name;
    }
}

TEST_F(Download, SilentLoggerEndsAfterTheRequestLimitForOneEntry) {
    Rig.FillLog(50);
    StartWhenReady();
    while (Rig.Host.Memo.size() < 10) {
        Rig.Run(1);
    }
    Rig.Silent = true;
    RunUntilDone();
    const auto requests = LogRequests();
    const std::string last = requests.back();
    const int32_t index = protocol::HexQuadToWord(last.substr(1));
    EXPECT_EQ(std::count(requests.begin(), requests.end(), last), klink::SilentRequestLimit);
    ASSERT_EQ(Rig.Host.Messages.size(), 1u);
    EXPECT_EQ(Rig.Host.Messages[0],
              "The Kestro stopped answering at log " + std::to_string(index) + ".");
    const std::size_t shown = Rig.Host.Memo.size();
    EXPECT_EQ(static_cast<int32_t>(shown), index - 1);
    EXPECT_EQ(ReadFile(FileName), ExpectedHeader() + EntryZeroLine() + EntryLines(shown));
}

TEST_F(Download, CancelledDialogStartsNothing) {
    Rig.FillLog(5);
    Rig.Host.SaveName.reset();
    StartWhenReady();
    Rig.Run(1000);
    EXPECT_FALSE(Rig.Link.Downloading());
    EXPECT_EQ(EntryRequests(), 0u);
    EXPECT_EQ(Rig.Host.Captions[Control::ReadLogsButton], "Get Logs - Kestro  ");
    EXPECT_EQ(Rig.Link.Values().LinkState, klink::StateReady);
}

TEST_F(Download, HeaderThatCannotBeWrittenShowsTheErrorAndStartsNothing) {
    const testfiles::TFullDevice full;
    if (!full.Made())
        GTEST_SKIP() << "no device node can be made here";
    Rig.FillLog(5);
    logdata::AllowCharacterDevicesForTests(true);
    Rig.Host.SaveName = full.Path();
    StartWhenReady();
    Rig.Run(1000);
    EXPECT_FALSE(Rig.Link.Downloading());
    EXPECT_EQ(Rig.Host.Errors, std::vector<std::string>{"Disk full"});
    EXPECT_EQ(EntryRequests(), 0u);
}

TEST_F(Download, FileErrorDuringTheDownloadStopsItAndKeepsTheEntriesShown) {
    Rig.FillLog(50);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = ExpectedHeader().size() + 400;
    setrlimit(RLIMIT_FSIZE, &small);
    StartWhenReady();
    RunUntilDone();
    setrlimit(RLIMIT_FSIZE, &old);
    ASSERT_EQ(Rig.Host.Errors.size(), 1u);
    EXPECT_EQ(Rig.Host.Errors[0], "I/O error " + std::to_string(EFBIG));
    EXPECT_GT(Rig.Host.Memo.size(), 3u);
    EXPECT_LT(Rig.Host.Memo.size(), 50u);
    EXPECT_EQ(Rig.Host.Captions[Control::ReadLogsButton], "Getlogs - Kestro");
    const std::size_t requests = EntryRequests();
    Rig.Run(1000);
    EXPECT_EQ(EntryRequests(), requests);
}

TEST_F(Download, ClosingTheWindowFinishesTheFileAndSilencesTheLink) {
    Rig.FillLog(40);
    StartWhenReady();
    Rig.Run(800);
    Rig.Link.FormClose();
    const std::size_t shown = Rig.Host.Memo.size();
    EXPECT_EQ(ReadFile(FileName), ExpectedHeader() + EntryZeroLine() + EntryLines(shown));
    const std::size_t writes = Rig.Host.Wire.size();
    const std::size_t sets = Rig.Host.TextSets.size();
    Rig.Run(3000);
    Rig.Link.ComDataPacket1Packet(Delivered(""));
    Rig.Link.ReadAllLogsClick();
    Rig.Link.ClearKestroClick();
    EXPECT_EQ(Rig.Host.Wire.size(), writes);
    EXPECT_EQ(Rig.Host.TextSets.size(), sets);
    EXPECT_EQ(Rig.Host.ClearAsked, 0);
}

} // namespace
} // namespace klinktest
