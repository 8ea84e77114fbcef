#pragma once

// The logger's time: whole minutes since 01/01/00 00:00 local civil time, by plain calendar
// arithmetic (no time zones, no daylight-saving shifts).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

struct CivilTime {
    int year = 2000; // full year
    int month = 1;   // 1 to 12
    int day = 1;     // 1 to 31
    int hour = 0;
    int minute = 0;
};

int64_t CivilToMinutes(const CivilTime& t);
CivilTime MinutesToCivil(int64_t minutes);

// "dd/mm/yy hh:mm", or "dd/mm/yy" alone at exactly 00:00, as the program shows time stamps.
std::string TimeStampText(int64_t minutes);

// The PC's local time in milliseconds since the logger's epoch.
int64_t PcClockMs();

// Accepts a minute count ("14000000"), "dd/mm/yy hh:mm" or "dd/mm/yy"; nullopt otherwise.
std::optional<int64_t> ParseClock(std::string_view text);

} // namespace sim
