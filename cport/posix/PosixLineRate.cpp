// termios2 and <termios.h> cannot meet in one file, so the arbitrary rates live here alone.
#include "cport/posix/PosixLineRate.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>

extern "C" int ioctl(int Fd, unsigned long Request, ...);

namespace cport {

int SetLineRate(int Fd, uint32_t Rate) {
    if (Rate == 0)
        return EINVAL;
    termios2 T{};
    if (ioctl(Fd, TCGETS2, &T) != 0)
        return errno;
    // No separate input code: input follows the output rate, also after a later termios
    // call that sets a standard speed.
    T.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    T.c_cflag |= BOTHER;
    T.c_ispeed = Rate;
    T.c_ospeed = Rate;
    if (ioctl(Fd, TCSETS2, &T) != 0)
        return errno;
    return 0;
}

int GetLineRate(int Fd, uint32_t& Rate) {
    termios2 T{};
    if (ioctl(Fd, TCGETS2, &T) != 0)
        return errno;
    Rate = T.c_ospeed;
    return 0;
}

} // namespace cport
