// Start-up, the factory switch, DisableEntries, handler bindings, errors and Exit.
#include "AppFixture.h"

#include "app/Shell.h"
#include "cport/CPort.h"
#include "line/KestroLine.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

namespace apptest {
namespace {

using StartupTest = AppTest;

TEST_F(StartupTest, Com1AtAPseudoTerminalIsOpenedWithTheSelectorsAtTheirPlaceholder) {
    auto Form = StartOnPty();
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('\n').toStdString();
    EXPECT_TRUE(Form->Line->Port().Connected());
    EXPECT_EQ(Form->Line->Port().Port(), "COM1");
    EXPECT_EQ(Form->Line->Port().FlowControl().ControlDTR(), cport::dtrEnable);
    EXPECT_EQ(Form->Line->Port().FlowControl().ControlRTS(), cport::rtsEnable);
    EXPECT_EQ(Form->ComPortBox->currentIndex(), 0);
    EXPECT_EQ(Form->ComPortBox->currentText(), "COM1");
    for (QComboBox* Box : {Form->LogIntBox, Form->ZonesBox, Form->MaterialBox, Form->RefType}) {
        EXPECT_EQ(Box->currentIndex(), 0);
        EXPECT_EQ(Box->currentText(), "?");
    }
    EXPECT_EQ(Form->Link->Values().LogCapacity, 511);
    EXPECT_EQ(Form->Link->Values().LinkState, 0);
    EXPECT_EQ(Form->Formats.ShortDateFormat, "dd/mm/yy");
    EXPECT_EQ(Form->Formats.LongTimeFormat, "hh:mm");
    EXPECT_EQ(Form->Formats.DateSeparator, '/');
    EXPECT_EQ(Form->Formats.TimeSeparator, ':');
}

TEST_F(StartupTest, MissingCom1GivesOneBoxAndLeavesThePortClosedAndTheSelectorEmpty) {
    auto Form = StartOnMissingPort();
    QCoreApplication::processEvents(); // the box opens once start-up has returned
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_TRUE(Boxes[0].startsWith("Unable to open com port (win error code: "))
        << Boxes[0].toStdString();
    EXPECT_FALSE(Form->Line->Port().Connected());
    EXPECT_EQ(Form->ComPortBox->currentIndex(), -1);
    EXPECT_EQ(Form->ComPortBox->currentText(), "ComPortBox");
    EXPECT_EQ(Form->Link->Values().LinkState, 0);
    for (QTimer* Timer : {Form->Timer1, Form->Timer2, Form->Timer3})
        EXPECT_TRUE(Timer->isActive());
    Pump(600);
    EXPECT_EQ(Boxes.size(), 1) << "the timers must not raise further boxes";
}

TEST_F(StartupTest, FactoryControlsAreHiddenWithinASecondAfterACutShortStartUp) {
    if (app::FactoryBuild)
        GTEST_SKIP() << "the factory build keeps these controls";
    auto Form = StartOnMissingPort();
    QWidget* const Factory[] = {Form->CalL1, Form->CalH1, Form->CalL2,   Form->CalH2,
                                Form->CalL3, Form->CalH3, Form->DataWin, Form->FactoryLab};
    const auto AllHidden = [&] {
        return std::all_of(std::begin(Factory), std::end(Factory),
                           [](QWidget* W) { return W->isHidden(); }) &&
               Form->SerialNo->isReadOnly() && !Form->SerialNo->isEnabled() &&
               !Form->CalL1->isEnabled() && !Form->CalH3->isEnabled();
    };
    EXPECT_FALSE(AllHidden()) << "start-up was cut short before the switch";
    EXPECT_TRUE(WaitFor(AllHidden, 1100));
    // Whatever shows them again is undone by the next one-second tick.
    Form->DataWin->show();
    Form->CalL2->setEnabled(true);
    EXPECT_TRUE(WaitFor(AllHidden, 1100));
    EXPECT_FALSE(Form->Edit1->isHidden());
}

TEST_F(StartupTest, FactoryControlsAreHiddenAtOnceAfterAFullStartUp) {
    if (app::FactoryBuild)
        GTEST_SKIP() << "the factory build keeps these controls";
    auto Form = StartOnPty();
    for (QWidget* W :
         {static_cast<QWidget*>(Form->CalL1), static_cast<QWidget*>(Form->CalH3),
          static_cast<QWidget*>(Form->DataWin), static_cast<QWidget*>(Form->FactoryLab)})
        EXPECT_TRUE(W->isHidden()) << W->objectName().toStdString();
    EXPECT_TRUE(Form->SerialNo->isReadOnly());
}

TEST_F(StartupTest, DisableEntriesLocksAndUnlocksTheFourteenControlsOnly) {
    auto Form = StartOnMissingPort();
    QLineEdit* const Texts[] = {Form->KestroName, Form->Zone1Text, Form->Zone2Text,
                                Form->Zone3Text};
    QWidget* const Locked[] = {Form->LogIntBox,        Form->RefType,        Form->ZonesBox,
                               Form->MaterialBox,      Form->ClearKestro,    Form->SaveLogs,
                               Form->ClrScreenButton,  Form->ReadLogsButton, Form->SetDigTime,
                               Form->CyclicLogCheckBox};
    const bool SerialReadOnly = Form->SerialNo->isReadOnly();
    const bool SerialEnabled = Form->SerialNo->isEnabled();
    for (bool Busy : {true, false, true, false}) {
        SCOPED_TRACE(Busy);
        Form->DisableEntries(Busy);
        for (QLineEdit* Edit : Texts) {
            EXPECT_EQ(Edit->isReadOnly(), Busy);
            EXPECT_TRUE(Edit->isEnabled());
        }
        for (QWidget* W : Locked)
            EXPECT_EQ(W->isEnabled(), !Busy) << W->objectName().toStdString();
        EXPECT_EQ(Form->SerialNo->isReadOnly(), SerialReadOnly);
        EXPECT_EQ(Form->SerialNo->isEnabled(), SerialEnabled);
        EXPECT_TRUE(Form->ComPortBox->isEnabled());
        EXPECT_TRUE(Form->MainMenu1->isEnabled());
    }
}

class BindingTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        Form = StartOnMissingPort();
        Form->HandlerTrace = [this](const char* Name) {
            // The timers tick meanwhile; only the controls' handlers matter here.
            const QString Handler(Name);
            if (!Handler.startsWith("Tick") && !Handler.startsWith("Timer"))
                Trace << Handler;
        };
    }
    std::unique_ptr<app::TForm1> Form;
    QStringList Trace;
};

