// The main window: every control, menu and timer of the program, and the handlers bound to them.
#pragma once

#include "cport/ComPortWatch.h"
#include "line/KestroLine.h"
#include "link/KestroLink.h"
#include "link/LineHost.h"
#include "link/LinkHost.h"
#include "protocol/DateTime.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;

namespace app {

class TLogLineFeed;

#ifndef QUORVA_FACTORY_BUILD
#define QUORVA_FACTORY_BUILD 0
#endif
// Fixed when the program is built; the factory build unlocks calibration and serial number.
inline constexpr bool FactoryBuild = QUORVA_FACTORY_BUILD != 0;

inline constexpr const char* MainCaption = "Quorva V2.11 - Talvenor Ltd (www.talvenor.example)";

// The window binds the link with the logger to its controls, timers, port and dialogs.
class TForm1 : public QMainWindow, public klink::TLineHost<kline::TKestroLine> {
public:
    // Builds the controls, starts the three timers and runs FormCreate.
    explicit TForm1(QWidget* Parent = nullptr);
    ~TForm1() override;

    // Start-up, timers, exit.
    void FormCreate();
    void Tick250();
    void Timer2Timer();
    void Timer3Timer();
    void Exit3Click();
    void DisableEntries(bool Busy) override;

    // Setting controls.
    void MaterialBoxChange();
    void ZonesBoxChange();
    void RefTypeChange();
    void LogIntBoxChange();
    void CyclicLogCheckBoxClick();
    void KestroNameChange();
    void SerialNoChange();
    void Zone1TextChange();
    void Zone2TextChange();
    void Zone3TextChange();
    void SetDigTimeClick();

    // Log page.
    void ReadAllLogsClick();
    void ClearKestroClick();
    void ClrScreenButtonClick();
    void SaveAsClick();
    void RdLogHeaderClick();
    void GetLog1Click();
    void Button1Click();
    void Button2Click();

    // Factory calibration.
    void CalL1Click();
    void CalH1Click();
    void CalL2Click();
    void CalH2Click();
    void CalL3Click();
    void CalH3Click();

    // Port.
    void ComPortBoxChange();
    void ConnectClick();
    void DisconnectClick();
    void ComDataPacket1Packet(const std::string& Str);

    // Looks at this PC's serial ports: the selector's tooltips say what each COM is now, and
    // a port whose device has come back is reopened as choosing it in the selector would.
    void WatchComPorts();

    // Help menu and F1: shows the introduction window.
    void Help1Click();

    // View menu: a log viewer of the "Log Data" page that follows it, or of a saved log file.
    void LogChart1Click();
    void OpenSavedLog1Click();
    // Every logger in the archive; its history opens in the log viewer.
    void LoggerHistory1Click();
    // Stand-in for the open dialog (tests answer without a loop); "" cancels.
    std::function<QString()> OpenNameHook;
    // Every line the "Log Data" page gains, and its clearing, for the viewers that follow it.
    TLogLineFeed* LogFeed = nullptr;

    // Runs one handler: an exception that escapes it is shown in the error box and the rest
    // of the handler is skipped.
    static void Run(const std::function<void()>& Handler);

    // Told the name of every bound handler just before it runs (tests follow the bindings).
    std::function<void(const char* Handler)> HandlerTrace;
    // Stand-ins for the confirmation window and the save dialog (tests answer without a loop).
    std::function<int()> ConfirmHook;
    std::function<std::optional<std::string>()> SaveNameHook;

    // What the link asks of the window.
    void StartReplyTimer(int Milliseconds) override;
    void StopReplyTimer() override;
    std::string Text(klink::Control Control) const override;
    void SetText(klink::Control Control, const std::string& Text) override;
    int ItemIndex(klink::Control Control) const override;
    void SetItemIndex(klink::Control Control, int Index) override;
    bool Checked(klink::Control Control) const override;
    void SetChecked(klink::Control Control, bool Checked) override;
    void SetEnabled(klink::Control Control, bool Enabled) override;
    void SetColour(klink::Control Control, klink::Colour Colour) override;
    void SetCaption(klink::Control Control, const std::string& Caption) override;
    void AppendTraffic(const std::string& Line) override;
    void AppendLogLine(const std::string& Line) override;
    void ClearLogDisplay() override;
    void ShowError(const std::string& Message) override;
    void ShowMessage(const std::string& Message) override;
    int AskClearConfirmation() override;
    std::optional<std::string> AskSaveFileName() override;
    // A complete Get Logs goes into the archive; a failing archive is an error box.
    void DownloadEnded(const klink::TDownloadOutcome& Outcome) override;

    // The date and time formats every text of the program follows.
    protocol::DateFormats Formats;

