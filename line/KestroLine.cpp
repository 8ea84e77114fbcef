#include "line/KestroLine.h"

#include "cport/CPort.h"
#include "cport/ComPortList.h"
#include "cport/ComPortRules.h"
#include "protocol/Framing.h"

#include <algorithm>

namespace kline {

namespace {

constexpr int ReplyLength = static_cast<int>(protocol::ReplyLength);

// The serial layer's message as it stands, and for a port that would not open one more line
// that says why on this PC, with the device and the variable behind the name.
TOpenResult Failure(const std::string& port, const std::exception& e) {
    TOpenResult result;
    result.Message = e.what();
    const auto* com = dynamic_cast<const cport::EComPort*>(&e);
    if (!com)
        return result;
    result.ErrorCode = com->ErrorCode();
    result.SystemCode = std::max(com->SystemCode(), 0);
    // Looked up after the failure: a device plugged in between would be named, not the one
    // tried, but only within the same few milliseconds.
    result.Path = cport::ComPortDevicePath(port);
    result.Variable = cport::ComPortVariable(port);
    if (com->ErrorCode() == cport::ecOpenFailed) {
        if (const std::string why = cport::ExplainOpenFailure(port, com->SystemCode());
            !why.empty()) {
            result.Message += "\n" + why;
        }
    }
    return result;
}

} // namespace

void UseProgramNames() {
    cport::SetComPortNaming({"QUORVA_COM", {{"quorva", "another copy of Quorva"}}});
}

TKestroLine::TKestroLine() {
    UseProgramNames();
    CreateSerial();
}

TKestroLine::~TKestroLine() {
    ComPort1->OnRxFlag = nullptr;
    ComPort1->OnRxBuf = nullptr;
    ComDataPacket1->OnPacket = nullptr;
    try {
        ComPort1->ClosePort();
    } catch (const std::exception&) {
        // Nobody is left to tell.
    }
}

// The line as the logger expects it: 9600 8N1, no flow control, replies framed "<...>" of a
// fixed length, with ">" as the event character that ends each one.
void TKestroLine::CreateSerial() {
    ComPort1 = std::make_unique<cport::TComPort>();
    ComPort1->SetName("ComPort1");
    ComPort1->SetBaudRate(cport::br9600);
    ComPort1->SetPort("COM1");
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
    ComDataPacket1->SetSize(ReplyLength);
    ComPort1->OnRxFlag = [this](cport::TObject*) { ComPort1RxFlag(); };
    ComPort1->OnRxBuf = [this](cport::TObject*, const char*, int) {
        if (OnActivity) {
            OnActivity();
        }
    };
    ComDataPacket1->OnPacket = [this](cport::TObject*, const std::string& str) {
        if (OnPacket) {
            OnPacket(str);
        }
    };
}

// The received characters have gone to the extractor already; whatever is left is dropped.
void TKestroLine::ComPort1RxFlag() {
    if (ComPort1->BytesWaiting() > 0) {
        std::string rest;
        ComPort1->ReadText(rest, ReplyLength);
    }
}

bool TKestroLine::Connected() const {
    return ComPort1->Connected();
}

std::string TKestroLine::PortName() const {
    return ComPort1->Port();
}

bool TKestroLine::Write(const std::string& framed) {
    return ComPort1->WriteText(framed) == static_cast<int>(framed.size());
}

void TKestroLine::PurgeInput() {
    if (ComPort1->Connected()) {
        const int waiting = ComPort1->BytesWaiting();
        std::string dropped;
        if (waiting > 0) {
            ComPort1->ReadText(dropped, waiting);
        }
    }
    ComDataPacket1->FlushBuffer();
}

void TKestroLine::Close() {
    ComPort1->ClosePort();
}

void TKestroLine::CloseLater() {
    cport::RunAfterHandOver([this, alive = std::weak_ptr<int>(Alive)] {
        if (alive.expired()) {
            return;
        }
        try {
            ComPort1->ClosePort();
        } catch (const std::exception& e) {
            if (OnCloseError) {
                OnCloseError(e);
            }
        }
    });
}

bool TOpenResult::DeviceRefused() const {
    return ErrorCode == cport::ecOpenFailed && SystemCode > 0;
}

TOpenResult TKestroLine::TryOpen(const std::string& name) {
    try {
        ComPort1->ClosePort();
        ComPort1->SetPort(name);
        ComPort1->OpenPort();
        ComPort1->FlowControl().SetControlDTR(cport::dtrEnable);
        ComPort1->FlowControl().SetControlRTS(cport::rtsEnable);
        ComPort1->SetRtsLine(false);
        ComPort1->SetDtrLine(true);
    } catch (const std::exception& e) {
        TOpenResult result = Failure(name, e);
        // Half open is no use: the link treats the port as closed.
        try {
            ComPort1->ClosePort();
        } catch (const std::exception&) {
            // The first error is the one that counts.
        }
        return result;
    }
    return {};
}

} // namespace kline
