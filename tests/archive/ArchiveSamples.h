// Downloads made up for the archive's tests and benchmark: a header and a run of entries.
#pragma once

#include "archive/Archive.h"

#include <string>
#include <vector>

namespace archivesamples {

inline logdata::THeaderValues Header(const std::string& serial, const std::string& name) {
    logdata::THeaderValues v;
    v.KestroName = name;
    v.SerialNo = serial;
    v.SoftwareVersion = "KV1.4 4090";
    v.Zone1Text = "Stern           ";
    v.Zone2Text = "";
    v.Zone3Text = "Bow";
    v.LogInterval = "15 Minutes";
    v.Material = "Steel";
    v.RefType = "Ag AgCl";
    v.Zones = "2";
    v.LogCount = "0";
    v.KestroTime = "14/08/26 05:20";
    v.PcTime = "14/08/26 05:21";
    v.BatteryVolts = "12.5 V";
    return v;
}

// The count record first, as a download writes it, then entries 1..count every 15 minutes
// from the given start; the readings depend on the time and on salt.
inline std::vector<protocol::LogRecord> Records(const protocol::DateTime& start, int count,
                                                int salt = 0) {
    std::vector<protocol::LogRecord> records;
    protocol::LogRecord countRecord;
    countRecord.Minutes = int64_t{count} << 24;
    records.push_back(countRecord);
    const int64_t first = protocol::MinutesSinceEpoch(start);
    for (int i = 1; i <= count; ++i) {
        protocol::LogRecord r;
        r.Index = i;
        r.Minutes = first + 15 * (i - 1);
        for (int v = 0; v < 6; ++v)
            r.Values[static_cast<std::size_t>(v)] =
                -800 - static_cast<int32_t>((r.Minutes / 15 + v * 7 + salt) % 300);
        records.push_back(r);
    }
    return records;
}

inline archive::TDownloadRecord Download(const logdata::THeaderValues& header,
                                         const std::vector<protocol::LogRecord>& records) {
    return archive::MakeDownloadRecord(header, records, "/tmp/log.txt", {2026, 8, 14, 5, 21, 0, 0},
                                       [](const protocol::DateTime&) { return 60; });
}

} // namespace archivesamples
