// The real window, its timers and port, against the simulated logger on a pseudo-terminal.
#include "SimFixture.h"

#include "app/Shell.h"
#include "app/YesNo.h"
#include "cport/CPort.h"
#include "line/KestroLine.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdlib>

namespace apptest {
namespace {

class ProgramOnSimTest : public SimAppTest {
protected:
    // The logger holding this many entries, the window ready, and Get Logs saving to Path, a
    // file of this name in a folder of the test's own.
    void ReadyToDownload(int Logs, const char* FileName) {
        sim::Config Config;
        Config.logs = Logs;
        Start(Config);
        ASSERT_TRUE(WaitForReady());
        Path = Dir.filePath(FileName);
        Form->SaveNameHook = [this] { return std::optional<std::string>(Path.toStdString()); };
    }

    QTemporaryDir Dir;
    QString Path;
};

TEST_F(ProgramOnSimTest, FindsTheLoggerAndShowsItsSettingsWithTheControlsUnlocked) {
    Start();
    ASSERT_TRUE(WaitForReady()) << Form->Status->text().toStdString();
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('\n').toStdString();
    EXPECT_TRUE(Form->KestroName->text().startsWith("Kestro Sim"))
        << Form->KestroName->text().toStdString();
    EXPECT_EQ(Form->MaterialBox->currentText(), "Steel");
    EXPECT_EQ(Form->ZonesBox->currentText(), "3");
    EXPECT_EQ(Form->RefType->currentText(), "Ag AgCl");
    EXPECT_EQ(Form->LogIntBox->currentText(), "15 Minutes");
    EXPECT_FALSE(Form->CyclicLogCheckBox->isChecked());
    EXPECT_TRUE(Form->Zone1Text->text().startsWith("Bow"));
    EXPECT_TRUE(Form->CommsActive1->isChecked());
    EXPECT_TRUE(Form->CommsActive1->isHidden());
    for (QWidget* W :
         {static_cast<QWidget*>(Form->MaterialBox), static_cast<QWidget*>(Form->ReadLogsButton),
          static_cast<QWidget*>(Form->CyclicLogCheckBox)})
        EXPECT_TRUE(W->isEnabled()) << W->objectName().toStdString();
    EXPECT_FALSE(Form->KestroName->isReadOnly());
    EXPECT_EQ(Form->Status->palette().color(QPalette::Base), QColor(0, 255, 0));
    // The hidden trace memo holds the traffic: commands with their checksum, accepted replies.
    const QString Trace = Form->RxDat->toPlainText();
    EXPECT_TRUE(Trace.contains("\n<i01>>82\n")) << Trace.left(200).toStdString();
    EXPECT_TRUE(Trace.contains("\n<s>>2B\n")) << Trace.left(200).toStdString();
    EXPECT_TRUE(Trace.contains(QRegularExpression("\\n<[0-9A-F]{32}>>\\n")))
        << Trace.left(200).toStdString();
}

TEST_F(ProgramOnSimTest, TheUsersSettingsReachTheLoggerAndAreReadBack) {
    Start();
    ASSERT_TRUE(WaitForReady());
    Form->Data->setCurrentIndex(0);
    QTest::keyClick(Form->MaterialBox, Qt::Key_Down); // Steel -> Bronze
    ASSERT_EQ(Form->MaterialBox->currentText(), "Bronze");
    EXPECT_TRUE(WaitFor(
        [&] { return Runner->Inspect([](const sim::Kestro& K) { return K.Material() == 2; }); },
        2000));
    QTest::mouseClick(Form->CyclicLogCheckBox, Qt::LeftButton);
    EXPECT_TRUE(WaitFor(
        [&] { return Runner->Inspect([](const sim::Kestro& K) { return K.Cyclic(); }); }, 2000));
    Form->Zone2Text->selectAll();
    QTest::keyClicks(Form->Zone2Text, "Keel");
    EXPECT_TRUE(WaitFor(
        [&] {
            return Runner->Inspect(
                [](const sim::Kestro& K) { return K.Description(2).rfind("Keel", 0) == 0; });
        },
        3000));
    // A full cycle later the window still shows what the logger now holds.
    Pump(5500);
    EXPECT_EQ(Form->MaterialBox->currentText(), "Bronze");
    EXPECT_TRUE(Form->CyclicLogCheckBox->isChecked());
    EXPECT_TRUE(Form->Zone2Text->text().startsWith("Keel"));
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('\n').toStdString();
}

TEST_F(ProgramOnSimTest, GetLogsWritesTheHeaderAndEveryEntryAndShowsThem) {
    ASSERT_NO_FATAL_FAILURE(ReadyToDownload(40, "logs.txt"));
    Form->Data->setCurrentIndex(1);
    QTest::mouseClick(Form->ReadLogsButton, Qt::LeftButton);
    EXPECT_TRUE(Form->Link->Downloading());
    EXPECT_EQ(Form->ReadLogsButton->text(), "ABORT Get Logs");
    EXPECT_FALSE(Form->SaveLogs->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return !Form->Link->Downloading(); }, 15000));
    const std::string Written = ReadFile(Path);
    const std::string Dump = Runner->LogDump();
    ASSERT_GE(Written.size(), Dump.size());
    EXPECT_EQ(Written.substr(Written.size() - Dump.size()), Dump);
    const QStringList Shown = Form->LogDataMemo->toPlainText().split('\n');
    EXPECT_EQ(Shown.size(), 40);
    EXPECT_EQ(Shown.first().toStdString() + "\r\n", Runner->LogLines().front() + "\r\n");
    EXPECT_NE(Form->ReadLogsButton->text(), "ABORT Get Logs");
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('\n').toStdString();
}

