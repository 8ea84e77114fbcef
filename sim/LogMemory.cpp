#include "sim/LogMemory.h"

#include "sim/Clock.h"

namespace sim {

std::string LogLine(int index, const LogRecord& record) {
    std::string line = std::to_string(index) + " " + TimeStampText(record.minutes);
    for (int16_t v : record.values)
        line += " " + std::to_string(v);
    return line;
}

bool LogMemory::Add(const LogRecord& record, bool cyclic) {
    if (capacity_ <= 0)
        return false;
    if (Full()) {
        if (!cyclic)
            return false;
        records_.pop_front();
    }
    records_.push_back(record);
    ++generation_;
    return true;
}

const LogRecord* LogMemory::At(int n) const {
    if (n < 1 || n > Count())
        return nullptr;
    return &records_[static_cast<size_t>(n - 1)];
}

std::string LogMemory::Dump() const {
    std::string out;
    for (int n = 1; n <= Count(); ++n)
        out += LogLine(n, records_[static_cast<size_t>(n - 1)]) + "\r\n";
    return out;
}

} // namespace sim
