// Event bindings and tab order of the main window.
#include "app/Logger.h"

#include "line/KestroLine.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

namespace app {

namespace {

// One control's event and the handler it runs, by name for the handler trace.
template <typename Control> struct TBinding {
    Control* Sender;
    const char* Name;
    void (TForm1::*Handler)();
};

} // namespace

std::function<void()> TForm1::Bound(const char* Name, void (TForm1::*Handler)()) {
    return [this, Name, Handler] { Dispatch(Name, Handler); };
}

void TForm1::BindEvents() {
    BindSettingEvents();
    BindButtons();
    BindMenusAndTimers();
}

void TForm1::BindSettingEvents() {
    // Edits report every change, also the program's own; the lists only the user's picks.
    const TBinding<QLineEdit> Edits[] = {
        {KestroName, "KestroNameChange", &TForm1::KestroNameChange},
        {SerialNo, "SerialNoChange", &TForm1::SerialNoChange},
        {Zone1Text, "Zone1TextChange", &TForm1::Zone1TextChange},
        {Zone2Text, "Zone2TextChange", &TForm1::Zone2TextChange},
        {Zone3Text, "Zone3TextChange", &TForm1::Zone3TextChange}};
    for (const auto& [Edit, Name, Handler] : Edits)
        connect(Edit, &QLineEdit::textChanged, this, Bound(Name, Handler));
    const TBinding<QComboBox> Lists[] = {
        {MaterialBox, "MaterialBoxChange", &TForm1::MaterialBoxChange},
        {ZonesBox, "ZonesBoxChange", &TForm1::ZonesBoxChange},
        {RefType, "RefTypeChange", &TForm1::RefTypeChange},
        {LogIntBox, "LogIntBoxChange", &TForm1::LogIntBoxChange},
        {ComPortBox, "ComPortBoxChange", &TForm1::ComPortBoxChange}};
    for (const auto& [Box, Name, Handler] : Lists)
        connect(Box, &QComboBox::activated, this, Bound(Name, Handler));
    // Typing in the port selector's edit field is a change too.
    connect(ComPortBox->lineEdit(), &QLineEdit::textEdited, this,
            Bound("ComPortBoxChange", &TForm1::ComPortBoxChange));
    connect(CyclicLogCheckBox, &QCheckBox::toggled, this,
            Bound("CyclicLogCheckBoxClick", &TForm1::CyclicLogCheckBoxClick));
}

void TForm1::BindButtons() {
    const TBinding<QPushButton> Buttons[] = {
        {CalL1, "CalL1Click", &TForm1::CalL1Click},
        {CalH1, "CalH1Click", &TForm1::CalH1Click},
        {CalL2, "CalL2Click", &TForm1::CalL2Click},
        {CalH2, "CalH2Click", &TForm1::CalH2Click},
        {CalL3, "CalL3Click", &TForm1::CalL3Click},
        {CalH3, "CalH3Click", &TForm1::CalH3Click},
        {SetDigTime, "SetDigTimeClick", &TForm1::SetDigTimeClick},
        {ClrScreenButton, "ClrScreenButtonClick", &TForm1::ClrScreenButtonClick},
        {ReadLogsButton, "ReadAllLogsClick", &TForm1::ReadAllLogsClick},
        {SaveLogs, "SaveAsClick", &TForm1::SaveAsClick},
        {ClearKestro, "ClearKestroClick", &TForm1::ClearKestroClick},
        {RdLogHeader, "RdLogHeaderClick", &TForm1::RdLogHeaderClick},
        {GetLog1, "GetLog1Click", &TForm1::GetLog1Click},
        {Button1, "Button1Click", &TForm1::Button1Click},
        {Button2, "Button2Click", &TForm1::Button2Click},
        {Connect, "ConnectClick", &TForm1::ConnectClick},
        {Disconnect, "DisconnectClick", &TForm1::DisconnectClick}};
    for (const auto& [Button, Name, Handler] : Buttons)
        connect(Button, &QPushButton::clicked, this, Bound(Name, Handler));
    connect(ClearKestro, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& At) { PopupMenu1->popup(ClearKestro->mapToGlobal(At)); });
}

void TForm1::BindMenusAndTimers() {
    connect(SaveAs, &QAction::triggered, this, Bound("SaveAsClick", &TForm1::SaveAsClick));
    connect(Exit3, &QAction::triggered, this, Bound("Exit3Click", &TForm1::Exit3Click));
    connect(Help1, &QAction::triggered, this, Bound("Help1Click", &TForm1::Help1Click));
    connect(LogChart1, &QAction::triggered, this, Bound("LogChart1Click", &TForm1::LogChart1Click));
    connect(OpenSavedLog1, &QAction::triggered, this,
            Bound("OpenSavedLog1Click", &TForm1::OpenSavedLog1Click));
    CreateHistoryMenu();
    connect(Timer1, &QTimer::timeout, this, Bound("Tick250", &TForm1::Tick250));
    connect(Timer2, &QTimer::timeout, this, Bound("Timer2Timer", &TForm1::Timer2Timer));
    connect(Timer3, &QTimer::timeout, this, Bound("Timer3Timer", &TForm1::Timer3Timer));
    connect(ReplyTimer, &QTimer::timeout, this, [this] {
        if (!FShutDown)
            Run([this] { Link->ReplyTimeout(); });
    });
    Line->OnActivity = [this] {
        if (!FShutDown)
            Run([this] { Link->LineActivity(); });
    };
    Line->OnPacket = [this](const std::string& Str) {
        if (HandlerTrace)
            HandlerTrace("ComDataPacket1Packet");
        Run([this, &Str] { ComDataPacket1Packet(Str); });
    };
    CreatePortWatch();
}

void TForm1::ApplyTabOrder() {
    // Each container's controls in their tab places, containers entered where they stand.
    QWidget* const Chain[] = {ComPortBox,      RxDat,           Data,
                              MaterialBox,     LogIntBox,       CyclicLogCheckBox,
                              KestroTime,      Zone1Text,       Zone2Text,
                              Zone3Text,       KestroName,      LogTime,
                              SerialNo,        ZonesBox,        PcTime,
                              RefType,         SoftwareVersion, SetDigTime,
                              BatteryVolts,    ReadLogsButton,  ClearKestro,
                              ClrScreenButton, SaveLogs,        LogDataMemo,
                              LogNumber,       Status,          CalL1,
                              CalH1,           CalL2,           CalH2,
                              CalH3,           CalL3,           Edit1,
                              Edit2,           Edit3,           DataWin,
                              CommsActive1};
    for (size_t I = 1; I < std::size(Chain); ++I)
        setTabOrder(Chain[I - 1], Chain[I]);
}

} // namespace app
