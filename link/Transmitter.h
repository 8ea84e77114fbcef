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
#include <optional>
#include <string>
#include <variant>

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
    bool Awaiting() const { return std::holds_alternative<TWaiting>(Phase); }
    // After a time-out: waiting for the line to stay quiet before anything more is sent.
    bool Settling() const { return std::holds_alternative<TSettling>(Phase); }
    // Settling because the last question went unanswered (not merely to let replies pass).
    bool SettlingAfterSilence() const;
    // Nothing is out and nothing waits: the poll and the download may send.
    bool Idle() const { return std::holds_alternative<TIdle>(Phase) && Queue.empty(); }

    // The open question has been answered; its reply time is measured.
    void ReplyAccepted();
    // The reply timer ran out. With a question open: its partial reply is thrown away,
    // AwaitedReply cleared, and the line settles. While settling: the line stayed quiet, so
    // what is queued may go out.
    void TimeOut();
    // Received bytes reached the port. While settling they are thrown away and the quiet
    // wait starts again; the first of them also tells how late this logger answers.
    void LineActivity();
    // A well-framed packet that answers no open question, or cannot be the open question's
    // answer: thrown away, though it tells the reply time of a question that timed out.
    void StrayReply();
    // Settles the line (no question may be open) if a question timed out within the late-reply
    // guard: its answer may still be on its way and is let in and thrown away first.
    void SettleIfLateAnswerPossible();
    const TReplyTime& ReplyTimes() const { return Times; }
    // How often the line has been disturbed: a question timed out, a packet came that answered
    // nothing, or bytes came while the line settled. Around such a moment a reply may have
    // been taken for the answer to another question.
    int Disturbances() const { return DisturbanceCount; }
    // No disturbance for at least this long (or ever).
    bool UndisturbedFor(int64_t ms) const;

    // While one is alive, submitted commands only queue; the last to go sends the next one,
    // also when the handling it guarded threw. Used around reply handling, so a command caused
    // by a reply never goes out from inside it.
    class THold {
    public:
        explicit THold(TTransmitter& transmitter);
        ~THold() noexcept(false);
        THold(const THold&) = delete;
        THold& operator=(const THold&) = delete;

    private:
        TTransmitter& Trans;
        int Unwinding;
    };

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
    void ForgetOldUnanswered();
    void StartQuiet(bool afterSilence);
    int SinceMs(int64_t sentAtMs) const;
    void Disturbed();

    // Nothing is out.
    struct TIdle {};
    // A question is out.
    struct TWaiting {
        int64_t SentAtMs = 0;
        int32_t Awaited = protocol::ReplyNone;
        std::optional<int64_t> FirstActivityMs; // bytes came while it was out, from then on
    };
    // A question that timed out before a byte of its answer came.
    struct TUnanswered {
        int64_t SentAtMs = 0;
        int32_t Awaited = protocol::ReplyNone;
    };
    // After a time-out, until the line has stayed quiet.
    struct TSettling {
        bool AfterSilence = false; // the question went unanswered, rather than a guard
    };

    TLinkHost& Host;
    TLinkValues& Vals;
    std::deque<TQueued> Queue;
    std::deque<std::string> Trace;
    std::variant<TIdle, TWaiting, TSettling> Phase;
    TReplyTime Times;
    // Questions that timed out without a byte, oldest first, while their late answers may
    // still come. The logger answers in order, so the next late or stray reply is the oldest
    // one's answer: it tells how slowly this logger answers that question, also when it came
    // after another question went out and was taken for that one's answer.
    std::deque<TUnanswered> Unanswered;
    std::optional<int64_t> LastTimeOutMs;
    int DisturbanceCount = 0;
    std::optional<int64_t> LastDisturbanceMs;
    int HoldCount = 0;
    bool Broken = false;
};

} // namespace klink
