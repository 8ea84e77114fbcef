// The real window against a simulated logger that misbehaves, and the log page's commands.
#include "SimFixture.h"

#include "cport/CPort.h"

#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>

namespace apptest {
namespace {

class ProgramFaultsTest : public SimAppTest {
protected:
    void Start(const sim::Config& Config) {
        StartLogger(Config);
        ShowWindow([this](app::TForm1& F) {
            F.SaveNameHook = [this] { return std::optional<std::string>(FileName()); };
        });
    }
    std::string FileName() const { return Dir.filePath("logs.txt").toStdString(); }
    bool Download(int Milliseconds) {
        QTest::mouseClick(Form->ReadLogsButton, Qt::LeftButton);
        return WaitFor([&] { return !Form->Link->Downloading(); }, Milliseconds);
    }
    std::string Written() const { return ReadFile(QString::fromStdString(FileName())); }
    static QStringList Lines(const std::string& Text) {
        QStringList L = QString::fromStdString(Text).split("\r\n");
        if (!L.isEmpty() && L.last().isEmpty())
            L.removeLast();
        return L;
    }

    QTemporaryDir Dir;
};

struct TFaultCase {
    const char* Name;
    sim::Faults Faults;
};

TEST_F(ProgramFaultsTest, EveryEntryArrivesOnceInOrderUnderEachFaultOfTheLine) {
    sim::Faults Late, Lost, Garbled, Split, Noisy;
    Late.replyDelayMs = 120;
    Lost.dropEvery = 7;
    Garbled.garbleEvery = 6;
    Split.splitEvery = 3;
    Split.splitAt = 34;
    Split.splitGapMs = 60;
    Noisy.noiseEvery = 4;
    const TFaultCase Cases[] = {{"reply delay 120 ms", Late},
                                {"lost replies", Lost},
                                {"garbled replies", Garbled},
                                {"replies split before their last character", Split},
                                {"noise after replies", Noisy}};
    for (const TFaultCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        sim::Config Config;
        Config.logs = 30;
        Config.faults = Case.Faults;
        Start(Config);
        // A lost reply costs its time-out and the line's settling, some 2.3 s.
        ASSERT_TRUE(WaitForReady(40000));
        ASSERT_TRUE(Download(60000));
        const QStringList File = Lines(Written());
        const std::vector<std::string> Expected = Runner->LogLines();
        ASSERT_GE(File.size(), static_cast<qsizetype>(Expected.size()));
        // The entries close the file, each once and under its own number.
        const QStringList Tail = File.mid(File.size() - Expected.size());
        for (size_t I = 0; I < Expected.size(); ++I)
            EXPECT_EQ(Tail[I].toStdString(), Expected[I]);
        for (const std::string& Line : Expected)
            EXPECT_EQ(File.count(QString::fromStdString(Line)), 1) << Line;
        EXPECT_EQ(Form->LogDataMemo->blockCount(), 30);
        TearDown();
        SetUp();
    }
}

TEST_F(ProgramFaultsTest, WhileSearchingOnlyTheFirstPollStepIsSent) {
    sim::Config Config;
    Config.faults.silentAfter = 0;
    Start(Config);
    Pump(2600);
    int Polls = 0;
    for (const std::string& Line : Runner->Transcript()) {
        if (Line.find(" SILENT ") == std::string::npos)
            continue;
        EXPECT_NE(Line.find("<i01>>82"), std::string::npos) << Line;
        ++Polls;
    }
    // One step every 500 ms: about five in 2.6 s.
    EXPECT_GE(Polls, 3);
    EXPECT_LE(Polls, 6);
    EXPECT_EQ(Form->Status->text(), "  Trying To Find Kestro");
}

TEST_F(ProgramFaultsTest, SetTimeSetsTheLoggersClockToThePcMinute) {
    sim::Config Config;
    Config.clockMinutes = 1000;
    Start(Config);
    ASSERT_TRUE(WaitForReady(12000));
    QTest::mouseClick(Form->SetDigTime, Qt::LeftButton);
    const QDateTime Epoch(QDate(2000, 1, 1), QTime(0, 0));
    const auto PcMinutes = [&] { return Epoch.secsTo(QDateTime::currentDateTime()) / 60; };
    EXPECT_TRUE(WaitFor(
        [&] {
            const int64_t Clock =
                Runner->Inspect([](const sim::Kestro& K) { return K.ClockMinutes(); });
            return std::llabs(Clock - PcMinutes()) <= 1;
        },
        2000));
}

TEST_F(ProgramFaultsTest, AbortSecondDownloadAndSaveAfterClearScreen) {
    sim::Config Config;
    Config.logs = 200;
    Start(Config);
    ASSERT_TRUE(WaitForReady(12000));
    QTest::mouseClick(Form->ReadLogsButton, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Form->LogDataMemo->blockCount() >= 20; }, 8000));
    ASSERT_TRUE(Form->ReadLogsButton->isEnabled()) << "the abort stays usable";
    QTest::mouseClick(Form->ReadLogsButton, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !Form->Link->Downloading(); }, 3000));
    const int Shown = Form->LogDataMemo->blockCount();
    EXPECT_LT(Shown, 200);
    EXPECT_EQ(Form->ReadLogsButton->text(), "Getlogs - Kestro");
    Pump(300);
    EXPECT_EQ(Form->LogDataMemo->blockCount(), Shown) << "nothing arrives after the abort";
    const QStringList Aborted = Lines(Written());
    EXPECT_TRUE(Aborted.contains(Form->LogDataMemo->toPlainText().split('\n').last()));

    ASSERT_TRUE(WaitForReady(12000));
    ASSERT_TRUE(Download(40000));
    EXPECT_EQ(Form->LogDataMemo->blockCount(), 200) << "a second download replaces the display";

    ASSERT_TRUE(WaitForReady(12000));
    QTest::mouseClick(Form->ClrScreenButton, Qt::LeftButton);
    QTest::mouseClick(Form->SaveLogs, Qt::LeftButton);
    const std::string Saved = Written();
    const QStringList SavedLines = QString::fromStdString(Saved).split("\r\n");
    // 21 header lines, one empty line, then the end of the file.
    ASSERT_EQ(SavedLines.size(), 23) << Saved;
    EXPECT_TRUE(SavedLines[21].isEmpty());
    EXPECT_TRUE(SavedLines[22].isEmpty());
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('\n').toStdString();
}

} // namespace
} // namespace apptest
