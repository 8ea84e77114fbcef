// The state that the link's handlers share, as the window kept it between events.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace klink {

// LinkState values.
inline constexpr int32_t StateSearching = 0;
inline constexpr int32_t StateReadingSettings = 1;
inline constexpr int32_t StateReady = 2;
inline constexpr int32_t StateReadingLogs = 3;
inline constexpr int32_t StateClearingLogs = 4;

// Log capacity until the software version says otherwise.
inline constexpr int32_t StartLogCapacity = 511;

struct TLinkValues {
    int32_t LinkState = StateSearching;
    int32_t PollStep = 0;       // next step of the ten-step poll cycle
    int32_t PollDelay = 0;      // ticks to skip before the next poll step
    int32_t ReplyCountdown = 0; // poll steps that may still pass without a reply
    bool LinkAlive = false;
    int32_t AwaitedReply = 0;
    int32_t LogIndex = 0;
    int32_t LogCapacity = StartLogCapacity;
    int32_t LogInterval = 0;
    int32_t LogDaysTenths = 0;
    char MaterialDigit = '0';
    char ZonesDigit = '0';
    std::array<int32_t, 3> ZoneReadings{};
    int32_t LogCount = -1; // the log count last read, -1 before the first
    // The PC time in minutes since 01/01/00 00:00, as Set Time sends it; a text that is no
    // number until the first tick has written one.
    std::string SenTime = "SenTime";
};

} // namespace klink
