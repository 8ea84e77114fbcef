// TransmitString, the traffic trace, and the rule that only one question awaits its reply.
#pragma once

#include "link/LinkHost.h"
#include "link/LinkValues.h"
#include "link/ReplyTime.h"
#include "protocol/Commands.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

namespace klink {

// The traffic trace keeps only its newest lines.
inline constexpr std::size_t RxDatMaxLines = 1000;

class TTransmitter {
public:
    // Runs right after the command went out (or was dropped): the sender's own state.
    using TAfterSend = std::function<void()>;

    TTransmitter(TLinkHost& host, TLinkValues& values);

    // Sends at once when no question is open, otherwise queues behind the waiting ones.
    // AwaitedReply takes the command's code when it goes out, also when the port drops it.
    void Submit(const protocol::Command& command, TAfterSend afterSend = {});

    // A question is out and its reply has neither come nor timed out.
    bool Awaiting() const { return State == TState::Open; }
    // After a time-out: waiting for the line to stay quiet before anything more is sent.
    bool Settling() const { return State == TState::Settling; }
    // Settling because the last question went unanswered (not merely to let replies pass).
    bool SettlingAfterSilence() const { return Settling() && AfterSilence; }
    // Nothing is out and nothing waits: the poll and the download may send.
    bool Idle() const { return State == TState::Idle && Queue.empty(); }

    // The open question has been answered; its reply time is measured.
    void ReplyAccepted();
    // The reply timer ran out. With a question open: its partial reply is thrown away,
    // AwaitedReply cleared, and the line settles. While settling: the line stayed quiet, so
    // what is queued may go out.
    void TimeOut();
    // Received bytes reached the port. While settling they are thrown away and the quiet
    // wait starts again; the first of them also tells how late this logger answers.
    void LineActivity();
    // A well-framed packet that answers no open question: thrown away, though it tells the
    // reply time of a question that timed out.
    void StrayReply();
    // Settles the line (no question may be open) if a question timed out within the late-reply
    // guard: its answer may still be on its way and is let in and thrown away first.
    void SettleIfLateAnswerPossible();
    const TReplyTime& ReplyTimes() const { return Times; }

    // While held, submitted commands only queue; Release sends the next one. Used around
    // reply handling, so a command caused by a reply never goes out from inside it.
    void Hold() { ++HoldCount; }
    void Release();

    // Drops every queued command and the open question (the window is closing).
    void Reset();

    // Frames and writes one composed command; PollDelay := 1 whatever happens.
    // True when the command went out on the line.
    bool TransmitString(const std::string& text);

    // After a failed write nothing more goes out until the port has been opened again.
    void PortOpened() { Broken = false; }
    bool PortUsable() const;

    void AddRxDat(const std::string& line);
    const std::deque<std::string>& RxDat() const { return Trace; }

private:
    struct TQueued {
        protocol::Command Cmd;
        TAfterSend AfterSend;
    };
    void SendNow(const protocol::Command& command, const TAfterSend& afterSend);
    void SendNext();
    void FailWrite(const std::string& message);
    void ObserveLate(int extraMs);
    void StartQuiet(bool afterSilence);
    int SinceSentMs() const;

    enum class TState { Idle, Open, Settling };

    TLinkHost& Host;
    TLinkValues& Vals;
    std::deque<TQueued> Queue;
    std::deque<std::string> Trace;
    TState State = TState::Idle;
    TReplyTime Times;
    int64_t SentAtMs = 0;
    // The last question timed out and no late answer to it has been seen yet.
    bool LateAnswerDue = false;
    bool AfterSilence = false;
    // Bytes came while the question was open, from this time on.
    bool ActivitySeen = false;
    int64_t FirstActivityMs = 0;
    int64_t TimedOutAtMs = 0;
    bool EverTimedOut = false;
    int HoldCount = 0;
    bool Broken = false;
};

} // namespace klink
