// How long this logger takes to answer, and how long to wait for an answer.
#pragma once

#include "protocol/Commands.h"
#include "protocol/Framing.h"

#include <cstdint>
#include <map>

namespace klink {

// Time-outs never go below the first one nor above the cap: a logger slower than the cap
// counts as silent, unless it is one question of the poll that it always answers slowly.
inline constexpr int ReplyTimeoutMs = 200;
inline constexpr int ReplyTimeoutCapMs = 1000;
// The longest a question of the poll is waited for, once this logger is known to answer it
// that slowly. It bounds how much later than usual a logger gone silent is noticed.
inline constexpr int SlowQuestionCapMs = 3000;
// The character time at the line's 9600 baud, 10 bits a character, in microseconds.
inline constexpr int LineCharacterUs = 1042;
// A whole reply on the wire.
inline constexpr int ReplyWireMs =
    (static_cast<int>(protocol::ReplyLength) * LineCharacterUs + 999) / 1000;
// The longest pause the serial hand-over allows inside one reply before delivering it.
inline constexpr int HandOverGapMs = 30;
// How long after a time-out its answer may still come and be taken for another's; also the
// latest reply time the shared estimate takes (a later sample counts as this).
inline constexpr int LateReplyGuardMs = 2000;

// Pure: fed with measured reply times (command written to reply in), it gives the time-out.
class TReplyTime {
public:
    // For a question awaiting this reply: three times the slowest recent reply of any
    // question, between ReplyTimeoutMs and the cap; a question of the poll that this logger
    // answers slower than that is given its own slowest time and a margin, up to
    // SlowQuestionCapMs. Log entries keep the cap: the download bounds a silent logger by
    // counting its requests.
    int TimeoutMs(int32_t awaited = protocol::ReplyNone) const;
    // A reply to that question seen after this many milliseconds, whether in time or late.
    void Observe(int ms, int32_t awaited = protocol::ReplyNone);
    // The slowest recent reply; it decays by a thirty-second with every further reply.
    int SlowestMs() const { return Slowest; }
    // The same for one question, with every further answer to it.
    int SlowestMs(int32_t awaited) const;
    // The quiet time before anything more is sent after a time-out; see Settle.
    int QuietMs(bool loggerKnown) const;
    void Reset();

private:
    int Slowest = 0;
    std::map<int32_t, int> SlowestOf;
};

} // namespace klink
