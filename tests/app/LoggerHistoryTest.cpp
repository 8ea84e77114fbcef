// The window and the archive: Get Logs keeps each download, View > Logger History lists the
// loggers, their months, and opens the viewer over a whole history.
#include "SimFixture.h"

#include "app/LogViewer.h"
#include "app/LoggerHistory.h"
#include "logdata/LogParse.h"
#include "logdata/LogStats.h"

#include <QAction>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace apptest {
namespace {

// Every test gets an archive of its own, named as a user would by QUORVA_ARCHIVE.
class ArchiveAppTest : public SimAppTest {
protected:
    void SetUp() override {
        SimAppTest::SetUp();
        ArchivePath = Dir.filePath("history/archive.sqlite3").toStdString();
        Saved = qgetenv("QUORVA_ARCHIVE");
        qputenv("QUORVA_ARCHIVE", QByteArray::fromStdString(ArchivePath));
        // Boxes an earlier test left queued are not this test's.
        Pump(10);
        Boxes.clear();
    }
    void TearDown() override {
        SimAppTest::TearDown();
        qputenv("QUORVA_ARCHIVE", Saved);
    }
    app::TLoggerHistory* OpenHistory() {
        Form->LoggerHistory1->trigger();
        return Form->findChild<app::TLoggerHistory*>();
    }
    QTemporaryDir Dir;
    std::string ArchivePath;
    QByteArray Saved;
};

QString Cell(QTableWidget* Table, int Row, int Column) {
    const QTableWidgetItem* Item = Table->item(Row, Column);
    return Item ? Item->text() : QString();
}

TEST_F(ArchiveAppTest, GetLogsTwiceArchivesEachEntryOnceAndTheHistoryShowsThem) {
    sim::Config Config;
    Config.logs = 5;
    Start(Config);
    ASSERT_TRUE(WaitForReady());
    const QString LogPath = Dir.filePath("logs.txt");
    Form->SaveNameHook = [&] { return std::optional<std::string>(LogPath.toStdString()); };
    for (int Download = 0; Download < 2; ++Download) {
        QTest::mouseClick(Form->ReadLogsButton, Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] { return !Form->Link->Downloading(); }, 15000));
    }
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('\n').toStdString();
    app::TLoggerHistory* History = OpenHistory();
    ASSERT_NE(History, nullptr);
    ASSERT_EQ(History->LoggerTable->rowCount(), 1);
    EXPECT_EQ(Cell(History->LoggerTable, 0, 0).toStdString(), Config.serial);
    EXPECT_EQ(Cell(History->LoggerTable, 0, 4), "5") << "the second download added nothing";
    EXPECT_EQ(Cell(History->LoggerTable, 0, 5), "2");
    History->LoggerTable->selectRow(0);
    app::TLogViewer* Viewer = History->OpenViewer();
    ASSERT_NE(Viewer, nullptr);
    std::vector<protocol::LogRecord> Expected;
    for (const std::string& Line : Runner->LogLines())
        Expected.push_back(*logdata::ParseLogLine(Line));
    EXPECT_EQ(Viewer->Log().Entries, Expected) << "the logger's entries as it holds them";
    Viewer->close();
}

// A logger downloaded in July and again after a clear in September: one history with a gap.
TEST_F(ArchiveAppTest, HistoryAcrossAClearHasAGapAndFiguresPerMonth) {
    Form = WithoutDialogs(std::make_unique<app::TForm1>());
    logdata::THeaderValues Header;
    Header.KestroName = "Hull";
    Header.SerialNo = "SN7";
    Header.LogInterval = "15 Minutes";
    Header.Material = "Steel";
    Header.RefType = "Ag AgCl";
    Header.Zones = "2";
    for (const auto& Start : {protocol::DateTime{2026, 7, 31, 12, 0, 0, 0},
                              protocol::DateTime{2026, 9, 10, 0, 0, 0, 0}}) {
        std::vector<protocol::LogRecord> Records(1); // the count record comes first
        for (int I = 1; I <= 100; ++I)
            Records.push_back({I,
                               protocol::MinutesSinceEpoch(Start) + 15 * (I - 1),
                               {-900, -850, -700, -650, 0, 0}});
        archive::ArchiveDownload(ArchivePath, Header, Records, "log.txt", Start);
    }
    app::TLoggerHistory* History = OpenHistory();
    ASSERT_NE(History, nullptr);
    History->LoggerTable->selectRow(0);
    // July and August from the first download, September from the second; two zones each.
    ASSERT_EQ(History->MonthTable->rowCount(), 6);
    EXPECT_EQ(Cell(History->MonthTable, 0, 0), "2026-07");
    EXPECT_EQ(Cell(History->MonthTable, 4, 0), "2026-09");
    EXPECT_EQ(Cell(History->MonthTable, 4, 2), "100");
    EXPECT_EQ(Cell(History->MonthTable, 5, 7), "0.0 %") << "zone 2 of September never over";
    QTest::mouseClick(History->OpenButton, Qt::LeftButton);
    auto* Viewer = Form->findChild<app::TLogViewer*>();
    ASSERT_NE(Viewer, nullptr);
    const logdata::TParsedLog& Log = Viewer->Log();
    ASSERT_EQ(Log.Entries.size(), 200u);
    EXPECT_EQ(Viewer->Summaries().size(), 2u);
    EXPECT_EQ(Viewer->Summaries().front().Count, 200u) << "the whole period";
    const auto Order = logdata::TimeOrder(Log.Entries);
    EXPECT_EQ(logdata::ContinuousRuns(Log.Entries, Order, Log.IntervalMinutes()).size(), 2u)
        << "the weeks between the downloads are a gap, not a line";
    Viewer->close();
}

TEST_F(ArchiveAppTest, AnArchiveThatCannotBeWrittenIsOneBoxAndTheLogStays) {
    Form = WithoutDialogs(std::make_unique<app::TForm1>());
    Pump(10);
    Boxes.clear(); // the missing port's
    // A file where the archive's folder should be.
    const QString Blocker = Dir.filePath("history");
    QFile(Blocker).open(QIODevice::WriteOnly);
    const std::vector<protocol::LogRecord> Records(3, {1, 1000, {}});
    klink::TDownloadOutcome Outcome{klink::TDownloadEnd::Complete, "/tmp/kept.txt", &Records};
    Form->DownloadEnded(Outcome);
    Outcome.End = klink::TDownloadEnd::Cancelled;
    Form->DownloadEnded(Outcome);
    Pump(50);
    ASSERT_EQ(Boxes.size(), 1) << "a cancelled download is not archived";
    EXPECT_TRUE(Boxes.front().contains(Blocker)) << Boxes.front().toStdString();
    EXPECT_TRUE(Boxes.front().contains("/tmp/kept.txt"));
}

} // namespace
} // namespace apptest
