// Entries a sound log never holds: the same entry twice, time stamps that go back, time stamps
// still to come. The log is shown all the same; these are named so that nobody trusts it blindly.
#pragma once

#include "protocol/LogRecord.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace logdata {

// How many entries show one oddity, and the positions into the entries of the first few.
struct TOddEntries {
    std::size_t Count = 0;
    std::vector<std::size_t> First; // at most OddEntriesKept, in file order
    bool operator==(const TOddEntries&) const = default;
};

inline constexpr std::size_t OddEntriesKept = 5;

struct TLogFindings {
    // The time and readings of an earlier entry again.
    TOddEntries Repeated;
    // The time of an earlier entry with other readings.
    TOddEntries SameTime;
    // Earlier than the entry before it in the file; the one step back where a full cyclic log
    // wrapped is its way of keeping entries, not an oddity.
    TOddEntries Backwards;
    // Later than the PC's clock (with FutureToleranceMinutes to spare).
    TOddEntries Future;
    bool Any() const {
        return Repeated.Count + SameTime.Count + Backwards.Count + Future.Count > 0;
    }
    bool operator==(const TLogFindings&) const = default;
};

// A logger's clock set a time zone away, or wandered, is no clock from the future.
inline constexpr int64_t FutureToleranceMinutes = 24 * 60;

// Entries in file order; nowMinutes is the PC's time in minutes since the logger's epoch.
TLogFindings FindOddEntries(const std::vector<protocol::LogRecord>& entries, bool cyclic,
                            int64_t nowMinutes);

} // namespace logdata