TEST_F(ProgramOnSimTest, ClosingTheWindowDuringADownloadFinishesTheFile) {
    ASSERT_NO_FATAL_FAILURE(ReadyToDownload(400, "cut.txt"));
    QTest::mouseClick(Form->ReadLogsButton, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Form->LogDataMemo->blockCount() >= 10; }, 5000));
    Form->close();
    const int ShownAtClose = Form->LogDataMemo->toPlainText().split('\n').size();
    Pump(300);
    const std::string Written = ReadFile(Path);
    // Every entry shown is in the file, which is complete up to its last line.
    ASSERT_FALSE(Written.empty());
    EXPECT_EQ(Written.substr(Written.size() - 2), "\r\n");
    const std::string LastShown =
        Form->LogDataMemo->toPlainText().split('\n').last().toStdString() + "\r\n";
    EXPECT_NE(Written.find(LastShown), std::string::npos);
    EXPECT_GE(ShownAtClose, 10);
    EXPECT_FALSE(Form->Timer1->isActive());
}

TEST_F(ProgramOnSimTest, ALoggerThatFallsSilentEndsInTheSearchWithNothingLostOnScreen) {
    Start();
    ASSERT_TRUE(WaitForReady());
    const QString Name = Form->KestroName->text();
    Runner->Stop();
    EXPECT_TRUE(WaitForSearching(2500));
    EXPECT_EQ(Form->KestroName->text(), Name);
    EXPECT_FALSE(Form->CommsActive1->isChecked());
    EXPECT_TRUE(Form->KestroName->isReadOnly());
}

} // namespace
} // namespace apptest

namespace apptest {
namespace {

TEST_F(ProgramOnSimTest, AWriteThatFailsShowsOneBoxClosesThePortAndTheSearchBegins) {
    sim::Config Config;
    Config.faults.hangupAfter = 12;
    Start(Config);
    ASSERT_TRUE(WaitFor([&] { return Runner->HungUp(); }, 9000));
    // The adapter is gone for good: the freed pseudo-terminal number may go to another test's
    // terminal at once, which the program would rightly take for the adapter plugged back in.
    setenv("QUORVA_COM1", MissingPort, 1);
    const QString Name = Form->KestroName->text();
    EXPECT_TRUE(WaitFor([&] { return !Form->Line->Port().Connected(); }, 3000));
    EXPECT_TRUE(WaitForSearching(3000));
    Pump(1500);
    EXPECT_EQ(Boxes.size(), 1) << Boxes.join('\n').toStdString();
    EXPECT_EQ(Form->KestroName->text(), Name);
    EXPECT_TRUE(Form->isVisible());
}

TEST_F(ProgramOnSimTest, ClearWithYesWaitsThroughTheEraseThenTheLogIsEmpty) {
    sim::Config Config;
    Config.logs = 25;
    Config.eraseMs = 1500;
    Start(Config);
    ASSERT_TRUE(WaitForReady());
    ASSERT_TRUE(WaitFor([&] { return Form->LogNumber->text() != "?"; }, 6000));
    int Asked = 0;
    Form->ConfirmHook = [&] {
        ++Asked;
        return app::mrYes;
    };
    QTest::mouseClick(Form->ClearKestro, Qt::LeftButton);
    EXPECT_EQ(Asked, 1);
    EXPECT_TRUE(WaitFor([&] { return Form->Status->text() == "  Clearing Kestro Logs"; }, 1500));
    EXPECT_TRUE(WaitForReady(8000));
    EXPECT_EQ(Runner->Inspect([](const sim::Kestro& K) { return K.LogCount(); }), 0);
    EXPECT_TRUE(WaitFor([&] { return Form->LogNumber->text() == "0"; }, 6000))
        << Form->LogNumber->text().toStdString();
}

TEST_F(ProgramOnSimTest, ClearWithNoSendsNothing) {
    sim::Config Config;
    Config.logs = 5;
    Start(Config);
    ASSERT_TRUE(WaitForReady());
    QTest::mouseClick(Form->ClearKestro, Qt::LeftButton); // the fixture answers no
    Pump(1000);
    EXPECT_EQ(Runner->Inspect([](const sim::Kestro& K) { return K.LogCount(); }), 5);
    EXPECT_EQ(Form->Status->text(), "  Kestro Ready");
}

class SignalOnSimTest : public ProgramOnSimTest, public ::testing::WithParamInterface<int> {};

// A shutdown or logout during Get Logs: the file keeps every entry shown, whole, and the port
// is let go, as when the user closes the window.
TEST_P(SignalOnSimTest, EndsTheWindowAsClosingItWould) {
    ASSERT_NO_FATAL_FAILURE(ReadyToDownload(400, "cut.txt"));
    app::CloseWindowsOnSignals();
    QTest::mouseClick(Form->ReadLogsButton, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Form->LogDataMemo->blockCount() >= 10; }, 5000));
    std::raise(GetParam());
    ASSERT_TRUE(WaitFor([&] { return !Form->Timer1->isActive(); }, 3000));
    Pump(300);
    EXPECT_FALSE(Form->Line->Port().Connected());
    const std::string Written = ReadFile(Path);
    ASSERT_FALSE(Written.empty());
    EXPECT_EQ(Written.substr(Written.size() - 2), "\r\n");
    const std::string LastShown =
        Form->LogDataMemo->toPlainText().split('\n').last().toStdString() + "\r\n";
    EXPECT_NE(Written.find(LastShown), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(App, SignalOnSimTest, ::testing::Values(SIGTERM, SIGHUP),
                         [](const auto& Info) {
                             return Info.param == SIGTERM ? "Term" : "Hangup";
                         });

} // namespace
} // namespace apptest
