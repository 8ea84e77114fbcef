#include "cport/posix/PosixDevice.h"

#include "cport/posix/PosixLineRate.h"
#include "cport/posix/PosixLineSettings.h"
#include "cport/posix/PosixPortName.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace cport {

namespace {

constexpr auto LineCheckInterval = std::chrono::milliseconds(20);
constexpr uint32_t LineEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_ERR | EV_BREAK;

// Unix98 pseudo-terminal slaves: no modem lines, no error counters, no UART to drain.
bool IsPtySlave(int Fd) {
    struct stat St;
    if (fstat(Fd, &St) != 0)
        return false;
    const unsigned Major = major(St.st_rdev);
    return S_ISCHR(St.st_mode) && Major >= 136 && Major <= 143;
}

// Some adapters report the rate their divider really gives; a UART frame allows a few percent.
bool RateWithinTolerance(uint32_t Got, uint32_t Wanted) {
    const uint64_t Gap = Got > Wanted ? Got - Wanted : Wanted - Got;
    return Gap * 100 <= static_cast<uint64_t>(Wanted) * 3;
}

int OpenExclusive(const std::string& Path, int& Fd) {
    Fd = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (Fd < 0)
        return errno;
    int Error = 0;
    if (!isatty(Fd))
        Error = ENOTTY;
    // TIOCEXCL alone does not stop root; the lock stops every program that also takes it.
    else if (flock(Fd, LOCK_EX | LOCK_NB) != 0)
        Error = errno == EWOULDBLOCK ? EBUSY : errno;
    else if (ioctl(Fd, TIOCEXCL) != 0)
        Error = errno;
    if (Error != 0) {
        ::close(Fd);
        Fd = -1;
    }
    return Error;
}

} // namespace

TPosixEvent::TPosixEvent() : FFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TPosixEvent::~TPosixEvent() {
    if (FFd >= 0)
        ::close(FFd);
}

void TPosixEvent::Set() {
    const uint64_t One = 1;
    [[maybe_unused]] ssize_t Written = ::write(FFd, &One, sizeof One);
}

void TPosixEvent::Clear() {
    uint64_t Value;
    [[maybe_unused]] ssize_t Read = ::read(FFd, &Value, sizeof Value);
}

bool TPosixEvent::IsSet() const {
    pollfd P{FFd, POLLIN, 0};
    return ::poll(&P, 1, 0) > 0 && (P.revents & POLLIN) != 0;
}

void PollUntil(pollfd* Fds, unsigned Count, std::optional<TClock::time_point> Until) {
    timespec Limit{};
    timespec* Timeout = nullptr;
    if (Until) {
        const auto Left = std::max(*Until - TClock::now(), TClock::duration::zero());
        const auto Ns = std::chrono::duration_cast<std::chrono::nanoseconds>(Left).count();
        Limit.tv_sec = static_cast<time_t>(Ns / 1000000000);
        Limit.tv_nsec = static_cast<long>(Ns % 1000000000);
        Timeout = &Limit;
    }
    for (unsigned I = 0; I < Count; ++I)
        Fds[I].revents = 0;
    ::ppoll(Fds, Count, Timeout, nullptr);
}

TPosixDevice::~TPosixDevice() {
    Close();
}

int TPosixDevice::Open(const std::string& PortName) {
    std::lock_guard Lock(FMutex);
    if (FFd >= 0)
        return EBUSY;
    int Fd;
    if (int Error = OpenExclusive(PortDevicePath(PortName), Fd))
        return Error;
    // Whatever reached the line while nobody held it belongs to no one; on a pty the
    // output side is the other end's input, so only a UART's is cleared.
    tcflush(Fd, IsPtySlave(Fd) ? TCIFLUSH : TCIOFLUSH);
    ResetLocked();
    FFd = Fd;
    FIsPty = IsPtySlave(Fd);
    int Status = 0;
    FHasModemLines = !FIsPty && ioctl(Fd, TIOCMGET, &Status) == 0;
    serial_icounter_struct Counters{};
    FHasCounters = FHasModemLines && ioctl(Fd, TIOCGICOUNT, &Counters) == 0;
    return 0;
}

