// The three figures: a full download against its lower bound, idle CPU, peak memory.
#pragma once

#include <string>
#include <vector>

namespace bench {

// One request goes out per 80 ms tick at most.
inline constexpr double TickSeconds = 0.080;
// The log file's header ahead of the entries.
inline constexpr int HeaderLines = 21;

// A 35-character reply on the line at 9600 baud.
inline constexpr double ReplyWireSeconds = 35 * 10 / 9600.0;

struct TDownloadResult {
    int Entries = 0;
    int DelayMs = -1; // the logger's reply delay, -1 for the plain download
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
    bool OwnPortList = false;
    double CpuPercent = 0; // of one core, all of the program's threads
    bool StayedReady = false;
    std::vector<std::string> Problems;
};

// With DelayMs >= 0 the logger waits that long before each reply, and the bound is
// (entries + 1) x max(one tick, the delay plus a reply's wire time).
TDownloadResult MeasureDownload(const std::string& SimProgram, int Entries,
                                const std::string& WorkDir, int DelayMs = -1);
// OwnPortList: COM2 and up come from the PC's own port list, as on a user's PC.
TIdleResult MeasureIdle(const std::string& SimProgram, int Seconds, const std::string& WorkDir,
                        bool OwnPortList = false);
// Peak resident set of this process so far, in MB.
double PeakResidentMb();

} // namespace bench
