// How long the serial hand-over waits for a quiet line, given what Linux says of a USB adapter.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace cport {

// Pauses inside one reply that the hand-over bridges: USB adapters pass bytes on in chunks.
inline constexpr std::chrono::milliseconds HandOverGapFloor{30};

// The tty's own name ("ttyUSB0") behind an open descriptor, "" when it cannot be told.
std::string TtyNameOfFd(int Fd);
// The adapter's latency timer in milliseconds from <SysRoot>/bus/usb-serial/devices/<Tty>/
// latency_timer; nullopt for a port that is no USB serial adapter or an unreadable value.
std::optional<int> UsbLatencyTimerMs(const std::string& TtyName,
                                     const std::string& SysRoot = "/sys");
// Received bytes are handed over once the line has been quiet this long: four character
// times, at least the gap floor, and the adapter's latency timer plus four character times.
std::chrono::nanoseconds HandOverQuiet(std::chrono::nanoseconds CharacterTime,
                                       std::optional<int> LatencyTimerMs);

} // namespace cport