void TPosixDevice::Close() {
    std::lock_guard Lock(FMutex);
    if (FFd < 0)
        return;
    // A pty keeps the exclusive flag after its holder is gone; the next open would fail.
    ioctl(FFd, TIOCNXCL);
    ::close(FFd);
    FFd = -1;
    ResetLocked();
}

bool TPosixDevice::IsOpen() const {
    std::lock_guard Lock(FMutex);
    return FFd >= 0;
}

void TPosixDevice::ResetLocked() {
    FQueue.clear();
    FFifo.clear();
    FFlagInFifo = false;
    FMarkState = 0;
    FMask = FPending = FErrors = 0;
    FHungUp = false;
    FTxPending = false;
    FWritesActive = 0;
    FReadersWaiting = 0;
    FModemStatus = 0;
    FCounters = {};
}

int TPosixDevice::SetupComm(int InputSize, int OutputSize) {
    std::lock_guard Lock(FMutex);
    if (FFd < 0)
        return EBADF;
    if (InputSize <= 0 || OutputSize <= 0)
        return EINVAL;
    FCapacity = static_cast<size_t>(InputSize);
    return 0;
}

int TPosixDevice::SetCommState(const TDcb& Dcb) {
    std::lock_guard Lock(FMutex);
    if (FFd < 0)
        return EBADF;
    termios Old, New, Got;
    uint32_t OldRate = 0;
    if (tcgetattr(FFd, &Old) != 0)
        return errno;
    if (int Error = GetLineRate(FFd, OldRate))
        return Error;
    if (int Error = BuildTermios(Old, Dcb, New))
        return Error;
    if (tcsetattr(FFd, TCSANOW, &New) != 0)
        return errno;
    auto Undo = [&](int Error) {
        tcsetattr(FFd, TCSANOW, &Old);
        if (speed_t Speed; !SpeedFromRate(OldRate, Speed))
            SetLineRate(FFd, OldRate);
        return Error;
    };
    // Rates such as 14400 or 31250 have no termios constant; the kernel takes them as numbers.
    if (speed_t Speed; !SpeedFromRate(Dcb.BaudRate, Speed))
        if (int Error = SetLineRate(FFd, Dcb.BaudRate))
            return Undo(Error);
    // A pty holds only 8 data bits without parity; what it reads back is what it does.
    uint32_t Rate = 0;
    if (!FIsPty && (tcgetattr(FFd, &Got) != 0 || !ReadsBack(New, Got) ||
                    GetLineRate(FFd, Rate) != 0 || !RateWithinTolerance(Rate, Dcb.BaudRate)))
        return Undo(EINVAL);
    if (int Error = ApplyLineOutputs(Dcb))
        return Undo(Error);
    if (Dcb.fErrorChar != FDcb.fErrorChar)
        FMarkState = 0;
    FDcb = Dcb;
    FQuiet = 4 * CharacterTime(Dcb);
    return 0;
}

// DTR and RTS follow their control modes; handshake lines are left to the driver.
int TPosixDevice::ApplyLineOutputs(const TDcb& Dcb) {
    if (!FHasModemLines)
        return 0;
    int Raise = 0, Lower = 0;
    (Dcb.fDtrControl == 0 ? Lower : Raise) |= TIOCM_DTR;
    if (Dcb.fRtsControl == 1)
        Raise |= TIOCM_RTS;
    else if (Dcb.fRtsControl == 0 || Dcb.fRtsControl == 3)
        Lower |= TIOCM_RTS;
    if (Raise != 0 && ioctl(FFd, TIOCMBIS, &Raise) != 0)
        return errno;
    if (Lower != 0 && ioctl(FFd, TIOCMBIC, &Lower) != 0)
        return errno;
    return 0;
}

int TPosixDevice::SetCommTimeouts(const TCommTimeouts& Timeouts) {
    std::lock_guard Lock(FMutex);
    if (FFd < 0)
        return EBADF;
    FTimeouts = Timeouts;
    return 0;
}

