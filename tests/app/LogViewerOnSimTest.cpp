// The log viewer against the simulated logger: following a download live, and the files that
// Get Logs and Save wrote read back.
#include "SimFixture.h"

#include "app/LogViewer.h"
#include "logdata/LogParse.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace apptest {
namespace {

logdata::TParsedLog ParseFile(const QString& Path) {
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly))
        return {};
    const QByteArray Bytes = File.readAll();
    return logdata::ParseLogText(std::string_view(Bytes.constData(), Bytes.size()));
}

class LogViewerOnSimTest : public SimAppTest {
protected:
    QTemporaryDir Dir;
};

TEST_F(LogViewerOnSimTest, FollowsADownloadEntryByEntryAndReadsBackWhatGetLogsAndSaveWrote) {
    sim::Config Config;
    Config.logs = 40;
    Config.refType = 1; // Ag AgCl
    Start(Config);
    ASSERT_TRUE(WaitForReady());

    Form->LogChart1->trigger();
    const auto Live = Form->findChildren<app::TLogViewer*>();
    ASSERT_EQ(Live.size(), 1);
    app::TLogViewer* Viewer = Live.front();
    EXPECT_TRUE(Viewer->Log().Entries.empty());
    EXPECT_TRUE(Viewer->ReferenceLabel->text().contains("Ag AgCl"));

    const QString Got = Dir.filePath("got.txt");
    Form->SaveNameHook = [&] { return std::optional<std::string>(Got.toStdString()); };
    QTest::mouseClick(Form->ReadLogsButton, Qt::LeftButton);
    // Entries arrive while the download runs, not only at its end.
    ASSERT_TRUE(WaitFor([&] { return Viewer->Log().Entries.size() >= 5; }, 8000));
    EXPECT_TRUE(Form->Link->Downloading());
    ASSERT_TRUE(WaitFor([&] { return !Form->Link->Downloading(); }, 15000));
    Pump(400);
    ASSERT_EQ(Viewer->Log().Entries.size(), 40u);
    EXPECT_EQ(Viewer->Summaries().at(0).Count, 40u);

    // What the logger holds, line by line, is what the viewer shows and what the file reads as.
    std::vector<protocol::LogRecord> Held;
    for (const std::string& Line : Runner->LogLines()) {
        const auto Record = logdata::ParseLogLine(Line);
        ASSERT_TRUE(Record) << Line;
        if (Record->Index != 0)
            Held.push_back(*Record);
    }
    ASSERT_EQ(Held.size(), 40u);
    EXPECT_EQ(Viewer->Log().Entries, Held);
    const logdata::TParsedLog Downloaded = ParseFile(Got);
    ASSERT_TRUE(Downloaded.IsLog) << Downloaded.NotLogReason;
    EXPECT_TRUE(Downloaded.Problems.empty());
    EXPECT_EQ(Downloaded.Entries, Held);
    EXPECT_EQ(Downloaded.Header.KestroName.substr(0, 10), "Kestro Sim");
    EXPECT_EQ(Downloaded.Header.RefType, "Ag AgCl");
    EXPECT_EQ(Downloaded.ZoneDescription(1), "Bow");

    // Opened after the download, Log Chart starts from the entries on the page.
    Form->LogChart1->trigger();
    ASSERT_EQ(Form->findChildren<app::TLogViewer*>().size(), 2);
    EXPECT_EQ(Form->findChildren<app::TLogViewer*>().back()->Log().Entries, Held);

    const QString Saved = Dir.filePath("saved.txt");
    Form->SaveNameHook = [&] { return std::optional<std::string>(Saved.toStdString()); };
    ASSERT_TRUE(WaitFor([&] { return Form->SaveLogs->isEnabled(); }, 6000));
    QTest::mouseClick(Form->SaveLogs, Qt::LeftButton);
    const logdata::TParsedLog Resaved = ParseFile(Saved);
    ASSERT_TRUE(Resaved.IsLog) << Resaved.NotLogReason;
    EXPECT_TRUE(Resaved.Problems.empty());
    EXPECT_EQ(Resaved.Entries, Held);

    // A viewer of the downloaded file, beside the two that follow the page.
    Form->OpenNameHook = [&] { return Got; };
    Form->OpenSavedLog1->trigger();
    const auto All = Form->findChildren<app::TLogViewer*>();
    ASSERT_EQ(All.size(), 3);
    EXPECT_EQ(All.back()->Log().Entries, Held);

    // Clear Screen empties the viewers that follow the page, not the one of the file.
    QTest::mouseClick(Form->ClrScreenButton, Qt::LeftButton);
    EXPECT_TRUE(Viewer->Log().Entries.empty());
    EXPECT_TRUE(All[1]->Log().Entries.empty());
    EXPECT_EQ(All.back()->Log().Entries.size(), 40u);
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('\n').toStdString();
}

} // namespace
} // namespace apptest
