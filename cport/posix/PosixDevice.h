// The Linux device behind TComPort: termios, an input queue of its own, poll and event fds.
#pragma once

#include "cport/ComDevice.h"

#include <chrono>
#include <deque>
#include <linux/serial.h>
#include <mutex>
#include <optional>
#include <string>

struct pollfd;

namespace cport {

using TClock = std::chrono::steady_clock;

// A manual-reset event on an eventfd, so that poll can wait for it next to the device.
class TPosixEvent : public TComEventObject {
public:
    TPosixEvent();
    ~TPosixEvent() override;
    TPosixEvent(const TPosixEvent&) = delete;
    TPosixEvent& operator=(const TPosixEvent&) = delete;
    void Set() override;
    void Clear();
    bool IsSet() const;
    int Fd() const { return FFd; }

private:
    int FFd;
};

// Waits until one of Fds is ready or Until has passed (no Until: no time limit).
void PollUntil(pollfd* Fds, unsigned Count, std::optional<TClock::time_point> Until);

class TPosixDevice : public TComDevice {
public:
    TPosixDevice() = default;
    ~TPosixDevice() override;

    int Open(const std::string& PortName) override;
    void Close() override;
    bool IsOpen() const override;

    int SetupComm(int InputSize, int OutputSize) override;
    int SetCommState(const TDcb& Dcb) override;
    int SetCommTimeouts(const TCommTimeouts& Timeouts) override;
    int SetCommMask(uint32_t Mask) override;
    TWaitResult WaitCommEvent(TComEventObject& Stop, uint32_t& Mask) override;
    int PurgeComm(uint32_t Flags) override;
    int ClearCommError(uint32_t& Errors, int& InQueue) override;
    int GetCommModemStatus(uint32_t& Status) override;
    int EscapeCommFunction(TEscapeFunction Function) override;
    int FlushFileBuffers() override;

    int StartWrite(TDeviceIo& Io) override;
    int StartRead(TDeviceIo& Io) override;
    int CompleteIo(TDeviceIo& Io) override;
    void AbandonIo(TDeviceIo& Io) override;

    std::unique_ptr<TComEventObject> CreateEventObject() override;

private:
    // Input side; every ...Locked function expects FMutex to be held.
    void ResetLocked();
    void PumpLocked(bool ByWaiter, TClock::time_point Now);
    void StoreLocked(const char* Data, size_t Count, TClock::time_point Now);
    bool UnmarkLocked(char& C);
    void AppendToQueueLocked(const char* Data, size_t Count);
    void HangUpLocked();
    bool FifoDueLocked(TClock::time_point Now) const;
    bool FlagFrameEndedLocked() const;
    void FlushFifoLocked();
    void RefreshInputLocked(bool ByWaiter, TClock::time_point Now);
    size_t TakeLocked(char* Buffer, size_t Count);
    void ConfigureRead(TDeviceIo& Io, TClock::time_point Now) const;
    bool ReadFinishedLocked(TDeviceIo& Io, TClock::time_point Now);
    int CompleteRead(TDeviceIo& Io);
    // Output side.
    int WriteSome(int Fd, TDeviceIo& Io);
    int CompleteWrite(TDeviceIo& Io);
    void WriteEndedLocked();
    // Events.
    bool LineChecksWanted() const;
    void BaselineLinesLocked();
    void CheckLinesLocked(TClock::time_point Now);
    void CheckTxEmptyLocked(TClock::time_point Now);
    std::optional<TClock::time_point> NextWakeLocked() const;
    TClock::time_point FifoDueAtLocked() const;
    int ApplyLineOutputs(const TDcb& Dcb);
    void WakeWaiter();
    void WakeReaders();

    mutable std::mutex FMutex;
    int FFd = -1;
    bool FIsPty = false;
    bool FHasModemLines = false;
    bool FHasCounters = false;
    TDcb FDcb;
    std::chrono::nanoseconds FQuiet{4000000};
    TCommTimeouts FTimeouts;
    size_t FCapacity = 1024;
    // Received bytes become visible in FQueue in bursts, the way a UART's receive FIFO
    // releases them: after a quiet time (HandOverQuiet), once the queue is half full, or once
    // a character has followed the event character (when the flag event is wanted).
    std::deque<char> FQueue;
    std::string FFifo;
    bool FFlagInFifo = false;
    int FMarkState = 0; // position inside a parity-error marker
    TClock::time_point FLastArrival;
    TClock::time_point FFirstArrival; // of the bytes now in FFifo
    uint32_t FMask = 0;
    uint32_t FPending = 0;
    uint32_t FErrors = 0;
    bool FHungUp = false;
    bool FTxPending = false;
    int FWritesActive = 0;
    TClock::time_point FNextTxCheck;
    uint64_t FAbortCount = 0;
    int FReadersWaiting = 0;
    int FModemStatus = 0;
    serial_icounter_struct FCounters{};
    TClock::time_point FNextLineCheck;
    TPosixEvent FWake;     // the event thread's wait
    TPosixEvent FIoNotify; // pending reads and writes
};

} // namespace cport
