#include "cport/posix/PosixLineSettings.h"

#include <cerrno>

namespace cport {

namespace {

struct TSpeedEntry {
    uint32_t Rate;
    speed_t Speed;
};

constexpr TSpeedEntry Speeds[] = {
    {50, B50},         {75, B75},         {110, B110},         {134, B134},
    {150, B150},       {200, B200},       {300, B300},         {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},       {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},     {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800},   {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
};

tcflag_t DataBitsFlag(uint8_t ByteSize) {
    switch (ByteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

// Mark and space parity are a fixed parity bit: CMSPAR with odd meaning mark.
tcflag_t ParityFlags(uint8_t Parity) {
    switch (Parity) {
    case 1:
        return PARENB | PARODD;
    case 2:
        return PARENB;
    case 3:
        return PARENB | CMSPAR | PARODD;
    case 4:
        return PARENB | CMSPAR;
    default:
        return 0;
    }
}

void SetControlFlags(const TDcb& Dcb, termios& T) {
    T.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    T.c_cflag |= CREAD | CLOCAL | DataBitsFlag(Dcb.ByteSize) | ParityFlags(Dcb.Parity);
    // termios has no 1.5 stop bits; two is the nearest that still frames the byte.
    if (Dcb.StopBits != 0)
        T.c_cflag |= CSTOPB;
    // Linux ties CTS output flow and RTS input handshake together in one flag.
    if (Dcb.fOutxCtsFlow || Dcb.fRtsControl == 2)
        T.c_cflag |= CRTSCTS;
}

void SetInputFlags(const TDcb& Dcb, termios& T) {
    T.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | INPCK | IGNPAR);
    if (Dcb.fParity)
        T.c_iflag |= INPCK;
    // Marked errors let the port put the replacement character in place of a bad byte.
    if (Dcb.fParity && Dcb.fErrorChar)
        T.c_iflag |= PARMRK;
    if (Dcb.fOutX)
        T.c_iflag |= IXON;
    if (Dcb.fInX)
        T.c_iflag |= IXOFF;
    T.c_cc[VSTART] = static_cast<cc_t>(Dcb.XonChar);
    T.c_cc[VSTOP] = static_cast<cc_t>(Dcb.XoffChar);
}

} // namespace

bool SpeedFromRate(uint32_t Rate, speed_t& Speed) {
    for (const TSpeedEntry& Entry : Speeds)
        if (Entry.Rate == Rate) {
            Speed = Entry.Speed;
            return true;
        }
    return false;
}

int BuildTermios(const termios& Old, const TDcb& Dcb, termios& New) {
    if (Dcb.BaudRate == 0)
        return EINVAL;
    New = Old;
    New.c_oflag &= ~OPOST;
    New.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    SetControlFlags(Dcb, New);
    SetInputFlags(Dcb, New);
    // One byte wakes a read; with O_NONBLOCK "no data" then reads as EAGAIN, not as 0 (hang-up).
    New.c_cc[VMIN] = 1;
    New.c_cc[VTIME] = 0;
    // Other rates keep the old speed code here and are set through termios2 afterwards.
    if (speed_t Speed; SpeedFromRate(Dcb.BaudRate, Speed)) {
        cfsetispeed(&New, Speed);
        cfsetospeed(&New, Speed);
    }
    return 0;
}

bool ReadsBack(const termios& Wanted, const termios& Got) {
    const tcflag_t ControlMask = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    const tcflag_t InputMask = IXON | IXOFF | INPCK | PARMRK;
    return (Wanted.c_cflag & ControlMask) == (Got.c_cflag & ControlMask) &&
           (Wanted.c_iflag & InputMask) == (Got.c_iflag & InputMask);
}

std::chrono::nanoseconds CharacterTime(const TDcb& Dcb) {
    const uint32_t Rate = Dcb.BaudRate > 0 ? Dcb.BaudRate : 9600;
    const uint32_t Bits =
        1 + Dcb.ByteSize + (Dcb.Parity != 0 ? 1 : 0) + (Dcb.StopBits != 0 ? 2 : 1);
    return std::chrono::nanoseconds(static_cast<int64_t>(Bits) * 1000000000 / Rate);
}

} // namespace cport
