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
    if (State != TState::Idle || HoldCount > 0 || !Queue.empty()) {
        Queue.push_back({command, std::move(afterSend)});
        return;
    }
    SendNow(command, afterSend);
}

void TTransmitter::SendNow(const protocol::Command& command, const TAfterSend& afterSend) {
    const bool sent = TransmitString(command.CommandText());
    Vals.AwaitedReply = command.AwaitedReply;
    if (sent) {
        State = TState::Open;
        SentAtMs = Host.MonotonicMs();
        LateAnswerDue = false;
        ActivitySeen = false;
        Host.StartReplyTimer(Times.TimeoutMs());
    }
    if (afterSend) {
        afterSend();
    }
}

void TTransmitter::SendNext() {
    // A dropped command opens no question, so the next one may follow at once.
    while (State == TState::Idle && HoldCount == 0 && !Queue.empty()) {
        TQueued next = std::move(Queue.front());
        Queue.pop_front();
        SendNow(next.Cmd, next.AfterSend);
    }
}

void TTransmitter::ReplyAccepted() {
    if (State == TState::Open) {
        State = TState::Idle;
        Host.StopReplyTimer();
        Times.Observe(SinceSentMs());
    }
    SendNext();
}

void TTransmitter::TimeOut() {
    if (State == TState::Settling) {
        // Quiet long enough: whatever half packet the extractor holds is from before.
        Host.PurgeInput();
        State = TState::Idle;
        SendNext();
        return;
    }
    if (State != TState::Open) {
        return;
    }
    Vals.AwaitedReply = protocol::ReplyNone;
    // A reply already arriving is cut off by the purge, but tells how long this logger takes.
    LateAnswerDue = !ActivitySeen;
    if (ActivitySeen) {
        Times.Observe(static_cast<int>(FirstActivityMs - SentAtMs) + ReplyWireMs + HandOverGapMs);
    }
    EverTimedOut = true;
    TimedOutAtMs = Host.MonotonicMs();
    StartQuiet(true);
}

void TTransmitter::SettleIfLateAnswerPossible() {
    if (State != TState::Open && EverTimedOut &&
        Host.MonotonicMs() - TimedOutAtMs < LateReplyGuardMs) {
        StartQuiet(false);
    }
}

void TTransmitter::StartQuiet(bool afterSilence) {
    if (State != TState::Settling) {
        AfterSilence = afterSilence;
    }
    State = TState::Settling;
    Host.PurgeInput();
    Host.StartReplyTimer(Times.QuietMs(Vals.LinkState != StateSearching));
}

void TTransmitter::LineActivity() {
    if (State == TState::Open && !ActivitySeen) {
        ActivitySeen = true;
        FirstActivityMs = Host.MonotonicMs();
    }
    if (State != TState::Settling) {
        return;
    }
    // The bytes' arrival marks a reply's start; it is whole a wire time later.
    ObserveLate(ReplyWireMs);
    StartQuiet(AfterSilence);
}

void TTransmitter::StrayReply() {
    ObserveLate(0);
}

void TTransmitter::ObserveLate(int extraMs) {
    if (LateAnswerDue) {
        LateAnswerDue = false;
        Times.Observe(SinceSentMs() + extraMs);
    }
}

int TTransmitter::SinceSentMs() const {
    const int64_t since = Host.MonotonicMs() - SentAtMs;
    return since < 0 ? 0 : since > LateReplyGuardMs ? LateReplyGuardMs : static_cast<int>(since);
}

void TTransmitter::Release() {
    if (HoldCount > 0) {
        --HoldCount;
    }
    SendNext();
}

void TTransmitter::Reset() {
    Queue.clear();
    if (State != TState::Idle) {
        State = TState::Idle;
        Host.StopReplyTimer();
    }
    LateAnswerDue = false;
    EverTimedOut = false;
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
