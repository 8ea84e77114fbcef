#include "cli/CliHost.h"

#include "cli/MainThread.h"

#include "cport/CPort.h"
#include "cport/ComPortList.h"
#include "protocol/Commands.h"

#include <QDateTime>

namespace cli {

using klink::Control;

TCliHost::TCliHost(std::string port) : FPort(std::move(port)) {
    CreateSerial();
    ReplyTimer.setSingleShot(true);
    ReplyTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ReplyTimer, &QTimer::timeout, [this] {
        if (OnReplyTimeout)
            OnReplyTimeout();
    });
}

TCliHost::~TCliHost() {
    Detach();
    try {
        ComPort1->ClosePort();
    } catch (const std::exception&) {
        // Nobody is left to tell.
    }
}

// The same line settings and packet framing as the window's port.
void TCliHost::CreateSerial() {
    ComPort1 = std::make_unique<cport::TComPort>();
    ComPort1->SetName("ComPort1");
    ComPort1->SetBaudRate(cport::br9600);
    ComPort1->Parity().SetBits(cport::prNone);
    ComPort1->SetStopBits(cport::sbOneStopBit);
    ComPort1->SetDataBits(cport::dbEight);
    ComPort1->SetEventChar('>');
    ComPort1->SetEvents({cport::evRxChar, cport::evTxEmpty, cport::evRxFlag, cport::evRing,
                         cport::evBreak, cport::evCTS, cport::evDSR, cport::evError, cport::evRLSD,
                         cport::evRx80Full});
    cport::TComFlowControl& flow = ComPort1->FlowControl();
    flow.SetOutCTSFlow(false);
    flow.SetOutDSRFlow(false);
    flow.SetControlDTR(cport::dtrDisable);
    flow.SetControlRTS(cport::rtsDisable);
    flow.SetXonXoffOut(false);
    flow.SetXonXoffIn(false);
    ComDataPacket1 = std::make_unique<cport::TComDataPacket>();
    ComDataPacket1->SetComPort(ComPort1.get());
    ComDataPacket1->SetStartString("<");
    ComDataPacket1->SetStopString(">");
    ComDataPacket1->SetSize(35);
    // What the extractor has not taken by the flag character is dropped, as in the window.
    ComPort1->OnRxFlag = [this](cport::TObject*) {
        if (ComPort1->BytesWaiting() > 0) {
            std::string rest;
            ComPort1->ReadText(rest, 35);
        }
    };
    // The port reads received bytes for the extractor and tells of them here first.
    ComPort1->OnRxBuf = [this](cport::TObject*, const char*, int) {
        if (OnLineActivity)
            OnLineActivity();
    };
    ComDataPacket1->OnPacket = [this](cport::TObject*, const std::string& str) {
        if (OnPacket)
            OnPacket(str);
    };
}

void TCliHost::Detach() {
    OnPacket = nullptr;
    OnReplyTimeout = nullptr;
    OnLineActivity = nullptr;
    ReplyTimer.stop();
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
    return ComPort1->Connected();
}

bool TCliHost::WriteText(const std::string& framed) {
    try {
        if (ComPort1->WriteText(framed) == static_cast<int>(framed.size()))
            return true;
    } catch (...) {
        LineFailed = true;
        throw;
    }
    LineFailed = true;
    return false;
}

void TCliHost::PurgeInput() {
    if (ComPort1->Connected()) {
        const int waiting = ComPort1->BytesWaiting();
        std::string dropped;
        if (waiting > 0)
            ComPort1->ReadText(dropped, waiting);
    }
    ComDataPacket1->FlushBuffer();
}

void TCliHost::ClosePort() {
    ComPort1->ClosePort();
}

void TCliHost::ClosePortLater() {
    LineFailed = true;
    RunAfterHandOver([port = ComPort1.get()] {
        try {
            port->ClosePort();
        } catch (const std::exception&) {
            // The line is given up already; its write error has been reported.
        }
    });
}

std::string TCliHost::OpenPort(const std::string&) {
    try {
        ComPort1->ClosePort();
        ComPort1->SetPort(FPort);
        ComPort1->OpenPort();
        ComPort1->FlowControl().SetControlDTR(cport::dtrEnable);
        ComPort1->FlowControl().SetControlRTS(cport::rtsEnable);
        ComPort1->SetRtsLine(false);
        ComPort1->SetDtrLine(true);
    } catch (const std::exception& e) {
        std::string message = e.what();
        if (const auto* error = dynamic_cast<const cport::EComPort*>(&e))
            OpenAdvice = cport::ExplainOpenFailure(FPort, error->SystemCode());
        try {
            ComPort1->ClosePort();
        } catch (const std::exception&) {
            // Half open is no use either way; the first error is the one that counts.
        }
        return message;
    }
    return {};
}

void TCliHost::StartReplyTimer(int milliseconds) {
    ReplyTimer.start(milliseconds);
}

void TCliHost::StopReplyTimer() {
    ReplyTimer.stop();
}

protocol::DateTime TCliHost::PcNow() const {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec()};
}

std::string TCliHost::Text(Control control) const {
    if (Items.count(control))
        return ItemText(control, Items.at(control));
    const auto it = Texts.find(control);
    return it == Texts.end() ? std::string() : it->second;
}

void TCliHost::SetText(Control control, const std::string& text) {
    Texts[control] = text;
    if (OnTextSet)
        OnTextSet(control);
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
}

void TCliHost::ShowMessage(const std::string& message) {
    Messages.push_back(message);
    if (OnMessage)
        OnMessage(message);
}

} // namespace cli
