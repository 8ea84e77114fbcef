// The 21-line header that opens every log file, and the texts written under it.
#pragma once

#include "protocol/DateTime.h"

#include <array>
#include <string>
#include <string_view>

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

inline constexpr std::string_view HeaderFirstLine = "*Configuration";
inline constexpr std::string_view HeaderDataHeading =
    " *Date     Time   Min1 Max1 Min2 Max2 Min3 Max3 ";
inline constexpr std::string_view CyclicEnabledText = "Enabled";
inline constexpr std::string_view CyclicDisabledText = "Disabled";

// Lines 3 to 17: a label padded so that its "=" stands in column 22, then the value.
struct THeaderField {
    std::string_view Label;
    std::string THeaderValues::*Text; // nullptr for the cyclic flag
};
inline constexpr std::size_t HeaderFirstField = 2; // the line index of the first field
inline constexpr std::array<THeaderField, 15> HeaderFields = {{
    {"*Kestro Name         = ", &THeaderValues::KestroName},
    {"*Serial Number       = ", &THeaderValues::SerialNo},
    {"*Software Version    = ", &THeaderValues::SoftwareVersion},
    {"*Zone1 Description   = ", &THeaderValues::Zone1Text},
    {"*Zone2 Description   = ", &THeaderValues::Zone2Text},
    {"*Zone3 Description   = ", &THeaderValues::Zone3Text},
    {"*Log Interval        = ", &THeaderValues::LogInterval},
    {"*Hull Material       = ", &THeaderValues::Material},
    {"*Reference Type      = ", &THeaderValues::RefType},
    {"*Zones Enabled       = ", &THeaderValues::Zones},
    {"*Cyclic Logging      = ", nullptr},
    {"*Log Count           = ", &THeaderValues::LogCount},
    {"*Kestro Time         = ", &THeaderValues::KestroTime},
    {"*PC Time             = ", &THeaderValues::PcTime},
    {"*Battery Voltage     = ", &THeaderValues::BatteryVolts},
}};

// Below a blank, and DEL: a logger's text holding one (a line feed in a name) would split a
// header line or a CSV row, so the files and the screen show each as a blank.
constexpr bool IsControlCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}
std::string BlankControlCharacters(std::string text);

// The header lines without their line ends; always HeaderLineCount of them, whatever the
// values hold.
std::array<std::string, HeaderLineCount> HeaderLines(const THeaderValues& values);

// The PC time as the header writes it.
std::string PcTimeText(const protocol::DateTime& now, const protocol::DateFormats& formats);

} // namespace logdata
