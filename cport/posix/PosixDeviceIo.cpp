// Reception into the device's own queue, and the overlapped reads and writes.
#include "cport/posix/PosixDevice.h"
#include "cport/posix/PosixLineSettings.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace cport {

namespace {

constexpr int PumpRounds = 16;

std::chrono::milliseconds Ms(uint64_t Value) {
    return std::chrono::milliseconds(static_cast<int64_t>(Value));
}

} // namespace

// Moves what the driver holds into the FIFO (or straight into the queue when no one waits
// for events). Read 0 or EIO means the line has gone away.
void TPosixDevice::PumpLocked(bool ByWaiter, TClock::time_point Now) {
    if (FFd < 0 || FHungUp)
        return;
    char Chunk[4096];
    bool Got = false;
    for (int Round = 0; Round < PumpRounds; ++Round) {
        const ssize_t N = ::read(FFd, Chunk, sizeof Chunk);
        if (N > 0) {
            StoreLocked(Chunk, static_cast<size_t>(N), Now);
            Got = true;
            continue;
        }
        if (N < 0 && errno == EINTR)
            continue;
        if (N == 0 || errno != EAGAIN)
            HangUpLocked();
        break;
    }
    if (Got)
        ByWaiter ? WakeReaders() : WakeWaiter();
}

void TPosixDevice::StoreLocked(const char* Data, size_t Count, TClock::time_point Now) {
    for (size_t I = 0; I < Count; ++I) {
        char C = Data[I];
        if (FDcb.fErrorChar && !UnmarkLocked(C))
            continue;
        if (C == 0 && FDcb.fNull)
            continue;
        if (FMask == 0) {
            AppendToQueueLocked(&C, 1);
            continue;
        }
        if (FFifo.empty())
            FFirstArrival = Now;
        FFifo.push_back(C);
        if (C == FDcb.EvtChar)
            FFlagInFifo = true;
        if (FQueue.size() + FFifo.size() >= FCapacity / 2)
            FlushFifoLocked();
    }
    if (!FFifo.empty())
        FLastArrival = Now;
}

// A frame closed by the event character may carry one more character (a check or a second
// stop character), so the hand-over waits for that one and not for the quiet time. An event
// character still last in the FIFO may be a chunk's end: that keeps waiting as any byte does.
// Only the event thread hands such a frame over: a read from an event handler (one that reads
// away what is left at the flag) must not take the next reply before its own event.
bool TPosixDevice::FlagFrameEndedLocked() const {
    if (!FFlagInFifo || (FMask & EV_RXFLAG) == 0)
        return false;
    return FFifo.find(FDcb.EvtChar) + 1 < FFifo.size();
}

// With PARMRK the driver sends a bad byte as \377 \0 byte and doubles a real \377; the bad
// byte becomes the replacement character. False while C is part of a marker.
bool TPosixDevice::UnmarkLocked(char& C) {
    switch (FMarkState) {
    case 0:
        if (C != '\377')
            return true;
        FMarkState = 1;
        return false;
    case 1:
        if (C == 0) {
            FMarkState = 2;
            return false;
        }
        FMarkState = 0;
        return true;
    default:
        FMarkState = 0;
        C = FDcb.ErrorChar;
        return true;
    }
}

// Bytes beyond the queue's size are lost and reported, as a driver's overflow is.
void TPosixDevice::AppendToQueueLocked(const char* Data, size_t Count) {
    const size_t Before = FQueue.size();
    const size_t Room = FCapacity > Before ? FCapacity - Before : 0;
    const size_t Kept = std::min(Room, Count);
    FQueue.insert(FQueue.end(), Data, Data + Kept);
    if (Kept < Count) {
        FErrors |= CE_RXOVER;
        FPending |= EV_ERR;
    }
    const size_t Mark = FCapacity * 8 / 10;
    if (Before < Mark && FQueue.size() >= Mark)
        FPending |= EV_RX80FULL;
}

void TPosixDevice::HangUpLocked() {
    FHungUp = true;
    FlushFifoLocked();
    FErrors |= CE_IOE;
    FPending |= EV_ERR;
    WakeWaiter();
    FIoNotify.Set();
}

// Handed over after a quiet time, or, on a line that never falls quiet, once the first byte
// has waited the quiet time and 64 character times, so a stream still flows.
TClock::time_point TPosixDevice::FifoDueAtLocked() const {
    const auto Quiet = std::chrono::duration_cast<TClock::duration>(FQuiet);
    const auto Longest =
        Quiet + 64 * std::chrono::duration_cast<TClock::duration>(CharacterTime(FDcb));
    return std::min(FLastArrival + Quiet, FFirstArrival + Longest);
}

bool TPosixDevice::FifoDueLocked(TClock::time_point Now) const {
    return !FFifo.empty() && Now >= FifoDueAtLocked();
}

