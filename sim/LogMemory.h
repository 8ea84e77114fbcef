#pragma once

// The logger's log memory: up to its capacity of records, oldest first.

#include <array>
#include <cstdint>
#include <deque>
#include <string>

namespace sim {

struct LogRecord {
    int64_t minutes = 0;                // time stamp, minutes since the epoch
    std::array<int16_t, 6> values = {}; // Min1, Max1, Min2, Max2, Min3, Max3 in millivolts
};

// "index dd/mm/yy hh:mm v1 ... v6", single blanks, as the program writes a log line.
std::string LogLine(int index, const LogRecord& record);

class LogMemory {
public:
    explicit LogMemory(int capacity = 511) : capacity_(capacity) {}

    // Adds a record. When full, cyclic logging drops the oldest; otherwise the record is lost
    // and false is returned.
    bool Add(const LogRecord& record, bool cyclic);
    void Clear() {
        records_.clear();
        ++generation_;
    }
    // Keeps the oldest n records, as a logger that lost the rest in a restart.
    void KeepOldest(int n) {
        if (n >= 0 && n < Count()) {
            records_.resize(static_cast<std::size_t>(n));
            ++generation_;
        }
    }
    // Changes whenever a record is added or the memory is cleared.
    uint64_t Generation() const { return generation_; }

    int Count() const { return static_cast<int>(records_.size()); }
    int Capacity() const { return capacity_; }
    bool Full() const { return Count() >= capacity_; }
    // Record n, 1 being the oldest; nullptr for an empty slot (0, or beyond the count).
    const LogRecord* At(int n) const;

    // Every record as a log line ending in CR LF, numbered from 1.
    std::string Dump() const;

private:
    int capacity_;
    std::deque<LogRecord> records_;
    uint64_t generation_ = 0;
};

} // namespace sim
