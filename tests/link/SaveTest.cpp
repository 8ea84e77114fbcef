// Save and Clear Screen through the link, and a window closed while a dialog is open.
#include "LinkRig.h"

#include "tests/TestDevices.h"
#include "tests/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace klinktest {
namespace {

using testfiles::ReadFile;

int CountLines(const std::string& text) {
    int n = 0;
    for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) {
        ++n;
    }
    return n;
}

class SaveThroughLink : public ::testing::Test {
protected:
    void SetUp() override {
        FileName = testfiles::NewTempFile("quorva-linksave");
        Rig.Host.SaveName = FileName;
        Rig.FillLog(6);
        ASSERT_TRUE(Rig.RunUntilReady());
        Rig.Run(5500);
    }
    void TearDown() override { std::remove(FileName.c_str()); }
    void Download() {
        Rig.Link.ReadAllLogsClick();
        ASSERT_TRUE(Rig.RunUntilDownloaded(10000));
    }
    TRig Rig;
    std::string FileName;
};

TEST_F(SaveThroughLink, SaveWritesTheDisplayedEntriesAndOneEmptyLine) {
    Download();
    const std::string downloaded = ReadFile(FileName);
    Rig.Link.SaveAsClick();
    const std::string saved = ReadFile(FileName);
    // The header again (with the PC time of now), entries 1 to 6 as shown, one more CR LF.
    EXPECT_EQ(CountLines(saved), 21 + 6 + 1);
    EXPECT_EQ(saved.substr(saved.size() - 4), "\r\n\r\n");
    const std::string entries = Rig.Link.Display().Text();
    EXPECT_EQ(saved.substr(saved.size() - entries.size() - 2, entries.size()), entries);
    // The download's file ended with entry 6 and no empty line.
    EXPECT_EQ(downloaded.substr(downloaded.size() - entries.size()), entries);
}

TEST_F(SaveThroughLink, SaveAfterClearScreenGivesTheHeaderAndOneEmptyLine) {
    Download();
    Rig.Link.ClrScreenButtonClick();
    EXPECT_TRUE(Rig.Host.Memo.empty());
    Rig.Link.SaveAsClick();
    const std::string saved = ReadFile(FileName);
    EXPECT_EQ(CountLines(saved), 22);
    EXPECT_EQ(saved.substr(saved.size() - 2 - 50),
              " *Date     Time   Min1 Max1 Min2 Max2 Min3 Max3 \r\n\r\n");
}

TEST_F(SaveThroughLink, CancelledSaveLeavesTheFileAndAFailedOneShowsTheError) {
    {
        std::ofstream keep(FileName, std::ios::binary);
        keep << "kept";
    }
    Rig.Host.SaveName.reset();
    Rig.Link.SaveAsClick();
    EXPECT_EQ(ReadFile(FileName), "kept");
    EXPECT_TRUE(Rig.Host.Errors.empty());
    const testfiles::TFullDevice full;
    if (!full.Made())
        GTEST_SKIP() << "no device node can be made here";
    logdata::AllowCharacterDevicesForTests(true);
    Rig.Host.SaveName = full.Path();
    Rig.Link.SaveAsClick();
    EXPECT_EQ(Rig.Host.Errors, std::vector<std::string>{"Disk full"});
}

TEST_F(SaveThroughLink, WindowClosedWhileADialogIsOpenStartsAndSendsNothing) {
    Rig.Host.DuringModal = [this] { Rig.Link.FormClose(); };
    const std::size_t writes = Rig.Host.Wire.size();
    Rig.Link.ClearKestroClick();
    EXPECT_EQ(Rig.Host.ClearAsked, 1);
    Rig.Link.ReadAllLogsClick();
    EXPECT_EQ(Rig.Host.SaveAsked, 0); // the link is already closed
    Rig.Run(2000);
    EXPECT_EQ(Rig.Host.Wire.size(), writes);
    EXPECT_FALSE(Rig.Link.Downloading());
}

TEST_F(SaveThroughLink, WindowClosedDuringTheFileDialogStartsNoDownload) {
    Rig.Host.DuringModal = [this] { Rig.Link.FormClose(); };
    Rig.Link.ReadAllLogsClick();
    EXPECT_EQ(Rig.Host.SaveAsked, 1);
    EXPECT_FALSE(Rig.Link.Downloading());
    EXPECT_EQ(ReadFile(FileName), ""); // the header was never written
}

TEST_F(SaveThroughLink, TimersAndRepliesRunWhileTheConfirmationIsOpen) {
    // The dialog stays open for a second while the poll goes on; the answer counts after.
    Rig.Host.DuringModal = [this] { Rig.Run(1000); };
    Rig.Link.ClearKestroClick();
    for (int t = 0; t < 300 && Rig.Link.Values().LinkState != klink::StateClearingLogs; ++t) {
        Rig.Run(1);
    }
    EXPECT_EQ(Rig.Link.Values().LinkState, klink::StateClearingLogs);
}

} // namespace
} // namespace klinktest
