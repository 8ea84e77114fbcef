#include "link/Transmitter.h"

#include "protocol/Framing.h"

#include <exception>

namespace klink {

namespace {
// Said when the shell reports a failed write without the serial layer's own message.
constexpr const char* GenericWriteError = "Write error";
} // namespace

TTransmitter::TTransmitter(TLinkHost& host, TLinkValues& values) : Host(host), Vals(values) {}

void TTransmitter::Submit(const protocol::Command& command, TAfterSend afterSend) {
    Queue.push_back({command, std::move(afterSend)});
    SendNext();
}

void TTransmitter::SendNow(const protocol::Command& command, const TAfterSend& afterSend) {
    const bool sent = TransmitString(command.CommandText());
    Vals.AwaitedReply = command.AwaitedReply;
    if (sent) {
        ForgetOldUnanswered();
        Phase = TWaiting{Host.MonotonicMs(), command.AwaitedReply, std::nullopt};
        Host.StartReplyTimer(Times.TimeoutMs(command.AwaitedReply));
    }
    if (afterSend) {
        afterSend();
    }
}

void TTransmitter::SendNext() {
    // A dropped command opens no question, so the next one may follow at once.
    while (std::holds_alternative<TIdle>(Phase) && HoldCount == 0 && !Queue.empty()) {
        TQueued next = std::move(Queue.front());
        Queue.pop_front();
        SendNow(next.Cmd, next.AfterSend);
    }
}

bool TTransmitter::SettlingAfterSilence() const {
    const auto* settling = std::get_if<TSettling>(&Phase);
    return settling && settling->AfterSilence;
}

void TTransmitter::ReplyAccepted() {
    if (const auto* waiting = std::get_if<TWaiting>(&Phase)) {
        const int took = SinceMs(waiting->SentAtMs);
        const int32_t awaited = waiting->Awaited;
        Phase = TIdle{};
        Host.StopReplyTimer();
        Times.Observe(took, awaited);
    }
    SendNext();
}

void TTransmitter::TimeOut() {
    if (Settling()) {
        // Quiet long enough: whatever half packet the extractor holds is from before.
        Host.PurgeInput();
        Phase = TIdle{};
        SendNext();
        return;
    }
    const auto* waiting = std::get_if<TWaiting>(&Phase);
    if (!waiting) {
        return;
    }
    Vals.AwaitedReply = protocol::ReplyNone;
    // A reply already arriving is cut off by the purge, but tells how long this logger takes.
    if (waiting->FirstActivityMs) {
        Times.Observe(static_cast<int>(*waiting->FirstActivityMs - waiting->SentAtMs) +
                          ReplyWireMs + HandOverGapMs,
                      waiting->Awaited);
    } else {
        Unanswered.push_back({waiting->SentAtMs, waiting->Awaited});
    }
    LastTimeOutMs = Host.MonotonicMs();
    Disturbed();
    StartQuiet(true);
}

void TTransmitter::Disturbed() {
    ++DisturbanceCount;
    LastDisturbanceMs = Host.MonotonicMs();
}

bool TTransmitter::UndisturbedFor(int64_t ms) const {
    return !LastDisturbanceMs || Host.MonotonicMs() - *LastDisturbanceMs >= ms;
}

void TTransmitter::SettleIfLateAnswerPossible() {
    if (!Awaiting() && LastTimeOutMs && Host.MonotonicMs() - *LastTimeOutMs < LateReplyGuardMs) {
        StartQuiet(false);
    }
}

void TTransmitter::StartQuiet(bool afterSilence) {
    if (!Settling()) {
        Phase = TSettling{afterSilence};
    }
    Host.PurgeInput();
    Host.StartReplyTimer(Times.QuietMs(Vals.LinkState != StateSearching));
}

void TTransmitter::LineActivity() {
    if (auto* waiting = std::get_if<TWaiting>(&Phase)) {
        if (!waiting->FirstActivityMs) {
            waiting->FirstActivityMs = Host.MonotonicMs();
        }
        return;
    }
    if (!Settling()) {
        return;
    }
    // The bytes' arrival marks a reply's start; it is whole a wire time later.
    Disturbed();
    ObserveLate(ReplyWireMs);
    StartQuiet(false);
}

void TTransmitter::StrayReply() {
    Disturbed();
    ObserveLate(0);
}

void TTransmitter::ObserveLate(int extraMs) {
    ForgetOldUnanswered();
    if (!Unanswered.empty()) {
        Times.Observe(SinceMs(Unanswered.front().SentAtMs) + extraMs, Unanswered.front().Awaited);
        Unanswered.pop_front();
    }
}

void TTransmitter::ForgetOldUnanswered() {
    // An answer later than the longest wait is no answer this logger gives in time.
    const int64_t now = Host.MonotonicMs();
    while (!Unanswered.empty() &&
           now - Unanswered.front().SentAtMs > SlowQuestionCapMs + ReplyWireMs + HandOverGapMs) {
        Unanswered.pop_front();
    }
}

int TTransmitter::SinceMs(int64_t sentAtMs) const {
    const int64_t since = Host.MonotonicMs() - sentAtMs;
    return since < 0 ? 0 : since > SlowQuestionCapMs ? SlowQuestionCapMs : static_cast<int>(since);
}

TTransmitter::THold::THold(TTransmitter& transmitter)
    : Trans(transmitter), Unwinding(std::uncaught_exceptions()) {
    ++Trans.HoldCount;
}

TTransmitter::THold::~THold() noexcept(false) {
    --Trans.HoldCount;
    if (std::uncaught_exceptions() == Unwinding) {
        Trans.SendNext();
        return;
    }
    // The handling threw: what it queued still goes out, and the first error is the one
    // that travels on.
    try {
        Trans.SendNext();
    } catch (...) {
    }
}

void TTransmitter::Reset() {
    Queue.clear();
    if (!std::holds_alternative<TIdle>(Phase)) {
        Phase = TIdle{};
        Host.StopReplyTimer();
    }
    Unanswered.clear();
    LastTimeOutMs.reset();
}

bool TTransmitter::PortUsable() const {
    return !Broken && Host.PortConnected();
}

bool TTransmitter::TransmitString(const std::string& text) {
    Vals.PollDelay = 1;
    if (!PortUsable()) {
        return false;
    }
    const std::optional<std::string> framed = protocol::FrameCommand(text);
    if (!framed) {
        return false;
    }
    try {
        if (!Host.WriteText(*framed)) {
            FailWrite(GenericWriteError);
            return false;
        }
    } catch (const std::exception& e) {
        FailWrite(e.what());
        return false;
    }
    AddRxDat(*framed);
    return true;
}

void TTransmitter::FailWrite(const std::string& message) {
    if (Broken) {
        return;
    }
    // Marked before the message box, whose loop may run ticks that would write again.
    Broken = true;
    Host.ClosePortLater();
    Host.ShowError(message);
}

void TTransmitter::AddRxDat(const std::string& line) {
    Trace.push_back(line);
    Host.AppendTraffic(line);
    while (Trace.size() > RxDatMaxLines) {
        Trace.pop_front();
    }
}

} // namespace klink