    // Window-level controls.
    QWidget* Client = nullptr;
    QLineEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr;
    QPushButton *CalL1 = nullptr, *CalH1 = nullptr, *CalL2 = nullptr, *CalH2 = nullptr,
                *CalL3 = nullptr, *CalH3 = nullptr;
    QRadioButton* CommsActive1 = nullptr;
    QLabel* StatusLabel = nullptr;
    QLineEdit* Status = nullptr;
    QComboBox* ComPortBox = nullptr;
    QPlainTextEdit* DataWin = nullptr;
    QLabel* FactoryLab = nullptr;
    QPlainTextEdit* RxDat = nullptr;
    QTabWidget* Data = nullptr;

    // "Settings" page.
    QWidget* TabSheet2 = nullptr;
    QGroupBox* GroupBox6 = nullptr;
    QLabel *Label1 = nullptr, *Label7 = nullptr, *Label5 = nullptr, *Label2 = nullptr,
           *Label9 = nullptr, *Label6 = nullptr, *KestroLabel = nullptr, *Label10 = nullptr,
           *Label13 = nullptr, *Label14 = nullptr, *SerialLabel = nullptr, *Label8 = nullptr,
           *Label12 = nullptr, *Label11 = nullptr;
    QComboBox *MaterialBox = nullptr, *ZonesBox = nullptr, *RefType = nullptr, *LogIntBox = nullptr;
    QLineEdit *LogTime = nullptr, *KestroTime = nullptr, *KestroName = nullptr,
              *Zone1Text = nullptr, *Zone2Text = nullptr, *Zone3Text = nullptr, *SerialNo = nullptr,
              *SoftwareVersion = nullptr, *BatteryVolts = nullptr, *PcTime = nullptr,
              *SenTime = nullptr;
    QPushButton* SetDigTime = nullptr;
    QCheckBox* CyclicLogCheckBox = nullptr;
    QPushButton *Disconnect = nullptr, *Connect = nullptr;

    // "Log Data" page.
    QWidget* TabSheet4 = nullptr;
    QLabel *LogNo = nullptr, *Label3 = nullptr, *Label4 = nullptr, *logNum = nullptr;
    QPlainTextEdit* LogDataMemo = nullptr;
    QLineEdit* LogNumber = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QPushButton *ClrScreenButton = nullptr, *ReadLogsButton = nullptr, *SaveLogs = nullptr,
                *ClearKestro = nullptr;
    QPushButton *RdLogHeader = nullptr, *GetLog1 = nullptr, *Button1 = nullptr, *Button2 = nullptr;

    // Menus.
    QMenuBar* MainMenu1 = nullptr;
    QMenu* File1 = nullptr;
    QAction *Open1 = nullptr, *SaveAs = nullptr, *Exit3 = nullptr, *Help1 = nullptr;
    QMenu* View1 = nullptr;
    QAction *LogChart1 = nullptr, *OpenSavedLog1 = nullptr;
    QAction* LoggerHistory1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction *AreYouSure1 = nullptr, *YN1 = nullptr;

    // Timers.
    QTimer *Timer1 = nullptr, *Timer2 = nullptr, *Timer3 = nullptr;
    // Single shot: a command's reply did not come in time.
    QTimer* ReplyTimer = nullptr;
    // Runs WatchComPorts once a second.
    QTimer* PortWatchTimer = nullptr;

    // The logger's line (ComPort1 and ComDataPacket1); the link goes first when the window is
    // destroyed.
    std::unique_ptr<kline::TKestroLine> Line;
    std::unique_ptr<klink::TKestroLink> Link;

protected:
    void closeEvent(QCloseEvent* Event) override;
    kline::TKestroLine& HostLine() const override { return *Line; }

private:
    // The form file: creates every control with its design-time properties.
    void CreateControls();
    void CreateTopStrip();
    void CreateStatusRow();
    void CreateSettingsPage();
    void CreateSettingsGroup();
    void CreateLogPage();
    void CreateLogControlGroup();
    void CreateMenus();
    void CreateTimers();
    void CreateSerial();
    void ApplyTabOrder();
    // Binds every event to its handler.
    void BindEvents();
    void BindSettingEvents();
    void BindButtons();
    void BindMenusAndTimers();
    // Runs a bound handler through Run, after telling HandlerTrace.
    void Dispatch(const char* Name, void (TForm1::*Handler)());
    // The slot that dispatches Handler under its Name.
    std::function<void()> Bound(const char* Name, void (TForm1::*Handler)());
    void ApplyFactorySwitch();
    void CreatePortWatch();
    void CreateHistoryMenu();
    cport::TComPortWatch PortWatch;
    // The control behind a name of the link; nullptr for the menu item.
    QWidget* ControlWidget(klink::Control Control) const;
    void ShowLinkAlive();
    // Finishes the link's work and stops every timer: nothing runs into a closing window.
    void ShutDown();
    // True while the window itself sets a control, so its change handler does not echo.
    bool FApplying = false;
    bool FShutDown = false;
};

} // namespace app
