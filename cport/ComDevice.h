// The device operations the port is built on, each with the meaning of the Win32 call it is
// named after. Every operation returns 0 on success or the system error code. Internal.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace cport {

// The device control block fields the port fills in.
struct TDcb {
    uint32_t BaudRate = 0;
    bool fBinary = true;
    bool fParity = false;
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;
    uint8_t fDtrControl = 0; // 0 disable, 1 enable, 2 handshake
    bool fDsrSensitivity = false;
    bool fTXContinueOnXoff = false;
    bool fOutX = false;
    bool fInX = false;
    bool fErrorChar = false;
    bool fNull = false;
    uint8_t fRtsControl = 0; // 0 disable, 1 enable, 2 handshake, 3 toggle
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 8;
    uint8_t Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t StopBits = 0; // 0 one, 1 one and a half, 2 two
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EvtChar = 0;
};

// Milliseconds; a ReadIntervalTimeout of MAXDWORD with zero totals means "return at once".
struct TCommTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

inline constexpr uint32_t MAXDWORD = 0xFFFFFFFFu;

// System event mask bits.
inline constexpr uint32_t EV_RXCHAR = 0x0001, EV_RXFLAG = 0x0002, EV_TXEMPTY = 0x0004,
                          EV_CTS = 0x0008, EV_DSR = 0x0010, EV_RLSD = 0x0020, EV_BREAK = 0x0040,
                          EV_ERR = 0x0080, EV_RING = 0x0100, EV_RX80FULL = 0x0400;
// Line error bits reported by ClearCommError.
inline constexpr uint32_t CE_RXOVER = 0x0001, CE_OVERRUN = 0x0002, CE_RXPARITY = 0x0004,
                          CE_FRAME = 0x0008, CE_BREAK = 0x0010, CE_TXFULL = 0x0100, CE_IOE = 0x0400,
                          CE_MODE = 0x8000;
// Modem status bits.
inline constexpr uint32_t MS_CTS_ON = 0x0010, MS_DSR_ON = 0x0020, MS_RING_ON = 0x0040,
                          MS_RLSD_ON = 0x0080;
inline constexpr uint32_t PURGE_TXABORT = 0x0001, PURGE_RXABORT = 0x0002, PURGE_TXCLEAR = 0x0004,
                          PURGE_RXCLEAR = 0x0008;
enum TEscapeFunction { SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6 };

// One overlapped transfer as the device sees it: started by StartWrite/StartRead and finished
// by CompleteIo. Buffer must stay valid until then.
struct TDeviceIo {
    bool IsRead = false;
    char* Buffer = nullptr;
    size_t Count = 0;
    size_t Done = 0;
    bool Pending = false;
    int Error = 0;
    bool HasDeadline = false;
    std::chrono::steady_clock::time_point Deadline;
    std::chrono::milliseconds IntervalTimeout{0}; // reads: 0 means none
    bool ReturnOnAny = false;                     // reads: complete as soon as one byte is there
    std::chrono::steady_clock::time_point LastByte;
    uint64_t AbortMark = 0; // the device's purge count when the transfer started
};

// A manual-reset event the event thread's wait also watches (its stop event).
class TComEventObject {
public:
    virtual ~TComEventObject() = default;
    virtual void Set() = 0;
};

enum class TWaitResult { Event, Stopped, Failed };

class TComDevice {
public:
    virtual ~TComDevice() = default;

    virtual int Open(const std::string& PortName) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    virtual int SetupComm(int InputSize, int OutputSize) = 0;
    virtual int SetCommState(const TDcb& Dcb) = 0;
    virtual int SetCommTimeouts(const TCommTimeouts& Timeouts) = 0;
    virtual int SetCommMask(uint32_t Mask) = 0;
    // Blocks until an event of the mask has happened (Mask receives them) or Stop is set.
    virtual TWaitResult WaitCommEvent(TComEventObject& Stop, uint32_t& Mask) = 0;
    virtual int PurgeComm(uint32_t Flags) = 0;
    virtual int ClearCommError(uint32_t& Errors, int& InQueue) = 0;
    virtual int GetCommModemStatus(uint32_t& Status) = 0;
    virtual int EscapeCommFunction(TEscapeFunction Function) = 0;
    // Waits until everything written has left the line, but no longer than the write
    // time-out for what was queued when the wait began.
    virtual int FlushFileBuffers() = 0;

    virtual int StartWrite(TDeviceIo& Io) = 0;
    virtual int StartRead(TDeviceIo& Io) = 0;
    // Waits for the transfer to finish (time-outs complete it with what was done).
    virtual int CompleteIo(TDeviceIo& Io) = 0;
    // Forgets a transfer whose record is freed before it was waited for.
    virtual void AbandonIo(TDeviceIo& Io) = 0;

    virtual std::unique_ptr<TComEventObject> CreateEventObject() = 0;
};

// The backend of this build.
std::unique_ptr<TComDevice> CreateComDevice();

} // namespace cport
