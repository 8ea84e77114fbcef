// The three figures: a full download against its lower bound, idle CPU, peak memory.
#pragma once

#include <string>
#include <vector>

namespace bench {

// One request goes out per 80 ms tick at most.
inline constexpr double TickSeconds = 0.080;
// The log file's header ahead of the entries.
inline constexpr int HeaderLines = 21;

struct TDownloadResult {
    int Entries = 0;
    int Capacity = 0;
    double BoundSeconds = 0; // one tick per request the download must send
    double WallSeconds = 0;  // from the click to the end of the download
    bool Finished = false;
    int FileEntries = -1;      // lines after the header, -1 when the file is unreadable
    bool SameAsLogger = false; // the entries are the logger's log dump, byte for byte
    std::vector<std::string> Problems;
};

struct TIdleResult {
    int Seconds = 0;
    double CpuPercent = 0; // of one core, all of the program's threads
    bool StayedReady = false;
    std::vector<std::string> Problems;
};

TDownloadResult MeasureDownload(const std::string& SimProgram, int Entries,
                                const std::string& WorkDir);
TIdleResult MeasureIdle(const std::string& SimProgram, int Seconds, const std::string& WorkDir);
// Peak resident set of this process so far, in MB.
double PeakResidentMb();

} // namespace bench