int TPosixDevice::SetCommMask(uint32_t Mask) {
    std::lock_guard Lock(FMutex);
    if (FFd < 0)
        return EBADF;
    // Without a waiter nobody would release the FIFO, so bytes go straight to the queue.
    if (Mask == 0)
        FlushFifoLocked();
    FMask = Mask;
    FPending = 0;
    BaselineLinesLocked();
    WakeWaiter();
    return 0;
}

TWaitResult TPosixDevice::WaitCommEvent(TComEventObject& Stop, uint32_t& Mask) {
    TPosixEvent& StopEvent = static_cast<TPosixEvent&>(Stop);
    for (;;) {
        pollfd Fds[3] = {{StopEvent.Fd(), POLLIN, 0}, {FWake.Fd(), POLLIN, 0}, {-1, POLLIN, 0}};
        std::optional<TClock::time_point> Until;
        {
            std::lock_guard Lock(FMutex);
            if (FFd < 0)
                return TWaitResult::Failed;
            const auto Now = TClock::now();
            RefreshInputLocked(true, Now);
            CheckLinesLocked(Now);
            CheckTxEmptyLocked(Now);
            const uint32_t Ready = FPending & FMask;
            FPending = 0;
            if (Ready != 0) {
                if (StopEvent.IsSet())
                    return TWaitResult::Stopped;
                Mask = Ready;
                return TWaitResult::Event;
            }
            // A hung-up line polls readable for ever; leave it out so the thread sleeps.
            if (!FHungUp)
                Fds[2].fd = FFd;
            Until = NextWakeLocked();
        }
        PollUntil(Fds, 3, Until);
        if (Fds[0].revents != 0)
            return TWaitResult::Stopped;
        if (Fds[1].revents != 0)
            FWake.Clear();
    }
}

int TPosixDevice::PurgeComm(uint32_t Flags) {
    std::lock_guard Lock(FMutex);
    if (FFd < 0)
        return EBADF;
    int Error = 0;
    if (Flags & (PURGE_TXABORT | PURGE_RXABORT)) {
        ++FAbortCount;
        FIoNotify.Set();
    }
    // Written to a pty is already with the other end: flushing would take it from its input.
    if ((Flags & PURGE_TXCLEAR) && !FIsPty && tcflush(FFd, TCOFLUSH) != 0)
        Error = errno;
    if (Flags & PURGE_RXCLEAR) {
        if (tcflush(FFd, TCIFLUSH) != 0)
            Error = errno;
        FQueue.clear();
        FFifo.clear();
        FMarkState = 0;
        FFlagInFifo = false;
    }
    return Error;
}

int TPosixDevice::ClearCommError(uint32_t& Errors, int& InQueue) {
    std::lock_guard Lock(FMutex);
    if (FFd < 0)
        return EBADF;
    RefreshInputLocked(false, TClock::now());
    Errors = FErrors;
    FErrors = 0;
    InQueue = static_cast<int>(FQueue.size());
    return 0;
}

int TPosixDevice::GetCommModemStatus(uint32_t& Status) {
    std::lock_guard Lock(FMutex);
    if (FFd < 0)
        return EBADF;
    Status = 0;
    if (!FHasModemLines)
        return 0;
    int Lines = 0;
    if (ioctl(FFd, TIOCMGET, &Lines) != 0)
        return errno;
    Status = (Lines & TIOCM_CTS ? MS_CTS_ON : 0) | (Lines & TIOCM_DSR ? MS_DSR_ON : 0) |
             (Lines & TIOCM_RNG ? MS_RING_ON : 0) | (Lines & TIOCM_CAR ? MS_RLSD_ON : 0);
    return 0;
}

int TPosixDevice::EscapeCommFunction(TEscapeFunction Function) {
    std::lock_guard Lock(FMutex);
    if (FFd < 0)
        return EBADF;
    if (!FHasModemLines)
        return 0;
    const int Line = (Function == SETDTR || Function == CLRDTR) ? TIOCM_DTR : TIOCM_RTS;
    const bool Raise = Function == SETDTR || Function == SETRTS;
    if (ioctl(FFd, Raise ? TIOCMBIS : TIOCMBIC, &Line) != 0)
        return errno;
    return 0;
}

