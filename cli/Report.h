// What kestro prints: the logger's values after a poll cycle, the readings line of watch, the
// ports, and the progress line of a download.
#pragma once

#include "link/LinkHost.h"
#include "link/LinkValues.h"

#include "cport/ComPortList.h"
#include "line/KestroLine.h"
#include "protocol/DateTime.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// Every value the window shows, as it shows it (texts one byte per character), and typed as a
// script wants it: unset where the logger gave no value.
struct TInfo {
    std::string Name, SerialNo, SoftwareVersion;
    int LogCapacity = 0;
    std::string Material, Zones, RefType, LogInterval, LogTime;
    bool Cyclic = false;
    std::string LogCount, KestroTime, PcTime, BatteryVolts;
    std::array<std::string, 3> ZoneTexts;    // descriptions
    std::array<std::string, 3> ZoneReadings; // "-820 mV"
    std::array<int, 3> ZoneMillivolts{};

    std::string MaterialToken, RefTypeToken; // the words set takes; "" for "?"
    std::optional<int> ZoneCount, IntervalMinutes;
    std::optional<double> LogDays;
    std::optional<protocol::DateTime> KestroClock; // the logger's clock; it has no offset
    protocol::DateTime PcNow;                      // when the values were gathered
    int PcUtcOffsetMinutes = 0;
    // Whether zone 1 to 3 is enabled; a zone that is off has no reading.
    bool ZoneOn(std::size_t zone) const {
        return !ZoneCount || static_cast<int>(zone) < *ZoneCount;
    }
};

TInfo GatherInfo(const klink::TLinkHost& host, const klink::TLinkValues& values);
std::string InfoText(const TInfo& info);
std::string InfoJson(const TInfo& info);

// "2026-08-14T05:20:07+01:00"
std::string IsoPcTime(const protocol::DateTime& local, int utcOffsetMinutes);
// Seconds the logger's clock is ahead of the PC's (behind when negative), in whole minutes as
// the logger counts; unset when its clock has not been read.
std::optional<int64_t> ClockDifferenceSeconds(const TInfo& info);

// One line of watch: the PC time, the three readings and the battery.
std::string ReadingsText(const TInfo& info);
std::string ReadingsJson(const TInfo& info);

// ports: one line per COM number, or a JSON array.
std::string PortsText(const std::vector<cport::TComPortInfo>& ports);
std::string PortsJson(const std::vector<cport::TComPortInfo>& ports);

// A port whose device would not open, with the device and the variable behind the name and
// the system's own word for the failure: "cannot open COM3 (/tmp/x/missing, from QUORVA_COM3):
// No such file or directory". Texts in the terminal's encoding, as the port was given.
std::string OpenFailureText(const std::string& port, const kline::TOpenResult& failure);
// What the user can do about it, where the system code says something true of this PC (a
// forbidden device, a missing one, a busy one without a known holder); "" otherwise.
std::string OpenFailureAdvice(const std::string& port, const kline::TOpenResult& failure);

// "entry 120 of 511, 12.4 entries/s, 0:31 left"; the rate and time left once they are known.
std::string ProgressText(int entry, int count, double elapsedSeconds);

} // namespace cli