TEST_F(BindingTest, ProgrammaticIndexChangesRunNoHandler) {
    for (QComboBox* Box :
         {Form->MaterialBox, Form->ZonesBox, Form->RefType, Form->LogIntBox, Form->ComPortBox})
        for (int Index : {2, 0, -1, 1})
            Box->setCurrentIndex(Index);
    EXPECT_TRUE(Trace.isEmpty()) << Trace.join(' ').toStdString();
}

TEST_F(BindingTest, ProgrammaticTextAndCheckChangesRunTheirHandlers) {
    const std::pair<QLineEdit*, const char*> Edits[] = {{Form->KestroName, "KestroNameChange"},
                                                        {Form->SerialNo, "SerialNoChange"},
                                                        {Form->Zone1Text, "Zone1TextChange"},
                                                        {Form->Zone2Text, "Zone2TextChange"},
                                                        {Form->Zone3Text, "Zone3TextChange"}};
    for (const auto& [Edit, Handler] : Edits) {
        Trace.clear();
        Edit->setText("Hull aft");
        EXPECT_EQ(Trace, QStringList{Handler});
    }
    Trace.clear();
    Form->CyclicLogCheckBox->setChecked(false);
    Form->CyclicLogCheckBox->setChecked(true);
    EXPECT_EQ(Trace, QStringList({"CyclicLogCheckBoxClick", "CyclicLogCheckBoxClick"}));
    Trace.clear();
    Form->Status->setText("x");
    Form->LogTime->setText("y");
    EXPECT_TRUE(Trace.isEmpty()) << Trace.join(' ').toStdString();
}

TEST_F(BindingTest, UserPicksRunTheListHandlers) {
    Form->show();
    const std::pair<QComboBox*, const char*> Lists[] = {{Form->MaterialBox, "MaterialBoxChange"},
                                                        {Form->ZonesBox, "ZonesBoxChange"},
                                                        {Form->RefType, "RefTypeChange"},
                                                        {Form->LogIntBox, "LogIntBoxChange"}};
    for (const auto& [Box, Handler] : Lists) {
        Trace.clear();
        Box->setCurrentIndex(0);
        QTest::keyClick(Box, Qt::Key_Down);
        EXPECT_EQ(Box->currentIndex(), 1);
        EXPECT_EQ(Trace, QStringList{Handler});
    }
    Trace.clear();
    QTest::keyClicks(Form->ComPortBox->lineEdit(), "9");
    EXPECT_EQ(Trace, QStringList{"ComPortBoxChange"}) << "typing in the port selector";
    Trace.clear();
    QTest::mouseClick(Form->CyclicLogCheckBox, Qt::LeftButton);
    EXPECT_EQ(Trace, QStringList{"CyclicLogCheckBoxClick"});
}

