// A window shell without widgets: records what the link does to controls, port and dialogs.
#pragma once

#include "link/LinkHost.h"

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace klinktest {

using klink::Colour;
using klink::Control;

class TFakeHost : public klink::TLinkHost {
public:
    // The port.
    bool Connected = true;
    std::string OpenError;           // what OpenPort answers
    std::string WriteFailure;        // when set, WriteText throws with it
    std::vector<std::string> Wire;   // every framed text written
    std::vector<std::string> Opened; // names given to OpenPort
    int Purges = 0;
    int LaterCloses = 0;

    // The reply timer.
    bool ReplyTimerRunning = false;
    int ReplyTimerMs = 0;
    int ReplyTimerStarts = 0;

    protocol::DateTime Now{2026, 12, 8, 10, 45, 0, 0};

    // Controls.
    std::map<Control, std::string> Texts;
    std::map<Control, int> Items;
    std::map<Control, bool> Checks;
    std::map<Control, bool> Enabled;
    std::map<Control, Colour> Colours;
    std::map<Control, std::string> Captions;
    std::vector<std::pair<Control, std::string>> TextSets;
    std::vector<bool> DisableCalls;
    std::vector<std::string> Memo;

    // Dialogs.
    std::vector<std::string> Errors;
    std::vector<std::string> Messages;
    int ClearAnswer = 6;
    int ClearAsked = 0;
    std::optional<std::string> SaveName;
    int SaveAsked = 0;
    // False as for a host that passes the log file on while it grows.
    bool FileRewritable = true;
    // Runs while a modal dialog is open, as the shell's timers and events would.
    std::function<void()> DuringModal;
    // SetText of this control throws once, as a failing shell would.
    std::optional<Control> ThrowOnSet;

    // What the link said happened.
    std::vector<klink::TDownloadEnd> DownloadEnds;
    std::vector<std::size_t> DownloadRecords; // entries written, by download
    int CyclesRead = 0;
    int ClearsFinished = 0;

    TFakeHost();

    bool PortConnected() const override { return Connected; }
    bool WriteText(const std::string& framed) override;
    void PurgeInput() override { ++Purges; }
    void ClosePort() override { Connected = false; }
    void ClosePortLater() override { ++LaterCloses; }
    std::string OpenPort(const std::string& name) override;
    void StartReplyTimer(int milliseconds) override;
    void StopReplyTimer() override { ReplyTimerRunning = false; }
    protocol::DateTime PcNow() const override { return Now; }
    int64_t SteadyMs = 0; // the rig's simulated milliseconds
    int64_t MonotonicMs() const override { return SteadyMs; }
    std::string Text(Control control) const override;
    void SetText(Control control, const std::string& text) override;
    int ItemIndex(Control control) const override;
    void SetItemIndex(Control control, int index) override { Items[control] = index; }
    bool Checked(Control control) const override;
    void SetChecked(Control control, bool checked) override { Checks[control] = checked; }
    void SetEnabled(Control control, bool enabled) override { Enabled[control] = enabled; }
    void SetColour(Control control, Colour colour) override { Colours[control] = colour; }
    void SetCaption(Control control, const std::string& caption) override;
    void DisableEntries(bool busy) override { DisableCalls.push_back(busy); }
    void AppendLogLine(const std::string& line) override { Memo.push_back(line); }
    void ClearLogDisplay() override { Memo.clear(); }
    void ShowError(const std::string& message) override { Errors.push_back(message); }
    void ShowMessage(const std::string& message) override { Messages.push_back(message); }
    int AskClearConfirmation() override;
    std::optional<std::string> AskSaveFileName() override;
    void PollCycleRead() override { ++CyclesRead; }
    bool LogFileRewritable() const override { return FileRewritable; }
    void DownloadEnded(const klink::TDownloadOutcome& outcome) override;
    void ClearFinished() override { ++ClearsFinished; }

    // Texts of the selected items, as a list control would report them.
    std::string ItemText(Control control) const;
};

} // namespace klinktest