bool TPosixDevice::LineChecksWanted() const {
    return FHasModemLines && (FMask & LineEvents);
}

void TPosixDevice::BaselineLinesLocked() {
    FNextLineCheck = TClock::now() + LineCheckInterval;
    if (!FHasModemLines)
        return;
    ioctl(FFd, TIOCMGET, &FModemStatus);
    if (FHasCounters)
        ioctl(FFd, TIOCGICOUNT, &FCounters);
}

// A UART raises no interrupt that poll could see for line changes; look every few ms.
void TPosixDevice::CheckLinesLocked(TClock::time_point Now) {
    if (!LineChecksWanted() || Now < FNextLineCheck)
        return;
    FNextLineCheck = Now + LineCheckInterval;
    int Status = 0;
    if (ioctl(FFd, TIOCMGET, &Status) == 0) {
        const int Changed = Status ^ FModemStatus;
        FPending |= (Changed & TIOCM_CTS ? EV_CTS : 0) | (Changed & TIOCM_DSR ? EV_DSR : 0) |
                    (Changed & TIOCM_CAR ? EV_RLSD : 0) |
                    ((Changed & Status & TIOCM_RNG) ? EV_RING : 0);
        FModemStatus = Status;
    }
    serial_icounter_struct Now2{};
    if (!FHasCounters || ioctl(FFd, TIOCGICOUNT, &Now2) != 0)
        return;
    uint32_t Errors = (Now2.frame != FCounters.frame ? CE_FRAME : 0) |
                      (Now2.overrun != FCounters.overrun ? CE_OVERRUN : 0) |
                      (Now2.parity != FCounters.parity ? CE_RXPARITY : 0) |
                      (Now2.buf_overrun != FCounters.buf_overrun ? CE_RXOVER : 0) |
                      (Now2.brk != FCounters.brk ? CE_BREAK : 0);
    if (Now2.brk != FCounters.brk)
        FPending |= EV_BREAK;
    if (Errors != 0) {
        FErrors |= Errors;
        FPending |= EV_ERR;
    }
    FCounters = Now2;
}

void TPosixDevice::CheckTxEmptyLocked(TClock::time_point Now) {
    if (!FTxPending || FWritesActive > 0 || Now < FNextTxCheck)
        return;
    int Queued = 0;
    if (!FIsPty && !FHungUp && ioctl(FFd, TIOCOUTQ, &Queued) == 0 && Queued > 0) {
        const auto Drain = Queued * std::chrono::duration_cast<TClock::duration>(FQuiet / 4);
        FNextTxCheck = Now + std::max<TClock::duration>(Drain, std::chrono::milliseconds(1));
        return;
    }
    FTxPending = false;
    FPending |= EV_TXEMPTY;
}

std::optional<TClock::time_point> TPosixDevice::NextWakeLocked() const {
    std::optional<TClock::time_point> Next;
    auto Consider = [&](TClock::time_point At) {
        if (!Next || At < *Next)
            Next = At;
    };
    if (!FFifo.empty())
        Consider(FLastArrival + std::chrono::duration_cast<TClock::duration>(FQuiet));
    if (FTxPending && FWritesActive == 0)
        Consider(FNextTxCheck);
    if (LineChecksWanted())
        Consider(FNextLineCheck);
    return Next;
}

void TPosixDevice::WakeWaiter() {
    if (FMask != 0)
        FWake.Set();
}

void TPosixDevice::WakeReaders() {
    if (FReadersWaiting > 0)
        FIoNotify.Set();
}

std::unique_ptr<TComEventObject> TPosixDevice::CreateEventObject() {
    return std::make_unique<TPosixEvent>();
}

std::unique_ptr<TComDevice> CreateComDevice() {
    return std::make_unique<TPosixDevice>();
}

} // namespace cport
