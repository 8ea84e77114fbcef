// The link's host for the command line: the logger's line, the window's controls as plain
// values, and the dialogs answered beforehand by the command's options.
#pragma once

#include "line/KestroLine.h"
#include "link/LinkHost.h"

#include <QTimer>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cli {

class TCliHost : public klink::TLinkHost {
public:
    // Port: "COMn" (numbered as the window numbers them) or a device path.
    explicit TCliHost(std::string port);
    ~TCliHost() override;
    TCliHost(const TCliHost&) = delete;
    TCliHost& operator=(const TCliHost&) = delete;

    // Wired by the session: where the port's packets and the reply timer go.
    std::function<void(const std::string&)> OnPacket;
    std::function<void()> OnReplyTimeout;
    // Received bytes reached the port (the link times the line's quiet by them).
    std::function<void()> OnLineActivity;
    // After anything below has changed: a notification of the link, an error, a message.
    std::function<void()> OnChange;
    // Each error and message as it is raised (the session prints them).
    std::function<void(const std::string&)> OnError;
    std::function<void(const std::string&)> OnMessage;
    // Every zone readings reply, once applied.
    std::function<void()> OnReadings;

    // The answers of the two dialogs.
    std::optional<std::string> SaveName;
    int ClearAnswer = klink::mrNo;

    // What happened so far.
    std::vector<std::string> Errors, Messages;
    bool LineFailed = false; // a write failed or the port was given up
    int CyclesRead = 0;      // whole poll cycles read
    int ClearsFinished = 0;
    std::optional<klink::TDownloadOutcome> Downloaded; // Records points into the link

    const std::string& Port() const { return FPort; }
    // The item's text of a list, "" when nothing is selected.
    static std::string ItemText(klink::Control list, int index);
    // Stops port events reaching the link (the session ends).
    void Detach();

    bool PortConnected() const override;
    bool WriteText(const std::string& framed) override;
    void PurgeInput() override;
    void ClosePort() override;
    void ClosePortLater() override;
    // The command line names one port; the link's own default name stands for it.
    std::string OpenPort(const std::string& name) override;
    void StartReplyTimer(int milliseconds) override;
    void StopReplyTimer() override;
    std::string Text(klink::Control control) const override;
    void SetText(klink::Control control, const std::string& text) override;
    int ItemIndex(klink::Control control) const override;
    void SetItemIndex(klink::Control control, int index) override;
    bool Checked(klink::Control control) const override;
    void SetChecked(klink::Control control, bool checked) override;
    void SetEnabled(klink::Control, bool) override {}
    void SetColour(klink::Control, klink::Colour) override {}
    void SetCaption(klink::Control, const std::string&) override {}
    void DisableEntries(bool) override {}
    void AppendLogLine(const std::string&) override {}
    void ClearLogDisplay() override {}
    void ShowError(const std::string& message) override;
    void ShowMessage(const std::string& message) override;
    int AskClearConfirmation() override { return ClearAnswer; }
    std::optional<std::string> AskSaveFileName() override { return SaveName; }
    void PollCycleRead() override;
    void ReadingsApplied() override;
    void DownloadEnded(const klink::TDownloadOutcome& outcome) override;
    void ClearFinished() override;

private:
    void Changed();

    std::string FPort;
    kline::TKestroLine Line;
    QTimer ReplyTimer;
    std::map<klink::Control, std::string> Texts;
    std::map<klink::Control, int> Items;
    std::map<klink::Control, bool> Checks;
};

} // namespace cli
