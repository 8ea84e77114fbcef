#include "cli/CliHost.h"

#include "protocol/Commands.h"

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

std::string TCliHost::ItemText(Control list, int index) {
    const auto pick = [index](const auto& items) {
        return index >= 0 && index < static_cast<int>(items.size()) ? std::string(items[index])
                                                                    : std::string();
    };
    switch (list) {
    case Control::MaterialBox:
        return pick(protocol::MaterialItems);
    case Control::ZonesBox:
        return pick(protocol::ZonesItems);
    case Control::RefType:
        return pick(protocol::RefTypeItems);
    case Control::LogIntBox:
        return pick(protocol::LogIntervalItems);
    default:
        return {};
    }
}

bool TCliHost::PortConnected() const {
    return Line.Connected();
}

bool TCliHost::WriteText(const std::string& framed) {
    try {
        if (Line.Write(framed))
            return true;
    } catch (...) {
        LineFailed = true;
        Changed();
        throw;
    }
    LineFailed = true;
    Changed();
    return false;
}

void TCliHost::PurgeInput() {
    Line.PurgeInput();
}

void TCliHost::ClosePort() {
    Line.Close();
}

void TCliHost::ClosePortLater() {
    LineFailed = true;
    Line.CloseLater();
    Changed();
}

std::string TCliHost::OpenPort(const std::string&) {
    return Line.Open(FPort);
}

void TCliHost::StartReplyTimer(int milliseconds) {
    ReplyTimer.start(milliseconds);
}

void TCliHost::StopReplyTimer() {
    ReplyTimer.stop();
}

std::string TCliHost::Text(Control control) const {
    if (Items.count(control))
        return ItemText(control, Items.at(control));
    const auto it = Texts.find(control);
    return it == Texts.end() ? std::string() : it->second;
}

void TCliHost::SetText(Control control, const std::string& text) {
    Texts[control] = text;
}

int TCliHost::ItemIndex(Control control) const {
    const auto it = Items.find(control);
    return it == Items.end() ? -1 : it->second;
}

void TCliHost::SetItemIndex(Control control, int index) {
    Items[control] = index;
}

bool TCliHost::Checked(Control control) const {
    const auto it = Checks.find(control);
    return it != Checks.end() && it->second;
}

void TCliHost::SetChecked(Control control, bool checked) {
    Checks[control] = checked;
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
