// What kestro prints: the logger's values after a poll cycle, the readings line of watch, and
// the progress line of a download.
#pragma once

#include "link/LinkHost.h"
#include "link/LinkValues.h"

#include <array>
#include <string>

namespace cli {

// Every value the window shows, as it shows it (texts one byte per character).
struct TInfo {
    std::string Name, SerialNo, SoftwareVersion;
    int LogCapacity = 0;
    std::string Material, Zones, RefType, LogInterval, LogTime;
    bool Cyclic = false;
    std::string LogCount, KestroTime, PcTime, BatteryVolts;
    std::array<std::string, 3> ZoneTexts;    // descriptions
    std::array<std::string, 3> ZoneReadings; // "-820 mV"
    std::array<int, 3> ZoneMillivolts{};
};

TInfo GatherInfo(const klink::TLinkHost& host, const klink::TLinkValues& values);
std::string InfoText(const TInfo& info);
std::string InfoJson(const TInfo& info);

// One line of watch: the PC time, the three readings and the battery.
std::string ReadingsText(const TInfo& info);
std::string ReadingsJson(const TInfo& info);

// "entry 120 of 511, 12.4 entries/s, 0:31 left"; the rate and time left once they are known.
std::string ProgressText(int entry, int count, double elapsedSeconds);

} // namespace cli
