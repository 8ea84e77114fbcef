// The program's link with the logger: polling, replies, log download and clearing, Save.
#pragma once

#include "link/LinkHost.h"
#include "link/LinkValues.h"
#include "link/LogDownload.h"
#include "link/Poller.h"
#include "link/ReplyApplier.h"
#include "link/Transmitter.h"
#include "logdata/LogDisplay.h"
#include "logdata/LogFile.h"
#include "logdata/LogHeader.h"
#include "protocol/DateTime.h"

#include <deque>
#include <optional>
#include <string>

namespace klink {

inline constexpr const char* StartPortName = "COM1";

// Port names of the selector's items; other indexes keep the port.
std::optional<std::string> PortNameForItem(int itemIndex);

// One method per event of the main window. Nothing here blocks or runs a nested loop except
// the host's modal dialogs; after FormClose every method does nothing.
class TKestroLink {
public:
    explicit TKestroLink(TLinkHost& host);
    TKestroLink(const TKestroLink&) = delete;
    TKestroLink& operator=(const TKestroLink&) = delete;

    // The process-wide date and time formats the shell installed at start-up.
    void SetDateFormats(const protocol::DateFormats& formats);
    // How Get Logs paces its requests; the window keeps the tick.
    void SetDownloadPacing(TRequestPacing pacing) { Download.SetPacing(pacing); }
    // How the poll cycle paces its steps once the logger has been found; the window keeps the
    // tick, a program that waits for an answer may ask the ten questions back to back.
    void SetPollPacing(TRequestPacing pacing) { Poller.SetPacing(pacing); }

    // Start-up: the four selectors on "?", LogCapacity 511, the port opened ("COM1" unless
    // the shell names another), LinkState 0. False when the port did not open (its error has
    // been shown).
    bool FormCreate(const std::string& port = StartPortName);
    // Closing the window: a running download's file is finished and closed; then silence.
    void FormClose();

    // Timers and the serial line.
    void Tick250();                                    // Timer1, 250 ms
    void Timer2Timer();                                // Timer2, 80 ms
    void ReplyTimeout();                               // the host's reply timer ran out
    void ComDataPacket1Packet(const std::string& str); // a packet delivered by the extractor
    // Received bytes reached the port (before or after the extractor has seen them).
    void LineActivity();

    // Setting controls (the user's own changes).
    void MaterialBoxChange(int itemIndex);
    void ZonesBoxChange(int itemIndex);
    void RefTypeChange(int itemIndex);
    void LogIntBoxChange(int itemIndex);
    void CyclicLogCheckBoxClick(bool checked);
    void KestroNameChange(const std::string& text);
    void SerialNoChange(const std::string& text);
    void Zone1TextChange(const std::string& text);
    void Zone2TextChange(const std::string& text);
    void Zone3TextChange(const std::string& text);
    void SetDigTimeClick();
    // Calibration buttons CalL1, CalH1, CalL2, CalH2, CalL3, CalH3 as 0 to 5.
    void CalibrationClick(int button);
    // Hidden buttons: "Read Log Count", "Read Log 1" to "Read Log 3".
    void RdLogHeaderClick();
    void GetLog1Click();
    void Button1Click();
    void Button2Click();

    // Operations of the window that no control invokes.
    // The poll cycle starts again at its first step, so a whole cycle is read from now on: its
    // questions go out after every command already sent or waiting.
    void RestartPollCycle();
    void RdSetupButtonClick();
    void ReadIdClick();
    void ReadTimeClick();
    void ReadSerialClick();
    void ReadSwVerClick();
    void GetCurrentClick();
    void TakeReadingClick();
    void RdLog1Click();
    void RdLog2Click();
    void RdLog3Click();
    void SetTextTimeClick();

    // The "Log Data" page.
    void ReadAllLogsClick(); // starts a download, or aborts the running one
    void ClearKestroClick();
    void SaveAsClick(); // the "Save to File" button and the "&Save Logs" menu item
    void ClrScreenButtonClick();

    // Port selection and the hidden Connect/Disconnect buttons.
    void ComPortBoxChange(int itemIndex);
    void ConnectClick();
    void DisconnectClick();

    // Read access for the shell and tests.
    const TLinkValues& Values() const { return Vals; }
    const std::deque<std::string>& RxDat() const { return Trans.RxDat(); }
    const logdata::TLogDisplay& Display() const { return LogDisplay; }
    bool Downloading() const { return Download.Running(); }
    bool Awaiting() const { return Trans.Awaiting(); }
    bool Settling() const { return Trans.Settling(); }
    // The port is open and no write on it has failed since it was opened.
    bool LineUsable() const { return Trans.PortUsable(); }
    const TReplyTime& ReplyTimes() const { return Trans.ReplyTimes(); }
    // The entries the last download wrote to its file, entry 0 included.
    const std::vector<protocol::LogRecord>& DownloadedRecords() const { return Download.Records(); }
    // What a log file's header would hold now (the log viewer labels the page's entries so).
    logdata::THeaderValues HeaderValues() const;

private:
    void Send(const std::optional<protocol::Command>& command,
              TTransmitter::TAfterSend afterSend = {});
    // An accepted reply, decoded: applied, and the question it answered closed.
    void HandleReply(const protocol::Reply& reply);
    void StartDownload();
    void ReadLogNumber(int32_t index);
    bool OpenPortShowingError(const std::string& name);

    TLinkHost& Host;
    protocol::DateFormats Formats;
    TLinkValues Vals;
    logdata::TLogDisplay LogDisplay;
    logdata::TLogFile LogFile;
    TTransmitter Trans;
    TPoller Poller;
    TReplyApplier Applier;
    TLogDownload Download;
    std::string CurrentPort = StartPortName;
    bool Closed = false;
};

} // namespace klink
