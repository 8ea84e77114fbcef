// How long this logger takes to answer, and how long to wait for an answer.
#pragma once

#include "protocol/Framing.h"

namespace klink {

// Time-outs never go below the first one nor above the cap: a logger slower than the cap
// counts as silent.
inline constexpr int ReplyTimeoutMs = 200;
inline constexpr int ReplyTimeoutCapMs = 1000;
// The character time at the line's 9600 baud, 10 bits a character, in microseconds.
inline constexpr int LineCharacterUs = 1042;
// A whole reply on the wire.
inline constexpr int ReplyWireMs =
    (static_cast<int>(protocol::ReplyLength) * LineCharacterUs + 999) / 1000;
// The longest pause the serial hand-over allows inside one reply before delivering it.
inline constexpr int HandOverGapMs = 30;
// The latest reply time that counts; a later sample is taken as this.
inline constexpr int LateReplyGuardMs = 2000;

// Pure: fed with measured reply times (command written to reply in), it gives the time-out.
class TReplyTime {
public:
    // Three times the slowest recent reply, between ReplyTimeoutMs and the cap.
    int TimeoutMs() const;
    // A reply seen after this many milliseconds, whether in time or late.
    void Observe(int ms);
    // The slowest recent reply; it decays by a thirty-second with every further reply.
    int SlowestMs() const { return Slowest; }
    // The quiet time before anything more is sent after a time-out; see Settle.
    int QuietMs(bool loggerKnown) const;
    void Reset() { Slowest = 0; }

private:
    int Slowest = 0;
};

} // namespace klink
