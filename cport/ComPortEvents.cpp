// Event dispatch: the per-event handlers, the signal reports and the published events.
#include "cport/ComPort.h"

#include "cport/ComSync.h"
#include "cport/ComThread.h"

#include <memory>

namespace cport {

// A wake-up that reaches the handlers after the port has closed finds nobody to tell; a
// handler that closes the port ends the rest of its wake-up.
void TCustomComPort::RunEventHandlers(TComEvents Events) {
    const bool Synced = FSyncMethod == smThreadSync && IsMainThread();
    if (Synced)
        ++FSyncDepth;
    try {
        for (TComEvent Event : HandlerOrder)
            if (Events.Contains(Event) && DeliveryOpen())
                RunEventHandler(Event);
    } catch (...) {
        if (Synced)
            --FSyncDepth;
        throw;
    }
    if (Synced)
        --FSyncDepth;
}

void TCustomComPort::RunWindowEvent(TComEvent Event) {
    if (DeliveryOpen())
        RunEventHandler(Event);
}

void TCustomComPort::RunEventHandler(TComEvent Event) {
    switch (Event) {
    case evError:
        HandleError();
        break;
    case evRxChar:
        HandleRxChar();
        break;
    case evTxEmpty:
        HandleTxEmpty();
        break;
    case evBreak:
        HandleBreak();
        break;
    case evRing:
        HandleRing();
        break;
    case evCTS:
        HandleCtsChange();
        break;
    case evDSR:
        HandleDsrChange();
        break;
    case evRxFlag:
        HandleRxFlag();
        break;
    case evRLSD:
        HandleRlsdChange();
        break;
    case evRx80Full:
        HandleRx80Full();
        break;
    }
}

void TCustomComPort::HandleError() {
    const TComErrors Errors = LineErrors();
    if (!Errors.Empty())
        DoError(Errors);
}

// When a link takes received bytes the port reads them all for it, and OnRxChar stays quiet.
void TCustomComPort::HandleRxChar() {
    int Count = BytesWaiting();
    if (Count <= 0)
        return;
    NotifyLinks([this](TComLink& Link) {
        if (Link.RxActivity)
            Link.RxActivity(this, true);
    });
    if (FAnyRxBufLink) {
        std::unique_ptr<char[]> Block;
        int Read = 0;
        NotifyLinks([&](TComLink& Link) {
            if (!Link.RxBufferReady)
                return;
            if (!Block) {
                Block = std::make_unique<char[]>(static_cast<size_t>(Count));
                Read = ReadBytes(Block.get(), Count);
                DoRxBuf(Block.get(), Read);
            }
            Link.RxBufferReady(this, Block.get(), Read);
        });
        if (Block)
            Count = 0;
    }
    if (Count > 0)
        DoRxChar(Count);
}

void TCustomComPort::HandleTxEmpty() {
    NotifyLinks([this](TComLink& Link) {
        if (Link.TxActivity)
            Link.TxActivity(this, false);
    });
    NotifyLinks([this](TComLink& Link) {
        if (Link.TxQueueEmpty)
            Link.TxQueueEmpty(this);
    });
    DoTxEmpty();
}

void TCustomComPort::HandleBreak() {
    DoBreak();
}

void TCustomComPort::HandleRing() {
    NotifyLinks([this](TComLink& Link) {
        if (Link.RingSeen)
            Link.RingSeen(this);
    });
    DoRing();
}

void TCustomComPort::HandleCtsChange() {
    const bool OnOff = ModemSignals().Contains(sgCTS);
    NotifyLinks([&](TComLink& Link) {
        if (Link.CtsChanged)
            Link.CtsChanged(this, OnOff);
    });
    DoCTSChange(OnOff);
}

void TCustomComPort::HandleDsrChange() {
    const bool OnOff = ModemSignals().Contains(sgDSR);
    NotifyLinks([&](TComLink& Link) {
        if (Link.DsrChanged)
            Link.DsrChanged(this, OnOff);
    });
    DoDSRChange(OnOff);
}

void TCustomComPort::HandleRxFlag() {
    NotifyLinks([this](TComLink& Link) {
        if (Link.RxFlagSeen)
            Link.RxFlagSeen(this);
    });
    DoRxFlag();
}

void TCustomComPort::HandleRlsdChange() {
    const bool OnOff = ModemSignals().Contains(sgRLSD);
    NotifyLinks([&](TComLink& Link) {
        if (Link.RlsdChanged)
            Link.RlsdChanged(this, OnOff);
    });
    DoRLSDChange(OnOff);
}

void TCustomComPort::HandleRx80Full() {
    DoRx80Full();
}

void TCustomComPort::ReportOpenedSignals() {
    HandleCtsChange();
    HandleDsrChange();
    HandleRlsdChange();
}

// Runs before OnBeforeClose and reads nothing from the device.
void TCustomComPort::ReportClosingSignals() {
    NotifyLinks([this](TComLink& Link) {
        if (Link.CtsChanged)
            Link.CtsChanged(this, false);
    });
    NotifyLinks([this](TComLink& Link) {
        if (Link.DsrChanged)
            Link.DsrChanged(this, false);
    });
    NotifyLinks([this](TComLink& Link) {
        if (Link.RlsdChanged)
            Link.RlsdChanged(this, false);
    });
    DoCTSChange(false);
    DoDSRChange(false);
    DoRLSDChange(false);
}

void TCustomComPort::DoAfterOpen() {
    if (OnAfterOpen)
        OnAfterOpen(this);
}
void TCustomComPort::DoAfterClose() {
    if (OnAfterClose)
        OnAfterClose(this);
}
void TCustomComPort::DoBeforeOpen() {
    if (OnBeforeOpen)
        OnBeforeOpen(this);
}
void TCustomComPort::DoBeforeClose() {
    if (OnBeforeClose)
        OnBeforeClose(this);
}
void TCustomComPort::DoRxChar(int Count) {
    if (OnRxChar)
        OnRxChar(this, Count);
}
void TCustomComPort::DoRxBuf(const char* Buf, int Count) {
    if (OnRxBuf)
        OnRxBuf(this, Buf, Count);
}
void TCustomComPort::DoTxEmpty() {
    if (OnTxEmpty)
        OnTxEmpty(this);
}
void TCustomComPort::DoBreak() {
    if (OnBreak)
        OnBreak(this);
}
void TCustomComPort::DoRing() {
    if (OnRing)
        OnRing(this);
}
void TCustomComPort::DoRxFlag() {
    if (OnRxFlag)
        OnRxFlag(this);
}
void TCustomComPort::DoRx80Full() {
    if (OnRx80Full)
        OnRx80Full(this);
}
void TCustomComPort::DoCTSChange(bool OnOff) {
    if (OnCTSChange)
        OnCTSChange(this, OnOff);
}
void TCustomComPort::DoDSRChange(bool OnOff) {
    if (OnDSRChange)
        OnDSRChange(this, OnOff);
}
void TCustomComPort::DoRLSDChange(bool OnOff) {
    if (OnRLSDChange)
        OnRLSDChange(this, OnOff);
}
void TCustomComPort::DoError(TComErrors Errors) {
    if (OnError)
        OnError(this, Errors);
}

} // namespace cport
