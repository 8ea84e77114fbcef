// The 21-line header that opens every log file, and the texts written under it.
#pragma once

#include "protocol/DateTime.h"

#include <array>
#include <string>

namespace logdata {

inline constexpr std::size_t HeaderLineCount = 21;

// What the controls show at the moment the header is written; a list with no selected item
// contributes "".
struct THeaderValues {
    std::string KestroName;
    std::string SerialNo;
    std::string SoftwareVersion;
    std::string Zone1Text;
    std::string Zone2Text;
    std::string Zone3Text;
    std::string LogInterval; // selected item of LogIntBox
    std::string Material;    // selected item of MaterialBox
    std::string RefType;     // selected item of RefType
    std::string Zones;       // selected item of ZonesBox
    bool CyclicLogging = false;
    std::string LogCount;
    std::string KestroTime;
    std::string PcTime; // the PC time as a time stamp text
    std::string BatteryVolts;
};

// The header lines without their line ends.
std::array<std::string, HeaderLineCount> HeaderLines(const THeaderValues& values);

// The PC time as the header writes it.
std::string PcTimeText(const protocol::DateTime& now, const protocol::DateFormats& formats);

} // namespace logdata
