// Construction, open and close, property setters and applying settings to the device.
#include "cport/ComPort.h"

#include "cport/ComDevice.h"
#include "cport/ComSync.h"
#include "cport/ComThread.h"

#include <algorithm>

namespace cport {

TCustomComPort::TCustomComPort()
    : FDevice(CreateComDevice()), FParity(std::make_unique<TComParity>()),
      FFlowControl(std::make_unique<TComFlowControl>()),
      FTimeouts(std::make_unique<TComTimeouts>()), FBuffer(std::make_unique<TComBuffer>()) {
    FParity->SetComPort(this);
    FFlowControl->SetComPort(this);
    FTimeouts->SetComPort(this);
    FBuffer->SetComPort(this);
}

TCustomComPort::~TCustomComPort() {
    try {
        ClosePort();
    } catch (...) {
        HandleApplicationException(std::current_exception());
    }
    // The threads use the device, which as a member would otherwise go first.
    FEventThread.reset();
    FRetiredThreads.clear();
    FBuffer.reset();
    FFlowControl.reset();
    FTimeouts.reset();
    FParity.reset();
    // Whoever still follows the port lets go of it now, before the link list goes.
    auto Notifies = std::move(FFreeNotifies);
    for (auto& [Who, OnFree] : Notifies)
        if (OnFree)
            OnFree();
}

void TCustomComPort::OpenPort() {
    if (FConnected || FDesigning)
        return;
    PruneRetiredThreads();
    DoBeforeOpen();
    CreatePortHandle();
    FConnected = true;
    try {
        ApplyAllSettings();
    } catch (...) {
        DestroyPortHandle();
        FConnected = false;
        throw;
    }
    if (FEvents.Empty()) {
        FThreadRunning = false;
    } else {
        FEventThread = std::make_unique<TComThread>(this);
        FThreadRunning = true;
    }
    NotifyLinks([this](TComLink& Link) {
        if (Link.ConnectionChanged)
            Link.ConnectionChanged(this, true);
    });
    DoAfterOpen();
    ReportOpenedSignals();
}

void TCustomComPort::ClosePort() {
    if (!FConnected || FDesigning || FClosing)
        return;
    FClosing = true;
    try {
        ReportClosingSignals();
        DoBeforeClose();
        AbortTransfers();
    } catch (...) {
        FClosing = false;
        throw;
    }
    // What WriteText reported as written must leave the line before the purge below.
    FDevice->FlushFileBuffers();
    if (FThreadRunning) {
        StopEventThread();
        FThreadRunning = false;
    }
    DestroyPortHandle();
    FConnected = false;
    FClosing = false;
    NotifyLinks([this](TComLink& Link) {
        if (Link.ConnectionChanged)
            Link.ConnectionChanged(this, false);
    });
    DoAfterClose();
}

// Joining the thread from inside its own delivery would wait for itself: a handler of
// smThreadSync holds it on the main thread, a handler of smNone runs on it.
void TCustomComPort::StopEventThread() {
    const bool InOwnDelivery =
        FEventThread->IsCurrentThread() || (IsMainThread() && FSyncDepth > 0);
    if (!InOwnDelivery) {
        FEventThread.reset();
        return;
    }
    FEventThread->Abandon();
    FDevice->SetCommMask(0);
    FDevice->PurgeComm(PURGE_TXCLEAR | PURGE_RXCLEAR);
    FRetiredThreads.push_back(std::move(FEventThread));
}

void TCustomComPort::PruneRetiredThreads() {
    std::erase_if(FRetiredThreads, [](const auto& Thread) {
        return Thread->Finished() && !Thread->IsCurrentThread();
    });
}

void TCustomComPort::CreatePortHandle() {
    if (int Error = FDevice->Open(FPort))
        throw EComPort(ecOpenFailed, Error);
}

void TCustomComPort::DestroyPortHandle() {
    if (FDevice->IsOpen())
        FDevice->Close();
}

void TCustomComPort::ApplyAllSettings() {
    ApplyBufferSizes();
    ApplyLineSettings();
    ApplyTimeoutSettings();
}

bool TCustomComPort::ApplyAllowed() const {
    return FConnected && !FDesigning && !FLoading;
}

void TCustomComPort::ApplyLineSettings() {
    if (!ApplyAllowed())
        return;
    TDcb Dcb;
    // A custom rate below 1 is no rate at all; the device refuses 0.
    const int Rate =
        FBaudRate == brCustom ? std::max(FCustomBaudRate, 0) : BaudRateTable[FBaudRate];
    Dcb.BaudRate = static_cast<uint32_t>(Rate);
    Dcb.fBinary = true;
    Dcb.fNull = FDiscardNull;
    Dcb.fOutxCtsFlow = FFlowControl->OutCTSFlow();
    Dcb.fOutxDsrFlow = FFlowControl->OutDSRFlow();
    Dcb.fDtrControl = FFlowControl->ControlDTR();
    Dcb.fRtsControl = FFlowControl->ControlRTS();
    Dcb.fOutX = FFlowControl->XonXoffOut();
    Dcb.fInX = FFlowControl->XonXoffIn();
    Dcb.fDsrSensitivity = FFlowControl->DSRSensitivity();
    Dcb.fTXContinueOnXoff = FFlowControl->TxContinueOnXoff();
    Dcb.fParity = FParity->Check();
    // Replacing bad characters only makes sense while parity is being checked.
    if (FParity->Check() && FParity->Replace()) {
        Dcb.fErrorChar = true;
        Dcb.ErrorChar = FParity->ReplaceChar();
    }
    Dcb.XonLim = Dcb.XoffLim = static_cast<uint16_t>(FBuffer->InputSize() / 4);
    Dcb.ByteSize = static_cast<uint8_t>(5 + FDataBits);
    Dcb.Parity = FParity->Bits();
    Dcb.StopBits = FStopBits;
    Dcb.XonChar = FFlowControl->XonChar();
    Dcb.XoffChar = FFlowControl->XoffChar();
    Dcb.EvtChar = FEventChar;
    if (int Error = FDevice->SetCommState(Dcb))
        throw EComPort(ecSetStateFailed, Error);
}

void TCustomComPort::ApplyTimeoutSettings() {
    if (!ApplyAllowed())
        return;
    // -1 stands for MAXDWORD, so every field goes over as its unsigned bit pattern.
    TCommTimeouts T;
    T.ReadIntervalTimeout = static_cast<uint32_t>(FTimeouts->ReadInterval());
    T.ReadTotalTimeoutMultiplier = static_cast<uint32_t>(FTimeouts->ReadTotalMultiplier());
    T.ReadTotalTimeoutConstant = static_cast<uint32_t>(FTimeouts->ReadTotalConstant());
    T.WriteTotalTimeoutMultiplier = static_cast<uint32_t>(FTimeouts->WriteTotalMultiplier());
    T.WriteTotalTimeoutConstant = static_cast<uint32_t>(FTimeouts->WriteTotalConstant());
    if (int Error = FDevice->SetCommTimeouts(T))
        throw EComPort(ecTimeoutsFailed, Error);
}

void TCustomComPort::ApplyBufferSizes() {
    if (!ApplyAllowed())
        return;
    if (int Error = FDevice->SetupComm(FBuffer->InputSize(), FBuffer->OutputSize()))
        throw EComPort(ecSetupComFailed, Error);
}

void TCustomComPort::SetConnected(bool Value) {
    if (FDesigning || FLoading) {
        FConnected = Value;
        return;
    }
    if (Value == FConnected)
        return;
    if (Value)
        OpenPort();
    else
        ClosePort();
}

void TCustomComPort::Loaded() {
    FLoading = false;
    if (!FConnected || FDesigning)
        return;
    FConnected = false;
    try {
        OpenPort();
    } catch (...) {
        HandleApplicationException(std::current_exception());
    }
}

void TCustomComPort::SetBaudRate(TBaudRate Value) {
    if (Value == FBaudRate)
        return;
    FBaudRate = Value;
    ApplyLineSettings();
}

void TCustomComPort::SetCustomBaudRate(int Value) {
    if (Value == FCustomBaudRate)
        return;
    FCustomBaudRate = Value;
    ApplyLineSettings();
}

void TCustomComPort::SetPort(const std::string& Value) {
    if (Value == FPort)
        return;
    FPort = Value;
    if (FConnected && !FDesigning && !FLoading) {
        ClosePort();
        OpenPort();
    }
}

void TCustomComPort::SetParity(const TComParity& Value) {
    FParity->Assign(Value);
    ApplyLineSettings();
}

void TCustomComPort::SetStopBits(TStopBits Value) {
    if (Value == FStopBits)
        return;
    FStopBits = Value;
    ApplyLineSettings();
}

void TCustomComPort::SetDataBits(TDataBits Value) {
    if (Value == FDataBits)
        return;
    FDataBits = Value;
    ApplyLineSettings();
}

void TCustomComPort::SetDiscardNull(bool Value) {
    if (Value == FDiscardNull)
        return;
    FDiscardNull = Value;
    ApplyLineSettings();
}

void TCustomComPort::SetEventChar(char Value) {
    if (Value == FEventChar)
        return;
    FEventChar = Value;
    ApplyLineSettings();
}

void TCustomComPort::SetBuffer(const TComBuffer& Value) {
    FBuffer->Assign(Value);
    ApplyBufferSizes();
}

void TCustomComPort::SetFlowControl(const TComFlowControl& Value) {
    FFlowControl->Assign(Value);
    ApplyLineSettings();
}

void TCustomComPort::SetTimeouts(const TComTimeouts& Value) {
    FTimeouts->Assign(Value);
    ApplyTimeoutSettings();
}

void TCustomComPort::SetSyncMethod(TSyncMethod Value) {
    if (Value == FSyncMethod)
        return;
    if (FConnected)
        throw EComPort(ecConnChangeProp);
    FSyncMethod = Value;
}

void TCustomComPort::AttachLink(TComLink* Link) {
    if (std::find(FLinks.begin(), FLinks.end(), Link) != FLinks.end())
        throw EComPort(ecRegFailed);
    FLinks.push_back(Link);
    RecomputeAnyRxBufLink();
}

void TCustomComPort::DetachLink(TComLink* Link) {
    auto Found = std::find(FLinks.begin(), FLinks.end(), Link);
    if (Found == FLinks.end())
        throw EComPort(ecRegFailed);
    FLinks.erase(Found);
    RecomputeAnyRxBufLink();
}

void TCustomComPort::RecomputeAnyRxBufLink() {
    FAnyRxBufLink = std::any_of(FLinks.begin(), FLinks.end(),
                                [](const TComLink* Link) { return bool(Link->RxBufferReady); });
}

void TCustomComPort::AddFreeNotification(TObject* Who, std::function<void()> OnFree) {
    RemoveFreeNotification(Who);
    FFreeNotifies.emplace_back(Who, std::move(OnFree));
}

void TCustomComPort::RemoveFreeNotification(TObject* Who) {
    std::erase_if(FFreeNotifies, [Who](const auto& Entry) { return Entry.first == Who; });
}

} // namespace cport
