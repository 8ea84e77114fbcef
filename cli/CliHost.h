// The link's host for the command line: the port, the window's controls as plain values, and
// the dialogs answered beforehand by the command's options.
#pragma once

#include "link/LinkHost.h"

#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cport {
class TComPort;
class TComDataPacket;
} // namespace cport

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
    // After every SetText, with the control that changed.
    std::function<void(klink::Control)> OnTextSet;
    // Each error and message as it is raised (the session prints them).
    std::function<void(const std::string&)> OnError;
    std::function<void(const std::string&)> OnMessage;

    // The answers of the two dialogs.
    std::optional<std::string> SaveName;
    int ClearAnswer = klink::mrNo;

    // What happened so far.
    std::vector<std::string> Errors, Messages;
    bool LineFailed = false; // a write failed or the port was given up
    std::string OpenAdvice;  // what to do about the port that did not open, when known
    int LogLinesShown = 0;

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
    protocol::DateTime PcNow() const override;
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
    void AppendLogLine(const std::string&) override { ++LogLinesShown; }
    void ClearLogDisplay() override { LogLinesShown = 0; }
    void ShowError(const std::string& message) override;
    void ShowMessage(const std::string& message) override;
    int AskClearConfirmation() override { return ClearAnswer; }
    std::optional<std::string> AskSaveFileName() override { return SaveName; }

private:
    void CreateSerial();

    std::string FPort;
    std::unique_ptr<cport::TComPort> ComPort1;
    std::unique_ptr<cport::TComDataPacket> ComDataPacket1;
    QTimer ReplyTimer;
    std::map<klink::Control, std::string> Texts;
    std::map<klink::Control, int> Items;
    std::map<klink::Control, bool> Checks;
};

} // namespace cli