TEST_F(BindingTest, ButtonsAndMenuItemsRunTheirHandlers) {
    const std::pair<QPushButton*, const char*> Buttons[] = {
        {Form->CalL1, "CalL1Click"},
        {Form->CalH1, "CalH1Click"},
        {Form->CalL2, "CalL2Click"},
        {Form->CalH2, "CalH2Click"},
        {Form->CalL3, "CalL3Click"},
        {Form->CalH3, "CalH3Click"},
        {Form->SetDigTime, "SetDigTimeClick"},
        {Form->ClrScreenButton, "ClrScreenButtonClick"},
        {Form->ReadLogsButton, "ReadAllLogsClick"},
        {Form->SaveLogs, "SaveAsClick"},
        {Form->ClearKestro, "ClearKestroClick"},
        {Form->RdLogHeader, "RdLogHeaderClick"},
        {Form->GetLog1, "GetLog1Click"},
        {Form->Button1, "Button1Click"},
        {Form->Button2, "Button2Click"},
        {Form->Connect, "ConnectClick"},
        {Form->Disconnect, "DisconnectClick"}};
    for (const auto& [Button, Handler] : Buttons) {
        Trace.clear();
        // The binding is under test, not the factory switch that may have disabled it.
        Button->setEnabled(true);
        Button->click();
        EXPECT_EQ(Trace, QStringList{Handler}) << Button->objectName().toStdString();
    }
    const std::pair<QAction*, QStringList> Actions[] = {{Form->SaveAs, {"SaveAsClick"}},
                                                        {Form->Help1, {"Help1Click"}},
                                                        {Form->Open1, {}},
                                                        {Form->AreYouSure1, {}},
                                                        {Form->YN1, {}}};
    for (const auto& [Action, Handlers] : Actions) {
        Trace.clear();
        Action->trigger();
        EXPECT_EQ(Trace, Handlers) << Action->text().toStdString();
    }
}

TEST_F(BindingTest, TypingIsLimitedButTheProgramsTextIsKeptWhole) {
    Form->show();
    Form->KestroName->clear();
    QTest::keyClicks(Form->KestroName, "ABCDEFGHIJKLMNOPQRSTU");
    EXPECT_EQ(Form->KestroName->text(), "ABCDEFGHIJKLMNOP");
    Form->Zone1Text->setText("A description of twenty");
    EXPECT_EQ(Form->Zone1Text->text(), "A description of twenty");
    // A text longer than the limit can still be shortened by the user.
    Form->Zone1Text->setFocus();
    Form->Zone1Text->end(false);
    QTest::keyClick(Form->Zone1Text, Qt::Key_Backspace);
    EXPECT_EQ(Form->Zone1Text->text(), "A description of twent");
    Form->BatteryVolts->setText("12.6 V");
    EXPECT_EQ(Form->BatteryVolts->text(), "12.6 V");
}

TEST_F(StartupTest, TheClockTickShowsThePcTimeInTheProgramsFormat) {
    auto Form = StartOnMissingPort();
    EXPECT_TRUE(WaitFor([&] { return Form->PcTime->text() != "?"; }, 600));
    const QRegularExpression DateTime("^\\d\\d/\\d\\d/\\d\\d( \\d\\d:\\d\\d)?$");
    EXPECT_TRUE(DateTime.match(Form->PcTime->text()).hasMatch())
        << Form->PcTime->text().toStdString();
    EXPECT_TRUE(Form->CommsActive1->isHidden());
    bool Whole = false;
    Form->SenTime->text().toLongLong(&Whole);
    EXPECT_TRUE(Whole) << Form->SenTime->text().toStdString();
}

TEST_F(StartupTest, AnExceptionEscapingAHandlerIsShownAndEndsThatHandler) {
    bool RestRan = false;
    app::TForm1::Run([&] {
        throw cport::EComPort(cport::ecWriteFailed, 5);
        RestRan = true;
    });
    EXPECT_FALSE(RestRan);
    EXPECT_TRUE(Boxes.isEmpty()); // not inside the handler that raised it
    QCoreApplication::processEvents();
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_EQ(Boxes[0].toStdString(), cport::EComPort(cport::ecWriteFailed, 5).what());
    cport::HandleApplicationException(std::runtime_error("from the serial layer"));
    QCoreApplication::processEvents();
    ASSERT_EQ(Boxes.size(), 2);
    EXPECT_EQ(Boxes[1], "from the serial layer");
}

TEST_F(StartupTest, TheRealErrorBoxIsTheStandardCriticalBox) {
    app::SetErrorBoxHook({});
    QString Seen;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QTimer::singleShot(50, [&] {
        if (auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            Seen = Box->text();
            Icon = Box->icon();
            Box->accept();
        }
    });
    app::ShowErrorBox("Unable to open com port (win error code: 2)");
    QCoreApplication::processEvents();
    EXPECT_EQ(Seen, "Unable to open com port (win error code: 2)");
    EXPECT_EQ(Icon, QMessageBox::Critical);
}

TEST_F(StartupTest, ExitClosesThePortAndEndsTheLoop) {
    auto Form = StartOnPty();
    ASSERT_TRUE(Form->Line->Port().Connected());
    bool TimedOut = false;
    QTimer::singleShot(0, [&] { Form->Exit3->trigger(); });
    QTimer Guard;
    Guard.setSingleShot(true);
    QObject::connect(&Guard, &QTimer::timeout, [&] {
        TimedOut = true;
        QCoreApplication::quit();
    });
    Guard.start(5000);
    QCoreApplication::exec();
    EXPECT_FALSE(TimedOut);
    EXPECT_FALSE(Form->Line->Port().Connected());
}

} // namespace
} // namespace apptest
