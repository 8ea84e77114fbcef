// Device control block fields turned into termios settings.
#pragma once

#include "cport/ComDevice.h"

#include <chrono>
#include <termios.h>

namespace cport {

// The termios speed constant for a bit rate; false when termios has none for it.
bool SpeedFromRate(uint32_t Rate, speed_t& Speed);

// Raw 8-bit-clean settings from Dcb on top of Old; EINVAL for a rate of 0. A rate termios has
// no constant for keeps Old's speed, for the caller to set with SetLineRate.
int BuildTermios(const termios& Old, const TDcb& Dcb, termios& New);

// Whether the device kept the framing and flow control asked for (a real UART may refuse some
// settings silently); the rate is checked on its own.
bool ReadsBack(const termios& Wanted, const termios& Got);

// Time one character takes on the line: start bit, data, parity, stop bits.
std::chrono::nanoseconds CharacterTime(const TDcb& Dcb);

} // namespace cport
