// The archive's merging, its history, its figures and its schema as other tools see it.
#include "ArchiveSamples.h"

#include "archive/HistoryFigures.h"
#include "archive/Schema.h"
#include "tests/TestFiles.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

using archivesamples::Download;
using archivesamples::Header;
using archivesamples::Records;

class ArchiveFile : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = testfiles::NewTempFile("archive-test");
        std::remove(Folder.c_str());
        Path = Folder + "/sub/archive.sqlite3";
    }
    void TearDown() override { std::filesystem::remove_all(Folder); }
    std::string Folder, Path;
};

// Each step is one download into the same archive, with what it should add.
struct TMergeStep {
    const char* Serial;
    const char* Name;
    protocol::DateTime Start;
    int Count;
    int Salt;
    std::size_t Added, Duplicates, Conflicts;
};

struct TMergeCase {
    const char* Fault;
    std::vector<TMergeStep> Steps;
    std::size_t Loggers, EntriesOfFirst;
};

class MergeTest : public ArchiveFile, public ::testing::WithParamInterface<TMergeCase> {};

TEST_P(MergeTest, StoresEachEntryOnceAndKeepsConflicts) {
    archive::TArchive a(Path);
    for (const TMergeStep& s : GetParam().Steps) {
        const auto r =
            a.AddDownload(Download(Header(s.Serial, s.Name), Records(s.Start, s.Count, s.Salt)));
        EXPECT_EQ(r.Added, s.Added);
        EXPECT_EQ(r.Duplicates, s.Duplicates);
        EXPECT_EQ(r.Conflicts, s.Conflicts);
    }
    const auto loggers = a.Loggers();
    ASSERT_EQ(loggers.size(), GetParam().Loggers);
    EXPECT_EQ(loggers.front().Entries, GetParam().EntriesOfFirst);
}

constexpr protocol::DateTime July{2026, 7, 1, 0, 0, 0, 0};
constexpr protocol::DateTime August{2026, 8, 1, 0, 0, 0, 0};

INSTANTIATE_TEST_SUITE_P(Archive, MergeTest,
                         ::testing::Values(TMergeCase{"SameLogDownloadedTwiceStoredTwice",
                                                      {{"SN1", "Hull", July, 100, 0, 100, 0, 0},
                                                       {"SN1", "Hull", July, 100, 0, 0, 100, 0}},
                                                      1,
                                                      100},
                                           TMergeCase{"LoggerGrewSinceLastDownloadOldEntriesAgain",
                                                      {{"SN1", "Hull", July, 100, 0, 100, 0, 0},
                                                       {"SN1", "Hull", July, 150, 0, 50, 100, 0}},
                                                      1,
                                                      150},
                                           TMergeCase{"DownloadAfterClearNewEntriesLost",
                                                      {{"SN1", "Hull", July, 100, 0, 100, 0, 0},
                                                       {"SN1", "Hull", August, 80, 0, 80, 0, 0}},
                                                      1,
                                                      180},
                                           TMergeCase{"OtherReadingsSameTimeDroppedSilently",
                                                      {{"SN1", "Hull", July, 10, 0, 10, 0, 0},
                                                       {"SN1", "Hull", July, 10, 5, 0, 0, 10},
                                                       {"SN1", "Hull", July, 10, 5, 0, 10, 0}},
                                                      1,
                                                      20},
                                           TMergeCase{"RenamedLoggerSplitInTwo",
                                                      {{"SN1", "Hull", July, 10, 0, 10, 0, 0},
                                                       {"SN1", "Renamed", August, 10, 0, 10, 0, 0}},
                                                      1,
                                                      20},
                                           TMergeCase{"TwoLoggersSameTimesMergedTogether",
                                                      {{"SN1", "Hull", July, 10, 0, 10, 0, 0},
                                                       {"SN2", "Hull", July, 10, 0, 10, 0, 0},
                                                       {"", "Tender", July, 10, 0, 10, 0, 0},
                                                       {"?", "Tender", July, 10, 0, 0, 10, 0}},
                                                      3,
                                                      10}),
                         [](const auto& info) { return std::string(info.param.Fault); });

