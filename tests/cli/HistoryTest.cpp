// kestro and the archive: the history command as a script runs it, and the steps download and
// clear take with the archive.
#include "KestroRun.h"

#include "archive/Archive.h"
#include "cli/CommandLine.h"
#include "cli/ExitCodes.h"
#include "cli/History.h"
#include "logdata/LogCsv.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

logdata::THeaderValues Header(const std::string& serial, const std::string& count) {
    logdata::THeaderValues v;
    v.KestroName = "Hull One";
    v.SerialNo = serial;
    v.LogInterval = "15 Minutes";
    v.Material = "Steel";
    v.RefType = "Ag AgCl";
    v.Zones = "3";
    v.LogCount = count;
    v.KestroTime = "14/08/26 05:20";
    v.PcTime = "14/08/26 05:21";
    return v;
}

// The count record, then entries 1..count every 15 minutes.
std::vector<protocol::LogRecord> Records(int count) {
    std::vector<protocol::LogRecord> records(1);
    records[0].Minutes = int64_t{count} << 24;
    for (int i = 1; i <= count; ++i)
        records.push_back({i, 13'000'000 + 15 * i, {-800 - i, -700 + i, -810, -790, -820, -780}});
    return records;
}

class ArchiveCli : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        Path = Dir.filePath("archive.sqlite3").toStdString();
        Options.Archive = Path;
    }
    // Archives a complete download of count entries of the logger.
    int Download(const std::string& serial, int count) {
        const auto records = Records(count);
        klink::TDownloadOutcome outcome{klink::TDownloadEnd::Complete, "log.txt", &records};
        return cli::ArchiveDownload(Options, Header(serial, std::to_string(count)), outcome);
    }
    QTemporaryDir Dir;
    std::string Path;
    cli::TOptions Options;
};

// Only a complete download goes in, and a failing archive is exit 4, not a lost download.
TEST_F(ArchiveCli, OnlyCompleteDownloadsArchivedAndFailureIsExitFour) {
    const auto records = Records(5);
    struct {
        const char* Fault;
        klink::TDownloadEnd End;
        bool NoArchive;
        const char* ArchiveAt; // relative to the folder
        int Code;
        std::size_t Entries;
    } const table[] = {
        {"CancelledDownloadArchived", klink::TDownloadEnd::Cancelled, false, "a", cli::ExitDone, 0},
        {"SilentLoggerArchived", klink::TDownloadEnd::LoggerSilent, false, "a", cli::ExitDone, 0},
        {"NoArchiveIgnored", klink::TDownloadEnd::Complete, true, "a", cli::ExitDone, 0},
        {"CompleteDownloadLost", klink::TDownloadEnd::Complete, false, "a", cli::ExitDone, 5},
        {"UnwritableArchiveIgnored", klink::TDownloadEnd::Complete, false, "a/x", cli::ExitFile, 5},
    };
    for (const auto& row : table) {
        cli::TOptions options;
        options.NoArchive = row.NoArchive;
        options.Archive = Dir.filePath(row.ArchiveAt).toStdString();
        klink::TDownloadOutcome outcome{row.End, "log.txt", &records};
        EXPECT_EQ(cli::ArchiveDownload(options, Header("SN1", "5"), outcome), row.Code)
            << row.Fault;
        if (QFileInfo(Dir.filePath("a")).isFile()) {
            archive::TArchive a(Dir.filePath("a").toStdString(), false);
            const auto logger = a.FindLogger("SN1");
            EXPECT_EQ(logger ? logger->Entries : 0u, row.Entries) << row.Fault;
        } else {
            EXPECT_EQ(row.Entries, 0u) << row.Fault;
        }
    }
}

