#pragma once

// Everything the simulated logger starts with, and the faults it is asked to show.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace sim {

// Fault switches. A period k of 0 means off; k = 1 hits every valid command, k = 2 every
// second one, and so on. Counts of commands are counts of valid commands received.
struct Faults {
    int replyDelayMs = 0; // wait before the first byte of every reply
    int dropEvery = 0;    // no reply to every k-th command
    int garbleEvery = 0;  // a non-hex character in the payload of every k-th reply
    int splitEvery = 0;   // every k-th reply goes out in two writes
    int splitAt = 17;     // bytes in the first write (34 = between ">" and the last character)
    int splitGapMs = 50;  // pause between the two writes
    int noiseEvery = 0;   // noise bytes after every k-th reply
    std::string noise = "#~!*";
    int silentAfter = -1; // answer this many commands, then stay silent (-1: never)
    int hangupAfter = -1; // answer this many commands, then close the line (-1: never)
    // One late reply: to the lateAt-th valid command, or to the first command whose body is
    // lateOn; it comes lateByMs after the usual delay.
    int lateAt = 0;
    std::string lateOn;
    int lateByMs = 0;
    // Every reply to the command whose body is slowOn comes slowByMs after the usual delay:
    // one question this logger is always slow to answer.
    std::string slowOn;
    int slowByMs = 0;
    // Each reply's delay drawn (from the seed) between these bounds; max 0 is off.
    int jitterMinMs = 0;
    int jitterMaxMs = 0;
    bool clearReplyAfterErase = false; // answer "C" only once the erase is over
    // Logs one new record, once, as the request for this log number comes in (0 off): with a
    // full cyclic log every record then moves down a number in the middle of a download.
    int logDuringDownloadAt = 0;
    // Restarts, once, as the request for this log number comes in (0 off): that request goes
    // unanswered, the logger is silent for restartSilenceMs, and it comes back holding only its
    // first restartLogs records.
    int restartAt = 0;
    int restartLogs = 0;
    int restartSilenceMs = 2000;
};

struct Config {
    std::string name = "Kestro Sim";
    std::string serial = "KS-000001";
    // The 6th character picks the log capacity: "2" 2040, "4" 4090, anything else 511.
    std::string version = "KV1.0 511";
    std::array<std::string, 3> descriptions = {"Bow", "Midships", "Stern"};
    int material = 1;     // as stored by the logger: 0 Aluminium, 1 Steel, 2 Bronze, -1 unset
    int zones = 3;        // 0 to 3
    int logInterval = 15; // minutes, 0 is "Off"
    bool cyclic = false;
    int refType = 1;                     // 0 Zinc, 1 Ag AgCl, -1 unset
    std::optional<int64_t> clockMinutes; // start clock; unset: the PC's local time
    int logs = 0; // records preloaded, one log interval apart, ending at the clock
    uint32_t seed = 1;
    int eraseMs = 3000;  // silence after answering "C"
    char lastChar = '>'; // the 35th character of every reply
    // Against the Ag/AgCl reference, inside the steel band of -800 to -1050 mV.
    std::array<int, 3> zoneMillivolts = {-820, -900, -1000};
    // This zone's logged readings rise out of the band for a few hours every second day, so a
    // demo log has something to find; 0 for none.
    int driftZone = 2;
    int batteryCount = 2571; // about 12.5 V with the program's scale
    bool wireTime = false;   // take and send bytes at the pace of 9600 baud 8N1
    Faults faults;
};

} // namespace sim
