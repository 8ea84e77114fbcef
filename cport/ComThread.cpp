#include "cport/ComThread.h"

#include "cport/ComDevice.h"
#include "cport/ComPort.h"
#include "cport/ComSync.h"

namespace cport {

namespace {

// System mask bit of each event, by TComEvent ordinal.
constexpr uint32_t MaskBits[] = {EV_RXCHAR, EV_TXEMPTY, EV_RXFLAG, EV_RING, EV_BREAK,
                                 EV_CTS,    EV_DSR,     EV_ERR,    EV_RLSD, EV_RX80FULL};

} // namespace

uint32_t EventMaskFromSet(TComEvents Events) {
    uint32_t Mask = 0;
    for (unsigned I = 0; I < std::size(MaskBits); ++I)
        if (Events.Contains(static_cast<TComEvent>(I)))
            Mask |= MaskBits[I];
    return Mask;
}

TComEvents EventSetFromMask(uint32_t Mask) {
    TComEvents Events;
    for (unsigned I = 0; I < std::size(MaskBits); ++I)
        if (Mask & MaskBits[I])
            Events.Include(static_cast<TComEvent>(I));
    return Events;
}

TComThread::TComThread(TCustomComPort* APort)
    : FPort(APort), FStopEvent(APort->FDevice->CreateEventObject()) {
    FPort->FDevice->SetCommMask(EventMaskFromSet(FPort->Events()));
    FThread = std::thread([this] { Execute(); });
}

void TComThread::Abandon() {
    FAbandoned = true;
    FStopEvent->Set();
}

TComThread::~TComThread() {
    FStopEvent->Set();
    if (IsMainThread())
        ServeMainThreadUntil([this] { return FFinished.load(); });
    if (FThread.joinable())
        FThread.join();
}

void TComThread::Execute() {
    FThreadId = std::this_thread::get_id();
    TComDevice& Device = *FPort->FDevice;
    std::exception_ptr Error;
    try {
        for (;;) {
            uint32_t Mask = 0;
            if (Device.WaitCommEvent(*FStopEvent, Mask) != TWaitResult::Event)
                break;
            FPendingEvents = EventSetFromMask(Mask);
            DeliverEvents();
            if (FAbandoned)
                break;
        }
    } catch (...) {
        Error = std::current_exception();
    }
    // An abandoned loop's port has cleaned up already and may be open on a new line.
    if (!FAbandoned) {
        Device.SetCommMask(0);
        Device.PurgeComm(PURGE_TXCLEAR | PURGE_RXCLEAR);
    }
    // A handler's exception ends delivery for this open; the user still gets to see it.
    if (Error)
        PostToMainThread([Error = std::move(Error)] { HandleApplicationException(Error); });
    FFinished = true;
    NotifyMainThread();
}

void TComThread::DeliverEvents() {
    TCustomComPort* Port = FPort;
    const TComEvents Events = FPendingEvents;
    switch (Port->SyncMethod()) {
    case smThreadSync:
        RunOnMainThread([Port, Events] { Port->RunEventHandlers(Events); });
        break;
    case smWindowSync:
        for (TComEvent Event : HandlerOrder)
            if (Events.Contains(Event))
                HandOverToMainThread([Port, Event] { Port->RunWindowEvent(Event); });
        break;
    case smNone:
        Port->RunEventHandlers(Events);
        break;
    }
}

} // namespace cport