void TPosixDevice::FlushFifoLocked() {
    if (FFifo.empty())
        return;
    AppendToQueueLocked(FFifo.data(), FFifo.size());
    FPending |= EV_RXCHAR | (FFlagInFifo ? EV_RXFLAG : 0);
    FFifo.clear();
    FFlagInFifo = false;
}

void TPosixDevice::RefreshInputLocked(bool ByWaiter, TClock::time_point Now) {
    PumpLocked(ByWaiter, Now);
    if (FifoDueLocked(Now) || (ByWaiter && FlagFrameEndedLocked())) {
        FlushFifoLocked();
        ByWaiter ? WakeReaders() : WakeWaiter();
    }
}

size_t TPosixDevice::TakeLocked(char* Buffer, size_t Count) {
    const size_t N = std::min(Count, FQueue.size());
    std::copy_n(FQueue.begin(), N, Buffer);
    FQueue.erase(FQueue.begin(), FQueue.begin() + static_cast<std::ptrdiff_t>(N));
    return N;
}

// The read time-outs with their Win32 meanings: MAXDWORD interval with zero totals returns
// at once; MAXDWORD interval and multiplier waits up to the constant for a first byte.
void TPosixDevice::ConfigureRead(TDeviceIo& Io, TClock::time_point Now) const {
    const TCommTimeouts& T = FTimeouts;
    Io.ReturnOnAny = T.ReadIntervalTimeout == MAXDWORD && T.ReadTotalTimeoutMultiplier == MAXDWORD;
    uint64_t Total = T.ReadTotalTimeoutConstant;
    if (!Io.ReturnOnAny)
        Total += static_cast<uint64_t>(T.ReadTotalTimeoutMultiplier) * Io.Count;
    Io.HasDeadline = Total > 0;
    Io.Deadline = Now + Ms(Total);
    Io.IntervalTimeout = T.ReadIntervalTimeout == MAXDWORD ? Ms(0) : Ms(T.ReadIntervalTimeout);
    Io.LastByte = Now;
}

int TPosixDevice::StartRead(TDeviceIo& Io) {
    std::lock_guard Lock(FMutex);
    if (FFd < 0)
        return EBADF;
    const auto Now = TClock::now();
    RefreshInputLocked(false, Now);
    Io.Done = TakeLocked(Io.Buffer, Io.Count);
    Io.Pending = false;
    Io.Error = 0;
    Io.AbortMark = FAbortCount;
    const TCommTimeouts& T = FTimeouts;
    const bool AtOnce =
        T.ReadIntervalTimeout == MAXDWORD && T.ReadTotalTimeoutConstant == 0 &&
        (T.ReadTotalTimeoutMultiplier == 0 || T.ReadTotalTimeoutMultiplier == MAXDWORD);
    ConfigureRead(Io, Now);
    if (Io.Done == Io.Count || (Io.ReturnOnAny && Io.Done > 0))
        return 0;
    if (FHungUp && FQueue.empty() && FFifo.empty())
        return Io.Done > 0 ? 0 : EIO;
    if (AtOnce)
        return 0;
    Io.Pending = true;
    return 0;
}

bool TPosixDevice::ReadFinishedLocked(TDeviceIo& Io, TClock::time_point Now) {
    if (FAbortCount != Io.AbortMark) {
        Io.Error = ECANCELED;
        return true;
    }
    RefreshInputLocked(false, Now);
    if (const size_t N = TakeLocked(Io.Buffer + Io.Done, Io.Count - Io.Done)) {
        Io.Done += N;
        Io.LastByte = Now;
    }
    if (Io.Done == Io.Count || (Io.ReturnOnAny && Io.Done > 0))
        return true;
    if (FHungUp && FQueue.empty() && FFifo.empty()) {
        Io.Error = Io.Done > 0 ? 0 : EIO;
        return true;
    }
    if (Io.HasDeadline && Now >= Io.Deadline)
        return true;
    return Io.IntervalTimeout.count() > 0 && Io.Done > 0 && Now - Io.LastByte >= Io.IntervalTimeout;
}

int TPosixDevice::CompleteRead(TDeviceIo& Io) {
    std::unique_lock Lock(FMutex);
    ++FReadersWaiting;
    for (;;) {
        if (FFd < 0) {
            Io.Error = EBADF;
            break;
        }
        const auto Now = TClock::now();
        if (ReadFinishedLocked(Io, Now))
            break;
        std::optional<TClock::time_point> Until;
        auto Consider = [&](TClock::time_point At) {
            if (!Until || At < *Until)
                Until = At;
        };
        if (Io.HasDeadline)
            Consider(Io.Deadline);
        if (Io.IntervalTimeout.count() > 0 && Io.Done > 0)
            Consider(Io.LastByte + Io.IntervalTimeout);
        if (!FFifo.empty())
            Consider(FifoDueAtLocked());
        pollfd Fds[2] = {{FIoNotify.Fd(), POLLIN, 0}, {FHungUp ? -1 : FFd, POLLIN, 0}};
        Lock.unlock();
        PollUntil(Fds, 2, Until);
        if (Fds[0].revents != 0)
            FIoNotify.Clear();
        Lock.lock();
    }
    --FReadersWaiting;
    Io.Pending = false;
    return Io.Error;
}

