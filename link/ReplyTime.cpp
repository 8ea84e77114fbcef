#include "link/ReplyTime.h"

#include <algorithm>

namespace klink {

int TReplyTime::TimeoutMs() const {
    return std::clamp(3 * Slowest, ReplyTimeoutMs, ReplyTimeoutCapMs);
}

void TReplyTime::Observe(int ms) {
    ms = std::clamp(ms, 0, LateReplyGuardMs);
    Slowest = std::max(ms, Slowest - (Slowest + 31) / 32);
}

// Once a logger has answered, a timed-out reply may still come: the line must stay quiet for
// the whole late-reply guard (or twice the slowest reply seen, if longer) before the next
// command, plus a reply's wire time and the hand-over gap so one that has begun ends first.
// Before it has answered (searching) only the one command is ever asked, so its late answer
// can do no harm and the wait is just long enough for a reply in progress.
int TReplyTime::QuietMs(bool loggerKnown) const {
    const int inProgress = ReplyWireMs + HandOverGapMs;
    if (!loggerKnown) {
        return inProgress;
    }
    return inProgress + std::max(LateReplyGuardMs, 2 * Slowest);
}

} // namespace klink
