// The background thread of an open port: waits for line events and delivers them.
#pragma once

#include "cport/ComTypes.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

namespace cport {

class TCustomComPort;
class TComEventObject;

// The fixed order in which one wake-up's events reach their handlers.
inline constexpr TComEvent HandlerOrder[] = {evError, evRxChar, evTxEmpty, evBreak, evRing,
                                             evCTS,   evDSR,    evRxFlag,  evRLSD,  evRx80Full};

uint32_t EventMaskFromSet(TComEvents Events);
TComEvents EventSetFromMask(uint32_t Mask);

class TComThread {
public:
    // Sets the device's event mask from the port's Events and starts waiting.
    explicit TComThread(TCustomComPort* APort);
    // Signals the stop event and waits for the loop to end; on the main thread it keeps
    // running handed-over calls meanwhile, because the loop may be waiting for one of them.
    ~TComThread();
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    TComEvents PendingEvents() const { return FPendingEvents; }

private:
    void Execute();
    void DeliverEvents();

    TCustomComPort* FPort;
    std::unique_ptr<TComEventObject> FStopEvent;
    TComEvents FPendingEvents;
    std::atomic<bool> FFinished{false};
    std::thread FThread;
};

} // namespace cport
