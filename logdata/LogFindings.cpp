#include "logdata/LogFindings.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace logdata {

namespace {

// Counts every position and keeps the first few in file order.
TOddEntries Collect(std::vector<std::size_t> positions) {
    TOddEntries odd;
    odd.Count = positions.size();
    const std::size_t kept = std::min(positions.size(), OddEntriesKept);
    std::partial_sort(positions.begin(), positions.begin() + static_cast<std::ptrdiff_t>(kept),
                      positions.end());
    odd.First.assign(positions.begin(), positions.begin() + static_cast<std::ptrdiff_t>(kept));
    return odd;
}

// Sorted by time, then readings, then file position, copies of one entry sit side by side with
// the earliest in the file first.
void FindRepeats(const std::vector<protocol::LogRecord>& entries, TLogFindings& found) {
    std::vector<std::size_t> order(entries.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const protocol::LogRecord &x = entries[a], &y = entries[b];
        if (x.Minutes != y.Minutes) {
            return x.Minutes < y.Minutes;
        }
        return x.Values != y.Values ? x.Values < y.Values : a < b;
    });
    std::vector<std::size_t> repeated, sameTime;
    for (std::size_t i = 0; i < order.size();) {
        std::size_t end = i;
        std::size_t earliest = order[i];
        while (end < order.size() && entries[order[end]].Minutes == entries[order[i]].Minutes) {
            earliest = std::min(earliest, order[end]);
            ++end;
        }
        for (std::size_t k = i; k < end; ++k) {
            const bool firstOfItsReadings =
                k == i || entries[order[k]].Values != entries[order[k - 1]].Values;
            if (!firstOfItsReadings) {
                repeated.push_back(order[k]);
            } else if (order[k] != earliest) {
                sameTime.push_back(order[k]);
            }
        }
        i = end;
    }
    found.Repeated = Collect(std::move(repeated));
    found.SameTime = Collect(std::move(sameTime));
}

// A wrapped cyclic log is a newer run followed by an older one: every entry before the wrap is
// later than every entry from it on.
void FindSteps(const std::vector<protocol::LogRecord>& entries, bool cyclic, TLogFindings& found) {
    const std::size_t n = entries.size();
    std::vector<int64_t> latestFrom(n + 1, std::numeric_limits<int64_t>::min());
    for (std::size_t i = n; i-- > 0;) {
        latestFrom[i] = std::max(latestFrom[i + 1], entries[i].Minutes);
    }
    std::vector<std::size_t> backwards;
    int64_t earliestBefore = std::numeric_limits<int64_t>::max();
    bool wrapSeen = false;
    for (std::size_t i = 1; i < n; ++i) {
        earliestBefore = std::min(earliestBefore, entries[i - 1].Minutes);
        if (entries[i].Minutes >= entries[i - 1].Minutes) {
            continue;
        }
        if (cyclic && !wrapSeen && earliestBefore > latestFrom[i]) {
            wrapSeen = true;
            continue;
        }
        backwards.push_back(i);
    }
    found.Backwards = Collect(std::move(backwards));
}

} // namespace

TLogFindings FindOddEntries(const std::vector<protocol::LogRecord>& entries, bool cyclic,
                            int64_t nowMinutes) {
    TLogFindings found;
    FindRepeats(entries, found);
    FindSteps(entries, cyclic, found);
    std::vector<std::size_t> future;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].Minutes > nowMinutes + FutureToleranceMinutes) {
            future.push_back(i);
        }
    }
    found.Future = Collect(std::move(future));
    return found;
}

} // namespace logdata
