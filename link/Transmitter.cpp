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
    if (Open || HoldCount > 0 || !Queue.empty()) {
        Queue.push_back({command, std::move(afterSend)});
        return;
    }
    SendNow(command, afterSend);
}

void TTransmitter::SendNow(const protocol::Command& command, const TAfterSend& afterSend) {
    const bool sent = TransmitString(command.CommandText());
    Vals.AwaitedReply = command.AwaitedReply;
    if (sent) {
        Open = true;
        Host.StartReplyTimer(ReplyTimeoutMs);
    }
    if (afterSend) {
        afterSend();
    }
}

void TTransmitter::SendNext() {
    // A dropped command opens no question, so the next one may follow at once.
    while (!Open && HoldCount == 0 && !Queue.empty()) {
        TQueued next = std::move(Queue.front());
        Queue.pop_front();
        SendNow(next.Cmd, next.AfterSend);
    }
}

void TTransmitter::ReplyAccepted() {
    if (Open) {
        Open = false;
        Host.StopReplyTimer();
    }
    SendNext();
}

void TTransmitter::TimeOut() {
    if (!Open) {
        return;
    }
    Open = false;
    Host.PurgeInput();
    Vals.AwaitedReply = protocol::ReplyNone;
    SendNext();
}

void TTransmitter::Release() {
    if (HoldCount > 0) {
        --HoldCount;
    }
    SendNext();
}

void TTransmitter::Reset() {
    Queue.clear();
    if (Open) {
        Open = false;
        Host.StopReplyTimer();
    }
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