TEST_F(ArchiveFile, HistoryRunsAcrossClearsInTimeOrderUnderTheLatestHeader) {
    archive::TArchive a(Path);
    logdata::THeaderValues later = Header("SN1", "Hull");
    later.Zone1Text = "Rudder";
    a.AddDownload(Download(later, Records(August, 20)));
    a.AddDownload(Download(Header("SN1", "Hull"), Records(July, 30)));
    const auto logger = a.FindLogger("SN1");
    ASSERT_TRUE(logger);
    const logdata::TParsedLog history = a.History(logger->Id);
    ASSERT_EQ(history.Entries.size(), 50u);
    EXPECT_TRUE(std::is_sorted(history.Entries.begin(), history.Entries.end(),
                               [](const auto& x, const auto& y) { return x.Minutes < y.Minutes; }));
    EXPECT_EQ(history.Header.Zone1Text, "Stern           ") << "the latest download's header";
    EXPECT_EQ(history.Header.LogCount, "50");
    EXPECT_EQ(logger->FirstMinutes, protocol::MinutesSinceEpoch(July));
    const auto months =
        archive::MonthlyFigures(history, logdata::BandForHeader("Steel", "Ag AgCl"));
    ASSERT_EQ(months.size(), 2u);
    EXPECT_EQ(months[0].Month, 7);
    ASSERT_EQ(months[0].Zones.size(), 2u) << "only the enabled zones";
    EXPECT_EQ(months[0].Zones[0].Count + months[1].Zones[0].Count, 50u);
}

TEST_F(ArchiveFile, LatinOneTextsComeBackUnchanged) {
    archive::TArchive a(Path);
    a.AddDownload(Download(Header("SN\xE9", "Kj\xF8l"), Records(July, 1)));
    const auto logger = a.FindLogger("SN\xE9");
    ASSERT_TRUE(logger);
    EXPECT_EQ(logger->Key.Name, "Kj\xF8l");
    EXPECT_EQ(a.History(logger->Id).Header.SerialNo, "SN\xE9");
}

// Logger now (count, cyclic, clock) against an archive holding one download of 100 entries
// logged every 15 minutes from July 1st.
struct TClearCase {
    const char* Fault;
    const char* Serial;
    const char* LogCount;
    bool Cyclic;
    const char* Clock;
    std::optional<std::size_t> Unarchived;
};

class ClearCheckTest : public ArchiveFile, public ::testing::WithParamInterface<TClearCase> {};

TEST_P(ClearCheckTest, CountsEntriesTheArchiveLacks) {
    archive::TArchive a(Path);
    a.AddDownload(Download(Header("SN1", "Hull"), Records(July, 100)));
    logdata::THeaderValues now = Header(GetParam().Serial, "Hull");
    now.LogCount = GetParam().LogCount;
    now.CyclicLogging = GetParam().Cyclic;
    now.KestroTime = GetParam().Clock;
    EXPECT_EQ(archive::UnarchivedEntries(a, now), GetParam().Unarchived);
}

INSTANTIATE_TEST_SUITE_P(
    Archive, ClearCheckTest,
    ::testing::Values(
        TClearCase{"AllArchivedCountedAsNew", "SN1", "100", false, "02/07/26 01:00", 0},
        TClearCase{"GrownLogCountedWhole", "SN1", "130", false, "02/07/26 08:30", 30},
        TClearCase{"ClearedSinceTakenAsArchived", "SN1", "40", false, "", 40},
        TClearCase{"UnknownLoggerTakenAsArchived", "SN9", "12", false, "", 12},
        TClearCase{"WrappedCyclicLogTakenAsArchived", "SN1", "100", true, "02/07/26 06:45", 24},
        TClearCase{"UnreadCountTakenAsZero", "SN1", "?", false, "", std::nullopt}),
    [](const auto& info) { return std::string(info.param.Fault); });

// The schema as any tool sees it: the sqlite3 program over the views.
TEST_F(ArchiveFile, ViewsAnswerTheSqliteProgram) {
    {
        archive::TArchive a(Path);
        a.AddDownload(Download(Header("SN1", "Hull"), Records(July, 3)));
        a.AddDownload(Download(Header("SN1", "Hull"), Records(July, 3, 1)));
    }
    const std::string query =
        "SELECT serial, name, first_entry, last_entry, entries, conflicts, downloads FROM loggers;"
        "SELECT count(*), sum(added), sum(conflicts), min(pc_time), min(clock_offset) FROM "
        "downloads;"
        "SELECT serial, logger_time, entry, zone, zone_description, min_mv, max_mv FROM readings "
        "WHERE conflict = 0 AND entry = 2 ORDER BY zone;"
        "PRAGMA user_version;";
    FILE* pipe =
        popen(("sqlite3 -batch -separator , '" + Path + "' \"" + query + "\"").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    ASSERT_EQ(pclose(pipe), 0) << out;
    const protocol::LogRecord second = Records(July, 3)[2];
    EXPECT_EQ(out, "SN1,Hull,2026-07-01T00:00,2026-07-01T00:30,6,3,2\n"
                   "2,3,3,2026-08-14T05:21:00+01:00,-1\n"
                   "SN1,2026-07-01T00:15,2,1,Stern," +
                       std::to_string(second.Values[0]) + "," + std::to_string(second.Values[1]) +
                       "\nSN1,2026-07-01T00:15,2,2,Zone 2," + std::to_string(second.Values[2]) +
                       "," + std::to_string(second.Values[3]) + "\n" +
                       std::to_string(archive::SchemaVersion) + "\n");
}

} // namespace
