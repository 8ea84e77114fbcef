#include "link/ReplyTime.h"

#include <algorithm>

namespace klink {

namespace {
int Decayed(int slowest, int sample) {
    return std::max(sample, slowest - (slowest + 31) / 32);
}
} // namespace

int TReplyTime::TimeoutMs(int32_t awaited) const {
    const int shared = std::clamp(3 * Slowest, ReplyTimeoutMs, ReplyTimeoutCapMs);
    if (awaited == protocol::ReplyLogRecord) {
        return shared;
    }
    // A quarter more than its slowest answer, and the time for that answer to come in whole:
    // a question answered in 2.3 s is waited for 2.9 s.
    const int own = SlowestMs(awaited);
    const int needed = own + own / 4 + ReplyWireMs + HandOverGapMs;
    return std::max(shared, std::min(needed, SlowQuestionCapMs));
}

void TReplyTime::Observe(int ms, int32_t awaited) {
    ms = std::clamp(ms, 0, SlowQuestionCapMs);
    Slowest = Decayed(Slowest, std::min(ms, LateReplyGuardMs));
    if (awaited != protocol::ReplyNone) {
        int& own = SlowestOf[awaited];
        own = Decayed(own, ms);
    }
}

int TReplyTime::SlowestMs(int32_t awaited) const {
    const auto found = SlowestOf.find(awaited);
    return found == SlowestOf.end() ? 0 : found->second;
}

// Once a logger has answered, a timed-out reply may still come: the line must stay quiet for
// the longest reply time we accept (the cap, or the slowest reply seen if longer) before the
// next command, plus a reply's wire time and the hand-over gap so one that has begun ends.
// Before it has answered (searching) only the one command is ever asked, so its late answer
// can do no harm and the wait is just long enough for a reply in progress.
int TReplyTime::QuietMs(bool loggerKnown) const {
    const int inProgress = ReplyWireMs + HandOverGapMs;
    if (!loggerKnown) {
        return inProgress;
    }
    return inProgress + std::max(ReplyTimeoutCapMs, Slowest);
}

void TReplyTime::Reset() {
    Slowest = 0;
    SlowestOf.clear();
}

} // namespace klink
