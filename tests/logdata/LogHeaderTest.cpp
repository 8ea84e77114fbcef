// The file header's labels and values, the display's index rule, and what Save writes.
#include "logdata/LogSave.h"

#include "tests/TestDevices.h"
#include "tests/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using testfiles::ReadFile;

logdata::THeaderValues Sample() {
    logdata::THeaderValues v;
    v.KestroName = "Harbour One";
    v.SerialNo = "SN-0042";
    v.SoftwareVersion = "KV1.02";
    v.Zone1Text = "Stern";
    v.Zone2Text = "Keel";
    v.Zone3Text = "Bow";
    v.LogInterval = "15 Minutes";
    v.Material = "Steel";
    v.RefType = "Zinc";
    v.Zones = "3";
    v.CyclicLogging = true;
    v.LogCount = "17";
    v.KestroTime = "05/03/01 14:30";
    v.PcTime = "07/12/26";
    v.BatteryVolts = "12.5 V";
    return v;
}

const char* const SampleHeader = "*Configuration\r\n"
                                 "*-------------\r\n"
                                 "*Kestro Name         = Harbour One\r\n"
                                 "*Serial Number       = SN-0042\r\n"
                                 "*Software Version    = KV1.02\r\n"
                                 "*Zone1 Description   = Stern\r\n"
                                 "*Zone2 Description   = Keel\r\n"
                                 "*Zone3 Description   = Bow\r\n"
                                 "*Log Interval        = 15 Minutes\r\n"
                                 "*Hull Material       = Steel\r\n"
                                 "*Reference Type      = Zinc\r\n"
                                 "*Zones Enabled       = 3\r\n"
                                 "*Cyclic Logging      = Enabled\r\n"
                                 "*Log Count           = 17\r\n"
                                 "*Kestro Time         = 05/03/01 14:30\r\n"
                                 "*PC Time             = 07/12/26\r\n"
                                 "*Battery Voltage     = 12.5 V\r\n"
                                 "\r\n"
                                 "*Log Data\r\n"
                                 "*--------\r\n"
                                 " *Date     Time   Min1 Max1 Min2 Max2 Min3 Max3 \r\n";

TEST(LogHeader, LabelsKeepTheirColumnAndEmptySelectionsGiveEmptyValues) {
    logdata::THeaderValues v;
    const auto lines = logdata::HeaderLines(v);
    ASSERT_EQ(lines.size(), 21u);
    for (std::size_t i = 2; i <= 16; ++i) {
        ASSERT_EQ(lines[i].size(), i == 12 ? 31u : 23u) << lines[i];
        EXPECT_EQ(lines[i][21], '=') << lines[i];
        EXPECT_EQ(lines[i].substr(20, 3), " = ") << lines[i];
    }
    EXPECT_EQ(lines[12], "*Cyclic Logging      = Disabled");
    EXPECT_EQ(lines[17], "");
}

TEST(LogHeader, PcTimeIsATimeStampText) {
    const protocol::DateFormats formats;
    EXPECT_EQ(logdata::PcTimeText({2026, 12, 7, 10, 45, 30, 0}, formats), "07/12/26 10:45");
    EXPECT_EQ(logdata::PcTimeText({2026, 12, 7, 0, 0, 0, 0}, formats), "07/12/26");
}

TEST(LogDisplay, ShowsOnlyEntriesOneToTheCapacity) {
    logdata::TLogDisplay display;
    struct Case {
        int32_t Index, Capacity;
        bool Shown;
    };
    for (const Case& c : {Case{0, 511, false}, Case{1, 511, true}, Case{511, 511, true},
                          Case{512, 511, false}, Case{4090, 4090, true}, Case{-1, 511, false}}) {
        EXPECT_EQ(display.Show(c.Index, c.Capacity, "line"), c.Shown) << c.Index;
    }
    EXPECT_EQ(display.ShownLines().size(), 3u);
    EXPECT_EQ(display.Text(), "line\r\nline\r\nline\r\n");
    display.Clear();
    EXPECT_EQ(display.Text(), "");
}

class Save : public ::testing::Test {
protected:
    void SetUp() override { Name = testfiles::NewTempFile("quorva-save"); }
    void TearDown() override { std::remove(Name.c_str()); }
    std::string Name;
};

TEST_F(Save, EmptyDisplayGivesTheHeaderAndOneEmptyLine) {
    logdata::TLogFile file;
    logdata::TLogDisplay display;
    logdata::SaveLogFile(file, Name, Sample(), display);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(ReadFile(Name), std::string(SampleHeader) + "\r\n");
}

TEST_F(Save, DisplayedLinesFollowTheHeaderThenOneMoreLineEnd) {
    logdata::TLogFile file;
    logdata::TLogDisplay display;
    display.Show(17, 511, "17 05/03/01 14:30 -120 -85 0 0 0 0");
    display.Show(18, 511, "18 06/03/01 -1 2 3 4 5 6");
    logdata::SaveLogFile(file, Name, Sample(), display);
    EXPECT_EQ(ReadFile(Name), std::string(SampleHeader) + "17 05/03/01 14:30 -120 -85 0 0 0 0\r\n"
                                                          "18 06/03/01 -1 2 3 4 5 6\r\n"
                                                          "\r\n");
}

TEST_F(Save, HeaderForADownloadLeavesTheFileOpen) {
    logdata::TLogFile file;
    logdata::WriteLogHeader(file, Name, Sample());
    EXPECT_TRUE(file.IsOpen());
    file.WriteLine("1 05/03/01 14:30 0 0 0 0 0 0");
    file.Close();
    EXPECT_EQ(ReadFile(Name), std::string(SampleHeader) + "1 05/03/01 14:30 0 0 0 0 0 0\r\n");
}

TEST(SaveErrors, FailureClosesTheFileAndPassesTheMessageOn) {
    const testfiles::TFullDevice full;
    if (!full.Made())
        GTEST_SKIP() << "no device node can be made here";
    logdata::TLogFile file;
    logdata::TLogDisplay display;
    try {
        logdata::AllowCharacterDevicesForTests(true);
        logdata::SaveLogFile(file, full.Path(), Sample(), display);
        ADD_FAILURE() << "saved to a full device";
    } catch (const logdata::EInOutError& e) {
        EXPECT_STREQ(e.what(), "Disk full");
    }
    EXPECT_FALSE(file.IsOpen());
}

} // namespace
