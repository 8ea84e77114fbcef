// What the window shell does for the link logic: the port, the controls, the dialogs.
#pragma once

#include "protocol/DateTime.h"
#include "protocol/LogRecord.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace klink {

// The controls of the main window that the link logic reads or writes.
enum class Control {
    KestroName,
    SerialNo,
    SoftwareVersion,
    Zone1Text,
    Zone2Text,
    Zone3Text,
    MaterialBox,
    ZonesBox,
    RefType,
    LogIntBox,
    CyclicLogCheckBox,
    LogTime,
    KestroTime,
    LogNumber,
    BatteryVolts,
    PcTime,
    Edit1,
    Edit2,
    Edit3,
    Status,
    DataWin,
    ReadLogsButton,
    SaveLogs,   // the "Save to File" button
    SaveAsMenu, // the File menu's "&Save Logs"
};

enum class Colour { Window, Red, Lime };

// The confirmation window's modal results.
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;
inline constexpr int mrCancel = 2;

// Why a download ended.
enum class TDownloadEnd {
    Complete,     // the logger said the log ended, or every slot was read
    EndedShort,   // the log ended before the count read when the download began
    EntriesLost,  // the log moved on while it was read and some entries are not in the file
    LoggerSilent, // the logger stopped answering the requests
    LineGone,     // a write failed: the port was closed
    FileError,    // the log file could not be written or closed
    Cancelled,    // the user aborted, or the window closed
};

struct TDownloadOutcome {
    TDownloadEnd End = TDownloadEnd::Complete;
    std::string FileName;
    // Every entry in the file, entry 0 included, in the file's order.
    const std::vector<protocol::LogRecord>* Records = nullptr;
    // Entries that had moved while the log was read, read again and put in their place.
    std::size_t EntriesPutInPlace = 0;
};

// Implemented by the shell; every call comes on the main thread. The link echoes the values it
// sets itself, so the shell binds the *Change handlers to the user's own edits only.
class TLinkHost {
public:
    virtual ~TLinkHost() = default;

    // Serial line. WriteText returns true once the whole text is written. A failed write
    // throws (the serial layer's exception, derived from std::exception) or returns false; the
    // link then shows the message once and asks for ClosePortLater.
    virtual bool PortConnected() const = 0;
    virtual bool WriteText(const std::string& framed) = 0;
    // Throws away received bytes and the extractor's partial packet.
    virtual void PurgeInput() = 0;
    virtual void ClosePort() = 0;
    // Closes the port once the current event hand-over has returned: a write can fail while a
    // reply is being handled, and closing from in there would wait for itself.
    virtual void ClosePortLater() = 0;
    // Sets the port name, opens it, sets DTR/RTS control to enabled, RTS low, DTR high.
    // Returns "" on success, otherwise the serial layer's message (the port stays closed).
    virtual std::string OpenPort(const std::string& name) = 0;

    // A single-shot timer that calls TKestroLink::ReplyTimeout; starting it again restarts it.
    // The link also times the line's quiet with it after a time-out, so the host must call
    // TKestroLink::LineActivity whenever received bytes reach the port.
    virtual void StartReplyTimer(int milliseconds) = 0;
    virtual void StopReplyTimer() = 0;

    // The PC's local civil time.
    virtual protocol::DateTime PcNow() const;
    // A steady millisecond count for measuring reply times; only differences matter.
    virtual int64_t MonotonicMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    // Text of an edit, or the selected item's text of a list ("" when none is selected).
    virtual std::string Text(Control control) const = 0;
    virtual void SetText(Control control, const std::string& text) = 0;
    virtual int ItemIndex(Control control) const = 0;
    // -1 leaves the list with no selection. Setting an index sends nothing.
    virtual void SetItemIndex(Control control, int index) = 0;
    virtual bool Checked(Control control) const = 0;
    virtual void SetChecked(Control control, bool checked) = 0;
    // What only a window shows; a host without one leaves these alone.
    virtual void SetEnabled(Control control, bool enabled) { (void)control, (void)enabled; }
    virtual void SetColour(Control control, Colour colour) { (void)control, (void)colour; }
    virtual void SetCaption(Control control, const std::string& caption) {
        (void)control, (void)caption;
    }
    // Locks (busy) or unlocks the setting controls as the window's DisableEntries does.
    virtual void DisableEntries(bool busy) { (void)busy; }

    // The hidden traffic memo: one line per command sent and per accepted reply. The link
    // keeps the newest lines itself; a host that shows them gets each line as it is added.
    virtual void AppendTraffic(const std::string& line) { (void)line; }

    // The "Log Data" page's memo.
    virtual void AppendLogLine(const std::string& line) { (void)line; }
    virtual void ClearLogDisplay() {}

    // Modal windows; the shell's timers and port events keep running while they are open.
    // ShowError and ShowMessage may be called while a reply is handled; the shell may show
    // them once that handler has returned.
    virtual void ShowError(const std::string& message) = 0;
    virtual void ShowMessage(const std::string& message) = 0;
    // The confirmation window's modal result: mrYes, mrNo, or mrCancel when closed.
    virtual int AskClearConfirmation() = 0;
    // The save dialog with the text-file filter; nullopt when the user cancels.
    virtual std::optional<std::string> AskSaveFileName() = 0;

    // The window sends a text or the cyclic flag it has just read from the logger straight back
    // to it, as its change handlers would; a host that only reads leaves the logger untouched.
    virtual bool EchoesReadValues() const { return true; }

    // What happened, said once each as it happens, so a host never has to infer it from the
    // controls. A window may ignore them all.
    // Every question of one poll cycle has been answered, each reply applied.
    virtual void PollCycleRead() {}
    // A zone readings reply has been applied to the read-outs, battery included.
    virtual void ReadingsApplied() {}
    // Whether the download's file may be written again once it is closed, to put in their
    // place entries that moved while the log was read. A host that has passed the file on as
    // it grew says no; those entries are then named as missing.
    virtual bool LogFileRewritable() const { return true; }
    // Get Logs has ended; the file is closed (or given up on a file error).
    virtual void DownloadEnded(const TDownloadOutcome& outcome) { (void)outcome; }
    // The logger answered again after erasing its log.
    virtual void ClearFinished() {}
};

} // namespace klink
