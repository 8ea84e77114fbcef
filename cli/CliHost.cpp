#include "cli/CliHost.h"

namespace cli {

using klink::Control;

TCliHost::TCliHost(std::string port) : FPort(std::move(port)) {
    Line.OnPacket = [this](const std::string& str) {
        if (OnPacket)
            OnPacket(str);
    };
    Line.OnActivity = [this] {
        if (OnLineActivity)
            OnLineActivity();
    };
    Line.OnCloseError = [this](const std::exception& e) { ShowError(e.what()); };
    ReplyTimer.setSingleShot(true);
    ReplyTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ReplyTimer, &QTimer::timeout, [this] {
        if (OnReplyTimeout)
            OnReplyTimeout();
    });
}

TCliHost::~TCliHost() {
    Detach();
}

void TCliHost::Detach() {
    OnPacket = nullptr;
    OnReplyTimeout = nullptr;
    OnLineActivity = nullptr;
    OnChange = nullptr;
    OnReadings = nullptr;
    ReplyTimer.stop();
}

void TCliHost::Changed() {
    if (OnChange)
        OnChange();
}

// The link shows only the message; kestro says more from the rest.
std::string TCliHost::OpenPort(const std::string& name) {
    FLastOpen = Line.TryOpen(name);
    return FLastOpen.Message;
}

void TCliHost::StartReplyTimer(int milliseconds) {
    ReplyTimer.start(milliseconds);
}

void TCliHost::StopReplyTimer() {
    ReplyTimer.stop();
}

void TCliHost::ShowError(const std::string& message) {
    Errors.push_back(message);
    if (OnError)
        OnError(message);
    Changed();
}

void TCliHost::ShowMessage(const std::string& message) {
    Messages.push_back(message);
    if (OnMessage)
        OnMessage(message);
    Changed();
}

void TCliHost::PollCycleRead() {
    ++CyclesRead;
    Changed();
}

void TCliHost::ReadingsApplied() {
    if (OnReadings)
        OnReadings();
}

void TCliHost::DownloadEnded(const klink::TDownloadOutcome& outcome) {
    Downloaded = outcome;
    Changed();
}

void TCliHost::ClearFinished() {
    ++ClearsFinished;
    Changed();
}

} // namespace cli
