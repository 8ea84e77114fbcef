#include "app/Logger.h"

#include "app/HelpKestro.h"
#include "app/Shell.h"

#include "cport/CPort.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace app {

namespace {

protocol::DateTime PcNow() {
    const QDateTime Now = QDateTime::currentDateTime();
    const QDate D = Now.date();
    const QTime T = Now.time();
    return {D.year(), D.month(), D.day(), T.hour(), T.minute(), T.second(), T.msec()};
}

QString FromStd(const std::string& Text) {
    return QString::fromLocal8Bit(Text);
}

} // namespace

TForm1::TForm1(QWidget* Parent) : QMainWindow(Parent) {
    CreateControls();
    BindEvents();
    for (QTimer* Timer : {Timer1, Timer2, Timer3})
        Timer->start();
    Run([this] { FormCreate(); });
}

TForm1::~TForm1() = default;

void TForm1::Run(const std::function<void()>& Handler) {
    try {
        Handler();
    } catch (const std::exception& E) {
        ShowErrorBox(QString::fromLocal8Bit(E.what()));
    }
}

void TForm1::Dispatch(const char* Name, void (TForm1::*Handler)()) {
    if (HandlerTrace)
        HandlerTrace(Name);
    Run([this, Handler] { (this->*Handler)(); });
}

void TForm1::FormCreate() {
    Formats = protocol::DateFormats{'/', "dd/mm/yy", ':', "hh:mm"};
    for (QComboBox* Box : {LogIntBox, ZonesBox, MaterialBox, RefType})
        Box->setCurrentIndex(0);
    LogCapacity = 511;
    OpenComPort1("COM1");
    ComPortBox->setCurrentIndex(0);
    LinkState = 0;
    Timer3Timer();
    // Applied a second time as the original start-up does; it changes nothing more.
    if (!FactoryBuild)
        ApplyFactorySwitch();
}

void TForm1::OpenComPort1(const std::string& Name) {
    ComPort1->ClosePort();
    ComPort1->SetPort(Name);
    ComPort1->OpenPort();
    ComPort1->FlowControl().SetControlDTR(cport::dtrEnable);
    ComPort1->FlowControl().SetControlRTS(cport::rtsEnable);
    ComPort1->SetDtrLine(true);
    ComPort1->SetRtsLine(false);
}

void TForm1::Tick250() {
    const protocol::DateTime Now = PcNow();
    PcTime->setText(FromStd(protocol::DateTimeToStr(Now, Formats)));
    SenTime->setText(FromStd(protocol::PcMinutesText(Now)));
    CommsActive1->hide();
}

void TForm1::Timer2Timer() {}

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

void TForm1::Exit3Click() {
    ComPort1->ClosePort();
    QCoreApplication::quit();
}

void TForm1::closeEvent(QCloseEvent* Event) {
    // Nothing may tick into a window that is going away.
    for (QTimer* Timer : {Timer1, Timer2, Timer3})
        Timer->stop();
    Run([this] { ComPort1->ClosePort(); });
    Event->accept();
}

void TForm1::ComPortBoxChange() {
    static const char* const Names[] = {"COM1", "COM2", "COM3", "COM4", "COM5",
                                        "COM6", "COM7", "COM8", "COM9", "COM10"};
    const int Index = ComPortBox->currentIndex();
    // A typed text that is no item leaves the port name as it was.
    const bool Listed = ComPortBox->currentText() == ComPortBox->itemText(Index);
    ComPort1->ClosePort();
    if (Index >= 0 && Index < 10 && Listed)
        ComPort1->SetPort(Names[Index]);
    ComPort1->OpenPort();
    ComPort1->FlowControl().SetControlDTR(cport::dtrEnable);
    ComPort1->FlowControl().SetControlRTS(cport::rtsEnable);
    ComPort1->SetRtsLine(false);
    ComPort1->SetDtrLine(true);
}

void TForm1::Help1Click() {
    if (IntroForm)
        IntroForm->show();
}

// The senders and the reply decoder are bound here; the link with the logger drives them.
void TForm1::MaterialBoxChange() {}
void TForm1::ZonesBoxChange() {}
void TForm1::RefTypeChange() {}
void TForm1::LogIntBoxChange() {}
void TForm1::CyclicLogCheckBoxClick() {}
void TForm1::KestroNameChange() {}
void TForm1::SerialNoChange() {}
void TForm1::Zone1TextChange() {}
void TForm1::Zone2TextChange() {}
void TForm1::Zone3TextChange() {}
void TForm1::SetDigTimeClick() {}
void TForm1::ReadAllLogsClick() {}
void TForm1::ClearKestroClick() {}
void TForm1::ClrScreenButtonClick() {}
void TForm1::SaveAsClick() {}
void TForm1::RdLogHeaderClick() {}
void TForm1::GetLog1Click() {}
void TForm1::Button1Click() {}
void TForm1::Button2Click() {}
void TForm1::CalL1Click() {}
void TForm1::CalH1Click() {}
void TForm1::CalL2Click() {}
void TForm1::CalH2Click() {}
void TForm1::CalL3Click() {}
void TForm1::CalH3Click() {}
void TForm1::ConnectClick() {}
void TForm1::DisconnectClick() {}
void TForm1::ComDataPacket1Packet(const std::string&) {}
void TForm1::ComPort1RxFlag() {}

} // namespace app