int TPosixDevice::WriteSome(int Fd, TDeviceIo& Io) {
    while (Io.Done < Io.Count) {
        const ssize_t N = ::write(Fd, Io.Buffer + Io.Done, Io.Count - Io.Done);
        if (N > 0) {
            Io.Done += static_cast<size_t>(N);
            continue;
        }
        if (N < 0 && errno == EINTR)
            continue;
        if (N < 0 && errno == EAGAIN)
            return 0;
        return N < 0 ? errno : EIO;
    }
    return 0;
}

int TPosixDevice::StartWrite(TDeviceIo& Io) {
    int Fd;
    uint64_t Total;
    {
        std::lock_guard Lock(FMutex);
        if (FFd < 0)
            return EBADF;
        if (FHungUp)
            return EIO;
        Fd = FFd;
        Io.AbortMark = FAbortCount;
        Total = static_cast<uint64_t>(FTimeouts.WriteTotalTimeoutMultiplier) * Io.Count +
                FTimeouts.WriteTotalTimeoutConstant;
        ++FWritesActive;
    }
    Io.HasDeadline = Total > 0;
    Io.Deadline = TClock::now() + Ms(Total);
    Io.Done = 0;
    Io.Error = WriteSome(Fd, Io);
    Io.Pending = Io.Error == 0 && Io.Done < Io.Count;
    if (!Io.Pending) {
        std::lock_guard Lock(FMutex);
        WriteEndedLocked();
    }
    return Io.Error;
}

void TPosixDevice::WriteEndedLocked() {
    --FWritesActive;
    FTxPending = true;
    FNextTxCheck = TClock::now();
    WakeWaiter();
}

int TPosixDevice::CompleteWrite(TDeviceIo& Io) {
    for (;;) {
        int Fd;
        {
            std::lock_guard Lock(FMutex);
            Fd = FFd;
            if (Fd < 0)
                Io.Error = EBADF;
            else if (FAbortCount != Io.AbortMark)
                Io.Error = ECANCELED;
        }
        if (Io.Error == 0)
            Io.Error = WriteSome(Fd, Io);
        // A write that runs out of time completes with what went out; that is no error.
        if (Io.Error != 0 || Io.Done == Io.Count ||
            (Io.HasDeadline && TClock::now() >= Io.Deadline))
            break;
        pollfd Fds[2] = {{FIoNotify.Fd(), POLLIN, 0}, {Fd, POLLOUT, 0}};
        PollUntil(Fds, 2, Io.HasDeadline ? std::optional(Io.Deadline) : std::nullopt);
        if (Fds[0].revents != 0)
            FIoNotify.Clear();
    }
    std::lock_guard Lock(FMutex);
    WriteEndedLocked();
    Io.Pending = false;
    return Io.Error;
}

int TPosixDevice::CompleteIo(TDeviceIo& Io) {
    if (!Io.Pending)
        return Io.Error;
    return Io.IsRead ? CompleteRead(Io) : CompleteWrite(Io);
}

void TPosixDevice::AbandonIo(TDeviceIo& Io) {
    if (!Io.Pending)
        return;
    Io.Pending = false;
    if (!Io.IsRead) {
        std::lock_guard Lock(FMutex);
        WriteEndedLocked();
    }
}

// A pty hands written bytes to the other end at once; a UART's queue drains at the line rate
// and, with flow control held off, maybe never: the write time-out bounds the wait.
int TPosixDevice::FlushFileBuffers() {
    int Fd;
    TCommTimeouts Timeouts;
    {
        std::lock_guard Lock(FMutex);
        if (FFd < 0)
            return EBADF;
        if (FIsPty || FHungUp)
            return 0;
        Fd = FFd;
        Timeouts = FTimeouts;
    }
    int Queued = 0;
    if (ioctl(Fd, TIOCOUTQ, &Queued) != 0)
        return errno;
    const auto Until =
        TClock::now() + Ms(static_cast<uint64_t>(Timeouts.WriteTotalTimeoutMultiplier) *
                               static_cast<uint64_t>(std::max(Queued, 0)) +
                           Timeouts.WriteTotalTimeoutConstant);
    for (;;) {
        unsigned Lsr = 0;
        const bool ShiftEmpty = ioctl(Fd, TIOCSERGETLSR, &Lsr) != 0 || (Lsr & TIOCSER_TEMT) != 0;
        if (ioctl(Fd, TIOCOUTQ, &Queued) != 0)
            return errno;
        if (Queued <= 0 && ShiftEmpty)
            return 0;
        if (TClock::now() >= Until)
            return ETIMEDOUT;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace cport
