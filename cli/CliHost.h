// The link's host for the command line: the logger's line, the window's controls as plain
// values, and the dialogs answered beforehand by the command's options.
#pragma once

#include "line/KestroLine.h"
#include "link/LineHost.h"
#include "link/PlainControls.h"

#include <QTimer>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cli {

class TCliHost : public klink::TLineHost<kline::TKestroLine, klink::TPlainControls> {
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
    // The log file is copied to standard output as it grows, so it is never written again.
    bool StreamedLog = false;

    // What happened so far.
    std::vector<std::string> Errors, Messages;
    int CyclesRead = 0; // whole poll cycles read
    int ClearsFinished = 0;
    std::optional<klink::TDownloadOutcome> Downloaded; // Records points into the link

    const std::string& Port() const { return FPort; }
    // The last attempt to open the port: the device and the system's error behind a failure.
    const kline::TOpenResult& LastOpen() const { return FLastOpen; }
    // Stops port events reaching the link (the session ends).
    void Detach();

    std::string OpenPort(const std::string& name) override;
    void StartReplyTimer(int milliseconds) override;
    void StopReplyTimer() override;
    void ShowError(const std::string& message) override;
    void ShowMessage(const std::string& message) override;
    int AskClearConfirmation() override { return ClearAnswer; }
    std::optional<std::string> AskSaveFileName() override { return SaveName; }
    // A read writes nothing into the logger: only the values a command sets go out.
    bool EchoesReadValues() const override { return false; }
    void PollCycleRead() override;
    void ReadingsApplied() override;
    bool LogFileRewritable() const override { return !StreamedLog; }
    void DownloadEnded(const klink::TDownloadOutcome& outcome) override;
    void ClearFinished() override;

protected:
    kline::TKestroLine& HostLine() const override { return Line; }

private:
    void Changed();

    std::string FPort;
    kline::TOpenResult FLastOpen;
    mutable kline::TKestroLine Line;
    QTimer ReplyTimer;
};

} // namespace cli
