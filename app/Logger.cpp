#include "app/Logger.h"

#include "app/HelpKestro.h"
#include "app/Shell.h"

#include "line/KestroLine.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace app {

TForm1::TForm1(QWidget* Parent) : QMainWindow(Parent) {
    CreateControls();
    Link = std::make_unique<klink::TKestroLink>(*this);
    BindEvents();
    for (QTimer* Timer : {Timer1, Timer2, Timer3})
        Timer->start();
    Run([this] { FormCreate(); });
}

TForm1::~TForm1() {
    ShutDown();
    // No event of the port may reach a window that is half gone.
    Line->OnPacket = nullptr;
    Line->OnActivity = nullptr;
    Run([this] { Line->Close(); });
}

void TForm1::Run(const std::function<void()>& Handler) {
    try {
        Handler();
    } catch (const std::exception& E) {
        ShowErrorBox(FromSystemText(E.what()));
    }
}

void TForm1::Dispatch(const char* Name, void (TForm1::*Handler)()) {
    if (FShutDown)
        return;
    if (HandlerTrace)
        HandlerTrace(Name);
    Run([this, Handler] { (this->*Handler)(); });
}

void TForm1::FormCreate() {
    Formats = protocol::DateFormats{'/', "dd/mm/yy", ':', "hh:mm"};
    Link->SetDateFormats(Formats);
    // The selectors, the log capacity, COM1 and the link state; a port that does not open
    // has shown its error, and the rest of start-up is skipped as for any error.
    if (!Link->FormCreate())
        return;
    ComPortBox->setCurrentIndex(0);
    Timer3Timer();
    // Applied a second time as the original start-up does; it changes nothing more.
    if (!FactoryBuild)
        ApplyFactorySwitch();
}

void TForm1::Tick250() {
    Link->Tick250();
    ShowLinkAlive();
    CommsActive1->hide();
    const QString Minutes = QString::fromStdString(Link->Values().SenTime);
    if (SenTime->text() != Minutes)
        SenTime->setText(Minutes);
}

void TForm1::ShowLinkAlive() {
    if (CommsActive1->isChecked() != Link->Values().LinkAlive)
        CommsActive1->setChecked(Link->Values().LinkAlive);
}

void TForm1::Timer2Timer() {
    Link->Timer2Timer();
}

void TForm1::Timer3Timer() {
    ApplyFactorySwitch();
}

void TForm1::ApplyFactorySwitch() {
    if (FactoryBuild)
        return;
    for (QPushButton* Button : {CalL1, CalH1, CalL2, CalH2, CalL3, CalH3}) {
        Button->setVisible(false);
        Button->setEnabled(false);
    }
    SerialNo->setReadOnly(true);
    SerialNo->setEnabled(false);
    FactoryLab->setVisible(false);
    DataWin->setVisible(false);
}

void TForm1::DisableEntries(bool Busy) {
    for (QLineEdit* Edit : {KestroName, Zone1Text, Zone2Text, Zone3Text})
        Edit->setReadOnly(Busy);
    QWidget* const Locked[] = {LogIntBox,   RefType,          ZonesBox,        MaterialBox,
                               ClearKestro, SaveLogs,         ClrScreenButton, ReadLogsButton,
                               SetDigTime,  CyclicLogCheckBox};
    for (QWidget* Control : Locked)
        Control->setEnabled(!Busy);
}

void TForm1::ShutDown() {
    if (FShutDown)
        return;
    // A running download finishes its file here; afterwards the link does nothing.
    Link->FormClose();
    FShutDown = true;
    for (QTimer* Timer : {Timer1, Timer2, Timer3, ReplyTimer})
        Timer->stop();
}

void TForm1::Exit3Click() {
    ShutDown();
    Line->Close();
    QCoreApplication::quit();
}

void TForm1::closeEvent(QCloseEvent* Event) {
    ShutDown();
    Run([this] { Line->Close(); });
    Event->accept();
}

void TForm1::Help1Click() {
    if (IntroForm)
        IntroForm->show();
}

void TForm1::MaterialBoxChange() {
    Link->MaterialBoxChange(MaterialBox->currentIndex());
}
void TForm1::ZonesBoxChange() {
    Link->ZonesBoxChange(ZonesBox->currentIndex());
}
void TForm1::RefTypeChange() {
    Link->RefTypeChange(RefType->currentIndex());
}
void TForm1::LogIntBoxChange() {
    Link->LogIntBoxChange(LogIntBox->currentIndex());
}

// The link sends the values it sets itself; only the user's own changes go to it from here.
void TForm1::CyclicLogCheckBoxClick() {
    if (!FApplying)
        Link->CyclicLogCheckBoxClick(CyclicLogCheckBox->isChecked());
}
void TForm1::KestroNameChange() {
    if (!FApplying)
        Link->KestroNameChange(ToStd(KestroName->text()));
}
void TForm1::SerialNoChange() {
    if (!FApplying)
        Link->SerialNoChange(ToStd(SerialNo->text()));
}
void TForm1::Zone1TextChange() {
    if (!FApplying)
        Link->Zone1TextChange(ToStd(Zone1Text->text()));
}
void TForm1::Zone2TextChange() {
    if (!FApplying)
        Link->Zone2TextChange(ToStd(Zone2Text->text()));
}
void TForm1::Zone3TextChange() {
    if (!FApplying)
        Link->Zone3TextChange(ToStd(Zone3Text->text()));
}

void TForm1::SetDigTimeClick() {
    Link->SetDigTimeClick();
}
void TForm1::ReadAllLogsClick() {
    Link->ReadAllLogsClick();
}
void TForm1::ClearKestroClick() {
    Link->ClearKestroClick();
}
void TForm1::ClrScreenButtonClick() {
    Link->ClrScreenButtonClick();
}
void TForm1::SaveAsClick() {
    Link->SaveAsClick();
}
void TForm1::RdLogHeaderClick() {
    Link->RdLogHeaderClick();
}
void TForm1::GetLog1Click() {
    Link->GetLog1Click();
}
void TForm1::Button1Click() {
    Link->Button1Click();
}
void TForm1::Button2Click() {
    Link->Button2Click();
}
void TForm1::CalL1Click() {
    Link->CalibrationClick(0);
}
void TForm1::CalH1Click() {
    Link->CalibrationClick(1);
}
void TForm1::CalL2Click() {
    Link->CalibrationClick(2);
}
void TForm1::CalH2Click() {
    Link->CalibrationClick(3);
}
void TForm1::CalL3Click() {
    Link->CalibrationClick(4);
}
void TForm1::CalH3Click() {
    Link->CalibrationClick(5);
}

void TForm1::ComPortBoxChange() {
    // A typed text that is no item selects nothing; the link then keeps the port name.
    const int Index = ComPortBox->currentIndex();
    const bool Listed = Index >= 0 && ComPortBox->currentText() == ComPortBox->itemText(Index);
    Link->ComPortBoxChange(Listed ? Index : -1);
}

void TForm1::ConnectClick() {
    Link->ConnectClick();
}
void TForm1::DisconnectClick() {
    Link->DisconnectClick();
}

void TForm1::ComDataPacket1Packet(const std::string& Str) {
    if (FShutDown)
        return;
    Link->ComDataPacket1Packet(Str);
    ShowLinkAlive();
}

} // namespace app
