// Log files written by the program's own writers, as Save and Get Logs write them.
#pragma once

#include "logdata/LogSave.h"
#include "protocol/LogRecord.h"

#include <string>
#include <vector>

namespace writtenlogs {

inline logdata::THeaderValues SampleHeader() {
    logdata::THeaderValues v;
    v.KestroName = "Harbour One";
    v.SerialNo = "SN-0042";
    v.SoftwareVersion = "KV1.4 4090";
    v.Zone1Text = "Stern           ";
    v.Zone2Text = "Keel";
    v.Zone3Text = "Bow";
    v.LogInterval = "15 Minutes";
    v.Material = "Steel";
    v.RefType = "Ag AgCl";
    v.Zones = "3";
    v.CyclicLogging = false;
    v.LogCount = "4090";
    v.KestroTime = "14/08/26 05:20";
    v.PcTime = "14/08/26 05:21";
    v.BatteryVolts = "12.5 V";
    return v;
}

// Entries 1..count every 15 minutes from 01/07/26 00:00, readings wandering around the steel
// band; one interval missing after entry count/2 when withGap.
inline std::vector<protocol::LogRecord> MakeEntries(int count, bool withGap = false) {
    std::vector<protocol::LogRecord> entries;
    int64_t minutes = protocol::MinutesSinceEpoch({2026, 7, 1, 0, 0, 0, 0});
    for (int i = 1; i <= count; ++i) {
        protocol::LogRecord r;
        r.Index = i;
        r.Minutes = minutes;
        const int base = -700 - (i * 37) % 450; // -700 .. -1149
        for (int z = 0; z < 3; ++z) {
            r.Values[z * 2] = base - 20 * z - (i % 7);
            r.Values[z * 2 + 1] = base - 20 * z + (i % 5);
        }
        entries.push_back(r);
        minutes += (withGap && i == count / 2) ? 45 : 15;
    }
    return entries;
}

// Save: header, the displayed lines (entry 0 is never displayed), one empty line.
inline void WriteSaved(const std::string& name, const logdata::THeaderValues& header,
                       const std::vector<protocol::LogRecord>& entries, int capacity = 4090) {
    logdata::TLogDisplay display;
    for (const protocol::LogRecord& r : entries) {
        display.Show(r.Index, capacity, protocol::LogLine(r));
    }
    logdata::TLogFile file;
    logdata::SaveLogFile(file, name, header, display);
}

// Get Logs: header, then every decoded entry from entry 0 on, no empty line at the end.
inline void WriteDownloaded(const std::string& name, const logdata::THeaderValues& header,
                            const std::vector<protocol::LogRecord>& entries) {
    logdata::TLogFile file;
    logdata::WriteLogHeader(file, name, header);
    for (const protocol::LogRecord& r : entries) {
        file.WriteLine(protocol::LogLine(r));
    }
    file.Close();
}

} // namespace writtenlogs
