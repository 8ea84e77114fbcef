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

    // Stops the loop without waiting, for a close from inside this thread's own delivery:
    // the loop ends once that delivery returns and leaves the device alone.
    void Abandon();
    bool IsCurrentThread() const { return std::this_thread::get_id() == FThreadId.load(); }
    bool Finished() const { return FFinished.load(); }

private:
    void Execute();
    void DeliverEvents();

    TCustomComPort* FPort;
    std::unique_ptr<TComEventObject> FStopEvent;
    TComEvents FPendingEvents;
    std::atomic<bool> FFinished{false};
    std::atomic<bool> FAbandoned{false};
    // Set by the thread itself: std::thread's own id is not ready when the loop starts.
    std::atomic<std::thread::id> FThreadId;
    std::thread FThread;
};

} // namespace cport
