// The form file of the main window: every control with its design-time properties.
#include "app/LayoutKit.h"
#include "app/LogLineFeed.h"
#include "app/Logger.h"

#include "app/Shell.h"
#include "line/KestroLine.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

namespace app {

namespace {

const QColor clRed(255, 0, 0);
const QColor clGray(128, 128, 128);

QStringList LogIntervalItems() {
    return {"?",          "Off",    "1 Minute", "2 Minutes", "5 Minutes", "15 Minutes",
            "30 Minutes", "1 Hour", "2 Hours",  "6 Hours",   "12 Hours",  "24 Hours"};
}

QStringList ComPortItems() {
    return {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"};
}

// A read-out the program fills: the user can neither type in it nor focus it.
void MakeReadOut(QLineEdit* Edit) {
    Edit->setReadOnly(true);
    Edit->setEnabled(false);
}

} // namespace

void TForm1::CreateControls() {
    setObjectName("Form1");
    setWindowTitle(MainCaption);
    // The tightest captions of the design at their places: each must fit before the next
    // control (a check box's caption after its box).
    setFont(FontThatFits(WindowFont(), 11,
                         {{"Software version", 211 - 120 - 2},
                          {"Time Stamp", 114 - 54},
                          {"  Min1  Max1  Min2  Max2  Min3  Max3 ", 319 - 114},
                          {"Zone1 Description", 349 - 244 - 2},
                          {"Cyclic Logging", 97 - 20}}));
    setWindowIcon(QIcon(QStringLiteral(":/quorva.svg")));
    Client = new QWidget(this);
    Client->setObjectName("Client");
    setCentralWidget(Client);
    CreateMenus();
    // The outer frame is 521 x 468; the frame and title bar take about 8 x 31 of it.
    move(231, 139);
    resize(513, 437);
    CreateTopStrip();
    Data = Place(new QTabWidget(Client), "Data", {13, 20, 456, 286});
    CreateSettingsPage();
    CreateLogPage();
    Data->setCurrentWidget(TabSheet2);
    CreateStatusRow();
    CreateTimers();
    CreateSerial();
    ApplyTabOrder();
    FitGroupFont({CalL1, CalH1, CalL2, CalH2, CalL3, CalH3}, QFontInfo(font()).pixelSize());
    FitCaptions(this);
}

void TForm1::CreateTopStrip() {
    Edit1 = MakeEdit(Client, "Edit1", {163, 0, 65, 21}, "");
    Edit2 = MakeEdit(Client, "Edit2", {241, 0, 65, 21}, "");
    Edit3 = MakeEdit(Client, "Edit3", {319, 0, 65, 21}, "");
    for (QLineEdit* Edit : {Edit1, Edit2, Edit3})
        Edit->setEnabled(false);
    CalL1 = MakeButton(Client, "CalL1", {163, 20, 33, 13}, "CalL1");
    CalH1 = MakeButton(Client, "CalH1", {195, 20, 33, 13}, "CalH1");
    CalL2 = MakeButton(Client, "CalL2", {241, 20, 33, 13}, "CalL2");
    CalH2 = MakeButton(Client, "CalH2", {273, 20, 33, 13}, "CalH2");
    CalL3 = MakeButton(Client, "CalL3", {319, 20, 33, 13}, "CalL3");
    CalH3 = MakeButton(Client, "CalH3", {351, 20, 33, 13}, "CalH3");
    CommsActive1 =
        Place(new QRadioButton("CommsActive1", Client), "CommsActive1", {400, 0, 113, 17});
    RxDat = MakeMemo(Client, "RxDat", {117, 228, 209, 13}, "R\nx\nD\na\nt");
    RxDat->hide();
    // A program left polling for days must not grow the trace without bound.
    RxDat->setMaximumBlockCount(static_cast<int>(klink::RxDatMaxLines));
}

void TForm1::CreateStatusRow() {
    StatusLabel = MakeSizedLabel(Client, "StatusLabel", {104, 312, 37, 16}, "Status");
    StatusLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    StatusLabel->setFont(FontOfHeight(font(), 15));
    Status = MakeEdit(Client, "Status", {143, 312, 157, 21}, "  Looking for a Kestro");
    Status->setReadOnly(true);
    Status->setFont(FontOfHeight(font(), 12));
    ComPortBox = MakeList(Client, "ComPortBox", {388, 314, 81, 21}, ComPortItems(),
                          "Selects the Com Port on the PC.", true);
    ComPortBox->setEditText("ComPortBox");
    DataWin = MakeMemo(Client, "DataWin", {28, 336, 425, 40}, "Memo2");
    FactoryLab =
        MakeSizedLabel(Client, "FactoryLab", {80, 384, 329, 29}, "Factory Version DO NOT USE!");
    FactoryLab->setWordWrap(true);
    FitOneLine(FactoryLab, 24);
    SetTextColour(FactoryLab, clRed);
}

void TForm1::CreateSettingsPage() {
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName("TabSheet2");
    Data->addTab(TabSheet2, "Settings");
    GroupBox6 = Place(new QGroupBox("Kestro Settings", TabSheet2), "GroupBox6", {29, 7, 349, 189});
    TitleOnFrame(GroupBox6);
    CreateSettingsGroup();
    // These three lie over the group box's columns but belong to the page.
    ZonesBox = MakeList(TabSheet2, "ZonesBox", {39, 73, 98, 21}, {"?", "1", "2", "3"},
                        "Number of zones to be monitored");
    RefType = MakeList(TabSheet2, "RefType", {39, 112, 98, 21}, {"?", "Zinc", "Ag AgCl"},
                       "Type of reference electrode being used.");
    SetDigTime = MakeButton(TabSheet2, "SetDigTime", {163, 59, 72, 20}, "Set Time",
                            "Stores the current PC time in the Kestro.");
    SerialLabel = MakeLabel(TabSheet2, "SerialLabel", 36, 200, "Serial No");
    SerialNo =
        MakeEdit(TabSheet2, "SerialNo", {33, 215, 78, 21}, "?", "Serial number of this Kestro");
    LimitTyping(SerialNo, 16);
    Label8 = MakeLabel(TabSheet2, "Label8", 120, 200, "Software version");
    SoftwareVersion = MakeEdit(TabSheet2, "SoftwareVersion", {117, 215, 85, 21}, "?",
                               "Version of software fitted to the Kestro.");
    MakeReadOut(SoftwareVersion);
    LimitTyping(SoftwareVersion, 16);
    Label12 = MakeLabel(TabSheet2, "Label12", 211, 202, "Battery Volts");
    BatteryVolts = MakeEdit(TabSheet2, "BatteryVolts", {208, 215, 85, 21}, "?",
                            "Current Kestro battery voltage ");
    MakeReadOut(BatteryVolts);
    LimitTyping(BatteryVolts, 3);
    Label11 = MakeLabel(TabSheet2, "Label11", 315, 202, "PCTime");
    PcTime = MakeEdit(TabSheet2, "PcTime", {312, 215, 92, 21}, "?", "Time now - read from the PC.");
    MakeReadOut(PcTime);
    SenTime = MakeEdit(TabSheet2, "SenTime", {189, 241, 91, 21}, "SenTime");
    SenTime->hide();
}

void TForm1::CreateSettingsGroup() {
    QGroupBox* G = GroupBox6;
    Label1 = MakeLabel(G, "Label1", 33, 14, "Material");
    MaterialBox = MakeList(G, "MaterialBox", {8, 27, 98, 21}, {"?", "Aluminium", "Steel", "Bronze"},
                           "Type of material being monitored.");
    ShowRowsWhenDropped(MaterialBox, 3);
    Label7 = MakeLabel(G, "Label7", 34, 53, "Zones");
    Label5 = MakeLabel(G, "Label5", 15, 91, "Reference Type");
    Label2 = MakeLabel(G, "Label2", 14, 131, "Log Interval");
    LogIntBox = MakeList(G, "LogIntBox", {8, 144, 98, 21}, LogIntervalItems(),
                         "Time between storage of logged data.");
    ShowRowsWhenDropped(LogIntBox, 10);
    LogTime = MakeEdit(G, "LogTime", {13, 163, 72, 21}, "?", "Total time to fill log capacity");
    Label9 = MakeLabel(G, "Label9", 91, 169, "Total Log Time");
    Label9->setFont(FontOfHeight(font(), 12));
    Label9->adjustSize();
    SetTextColour(Label9, clGray);
    Label6 = MakeLabel(G, "Label6", 145, 13, "Kestro Time");
    KestroTime =
        MakeEdit(G, "KestroTime", {124, 26, 98, 21}, "?", "Current time read from the Kestro");
    MakeReadOut(KestroTime);
    CyclicLogCheckBox =
        Place(new QCheckBox("Cyclic Logging", G), "CyclicLogCheckBox", {122, 145, 97, 17});
    CyclicLogCheckBox->setChecked(true);
    CyclicLogCheckBox->setToolTip("If checked then new data will overwrite the oldest data when "
                                  "the log is full, otherwise logging will cease.");
    KestroLabel = MakeLabel(G, "KestroLabel", 257, 13, "Kestro Name");
    KestroName = MakeEdit(G, "KestroName", {241, 26, 98, 21}, "?", "Name by which Kestro is known");
    const QString ZoneHint = "Text describing the area this zone is monitoring";
    Label10 = MakeLabel(G, "Label10", 244, 52, "Zone1 Description");
    Zone1Text = MakeEdit(G, "Zone1Text", {241, 65, 98, 21}, "?", ZoneHint);
    Label13 = MakeLabel(G, "Label13", 244, 91, "Zone2 Description");
    Zone2Text = MakeEdit(G, "Zone2Text", {241, 104, 98, 21}, "?", ZoneHint);
    Label14 = MakeLabel(G, "Label14", 244, 130, "Zone3 Description");
    Zone3Text = MakeEdit(G, "Zone3Text", {241, 143, 98, 21}, "?", ZoneHint);
    for (QLineEdit* Edit : {KestroName, Zone1Text, Zone2Text, Zone3Text})
        LimitTyping(Edit, 16);
    Disconnect = MakeButton(G, "Disconnect", {131, 72, 78, 26}, "Disconnect");
    Connect = MakeButton(G, "Connect", {131, 98, 78, 26}, "Connect");
    Disconnect->hide();
    Connect->hide();
}

void TForm1::CreateLogPage() {
    TabSheet4 = new QWidget;
    TabSheet4->setObjectName("TabSheet4");
    TabSheet4->setToolTip("Logged Data");
    Data->addTab(TabSheet4, "Log Data");
    LogNo = MakeSizedLabel(TabSheet4, "LogNo", {33, 13, 10, 13}, " #");
    Label3 = MakeSizedLabel(TabSheet4, "Label3", {54, 13, 56, 13}, "Time Stamp");
    Label4 = MakeSizedLabel(TabSheet4, "Label4", {114, 13, 186, 13},
                            "  Min1  Max1  Min2  Max2  Min3  Max3 ");
    LogDataMemo = MakeMemo(TabSheet4, "LogDataMemo", {33, 26, 286, 176}, "");
    LogDataMemo->setReadOnly(true);
    LogDataMemo->setFont(FixedFontOfHeight(9));
    logNum = MakeSizedLabel(TabSheet4, "logNum", {32, 208, 73, 13}, "Logs Recorded");
    LogNumber = MakeEdit(TabSheet4, "LogNumber", {33, 228, 65, 21}, "?",
                         "Number of logs recorded by the Kestro");
    LogNumber->setReadOnly(true);
    CreateLogControlGroup();
    RdLogHeader = MakeButton(TabSheet4, "RdLogHeader", {106, 228, 90, 25}, "Read Log Count");
    GetLog1 = MakeButton(TabSheet4, "GetLog1", {236, 228, 64, 25}, "Read Log 1");
    Button1 = MakeButton(TabSheet4, "Button1", {301, 228, 64, 25}, "Read Log 2");
    Button2 = MakeButton(TabSheet4, "Button2", {366, 228, 64, 25}, "Read Log 3");
    for (QPushButton* Button : {RdLogHeader, GetLog1, Button1, Button2})
        Button->hide();
}

void TForm1::CreateLogControlGroup() {
    GroupBox2 = Place(new QGroupBox("Control", TabSheet4), "GroupBox2", {324, 20, 119, 182});
    TitleOnFrame(GroupBox2);
    ClrScreenButton = MakeButton(GroupBox2, "ClrScreenButton", {7, 13, 78, 27}, "Clear Screen",
                                 "Clears only the data displayed on this page");
    ReadLogsButton = MakeButton(GroupBox2, "ReadLogsButton", {7, 44, 99, 27}, "Get Logs - Kestro  ",
                                "Uploads ALL logged data from the Kestro");
    SaveLogs = MakeButton(GroupBox2, "SaveLogs", {7, 78, 78, 27}, "Save to File",
                          "Saves the displayed logged data to a file");
    ClearKestro = MakeButton(GroupBox2, "ClearKestro", {7, 150, 104, 26}, "Clear Kestro Data",
                             "Delete ALL logged data within the Kestro!");
    QFont Font = ClearKestro->font();
    Font.setBold(true);
    Font.setItalic(true);
    Font.setUnderline(true);
    ClearKestro->setFont(Font);
    // The group and its buttons share the design's 12 pixels, or one smaller size for all.
    FitGroupFont({GroupBox2, ClrScreenButton, ReadLogsButton, SaveLogs, ClearKestro}, 12);
    ClearKestro->setCursor(Qt::CrossCursor);
    ClearKestro->setContextMenuPolicy(Qt::CustomContextMenu);
}

void TForm1::CreateMenus() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName("MainMenu1");
    File1 = MainMenu1->addMenu("&File");
    File1->setObjectName("File1");
    Open1 = File1->addAction("&New");
    SaveAs = File1->addAction("&Save Logs");
    Exit3 = File1->addAction("E&xit");
    View1 = MainMenu1->addMenu("&View");
    View1->setObjectName("View1");
    LogChart1 = View1->addAction("&Log Chart");
    OpenSavedLog1 = View1->addAction("&Open Saved Log...");
    LogChart1->setObjectName("LogChart1");
    OpenSavedLog1->setObjectName("OpenSavedLog1");
    LogFeed = new TLogLineFeed(this);
    Help1 = MainMenu1->addAction("&Help(F1)");
    Help1->setShortcut(QKeySequence(Qt::Key_F1));
    Open1->setObjectName("Open1");
    SaveAs->setObjectName("SaveAs");
    Exit3->setObjectName("Exit3");
    Help1->setObjectName("Help1");
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    AreYouSure1 = PopupMenu1->addAction("Continue?");
    // A radio item that nothing checks: choosing it does nothing, not even set its mark.
    AreYouSure1->setCheckable(true);
    auto* Radio = new QActionGroup(PopupMenu1);
    Radio->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    Radio->addAction(AreYouSure1);
    connect(AreYouSure1, &QAction::toggled, AreYouSure1, [this](bool On) {
        if (On)
            AreYouSure1->setChecked(false);
    });
    YN1 = PopupMenu1->addAction("Abort!");
    AreYouSure1->setObjectName("AreYouSure1");
    YN1->setObjectName("YN1");
}

void TForm1::CreateTimers() {
    Timer1 = new QTimer(this);
    Timer2 = new QTimer(this);
    Timer3 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer2->setObjectName("Timer2");
    Timer3->setObjectName("Timer3");
    Timer1->setInterval(250);
    Timer2->setInterval(80);
    Timer3->setInterval(1000);
    ReplyTimer = new QTimer(this);
    ReplyTimer->setObjectName("ReplyTimer");
    ReplyTimer->setSingleShot(true);
}

void TForm1::CreateSerial() {
    Line = std::make_unique<kline::TKestroLine>();
    Line->OnCloseError = [](const std::exception& E) { ShowErrorBox(FromSystemText(E.what())); };
}

} // namespace app