TEST_F(ArchiveCli, ClearRefusedWhileTheLoggerHoldsWhatTheArchiveLacks) {
    ASSERT_EQ(Download("SN1", 20), cli::ExitDone);
    struct {
        const char* Fault;
        const char* Serial;
        const char* Count;
        bool Force, NoArchive;
        const char* Archive; // "" the test's archive
        int Code;
    } const table[] = {
        {"ArchivedLogRefused", "SN1", "20", false, false, "", cli::ExitDone},
        {"NewEntriesErased", "SN1", "25", false, false, "", cli::ExitNotArchived},
        {"UnknownLoggerErased", "SN2", "3", false, false, "", cli::ExitNotArchived},
        {"ForceIgnored", "SN1", "25", true, false, "", cli::ExitDone},
        {"NoArchiveIgnored", "SN1", "25", false, true, "", cli::ExitDone},
        {"UnreadableArchiveTakenAsArchived", "SN1", "25", false, false, "/proc/version/a",
         cli::ExitFile},
    };
    for (const auto& row : table) {
        cli::TOptions options = Options;
        options.Force = row.Force;
        options.NoArchive = row.NoArchive;
        if (*row.Archive)
            options.Archive = row.Archive;
        EXPECT_EQ(cli::CheckClearAllowed(options, Header(row.Serial, row.Count)), row.Code)
            << row.Fault;
    }
}

// The program as a script runs it, against an archive two downloads have filled.
TEST_F(ArchiveCli, HistoryCommandListsAndExportsWhatWasArchived) {
    ASSERT_EQ(Download("SN1", 30), cli::ExitDone);
    ASSERT_EQ(Download("SN2", 4), cli::ExitDone);
    const std::string csvPath = Dir.filePath("h.csv").toStdString();
    const std::map<std::string, std::string> env{{"QUORVA_ARCHIVE", Path}};

    const clitest::TRun list = clitest::RunKestro({"history"}, env);
    EXPECT_EQ(list.Code, cli::ExitDone) << list.Err;
    EXPECT_NE(list.Out.find("SN1          Hull One"), std::string::npos) << list.Out;
    EXPECT_NE(list.Out.find("30         1"), std::string::npos) << "entries and downloads";

    const clitest::TRun csv =
        clitest::RunKestro({"history", "--serial", "SN1", "--csv", csvPath}, env);
    EXPECT_EQ(csv.Code, cli::ExitDone) << csv.Err;
    archive::TArchive a(Path, false);
    EXPECT_EQ(clitest::ReadFile(csvPath), logdata::LogCsvText(a.History(a.FindLogger("SN1")->Id)))
        << "the CSV a download of the same entries writes";

    const clitest::TRun json = clitest::RunKestro(
        {"history", "--archive", Path, "--serial", "SN2", "--json"}, {{"QUORVA_ARCHIVE", "/x"}});
    EXPECT_EQ(json.Code, cli::ExitDone) << json.Err;
    const QJsonObject object =
        QJsonDocument::fromJson(QByteArray::fromStdString(json.Out)).object();
    EXPECT_EQ(object["entries"].toArray().size(), 4);

    const clitest::TRun unknown = clitest::RunKestro({"history", "--serial", "SN3"}, env);
    EXPECT_EQ(unknown.Code, cli::ExitNoLogger);
    const clitest::TRun missing =
        clitest::RunKestro({"history"}, {{"QUORVA_ARCHIVE", Dir.filePath("none").toStdString()}});
    EXPECT_EQ(missing.Code, cli::ExitFile);
    EXPECT_NE(missing.Err.find("none"), std::string::npos) << "names the file it looked for";
}

TEST(ArchiveOptions, ContradictionsAreUsageErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {"history", "--no-archive"}, {"download", "--archive", "a", "--no-archive"},
        {"history", "--csv", "x"},   {"history", "--serial", "S", "--csv", "x", "--json"},
        {"download", "--force"},     {"info", "--serial", "S"},
    };
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(cli::ParseCommandLine(args, error)) << args[0] << " " << args[1];
        EXPECT_FALSE(error.empty());
    }
    std::string error;
    const auto clear =
        cli::ParseCommandLine({"clear", "--yes", "--force", "--archive", "a"}, error);
    ASSERT_TRUE(clear) << error;
    EXPECT_TRUE(clear->Force);
    EXPECT_EQ(clear->Archive, "a");
}

} // namespace
