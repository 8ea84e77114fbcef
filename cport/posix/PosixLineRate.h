// Any bit rate on a Linux tty, not only the ones termios has a constant for.
#pragma once

#include <cstdint>

namespace cport {

// Sets both directions of Fd to Rate bits per second; 0 or the system error code.
int SetLineRate(int Fd, uint32_t Rate);
// The output rate the tty holds now.
int GetLineRate(int Fd, uint32_t& Rate);

} // namespace cport
