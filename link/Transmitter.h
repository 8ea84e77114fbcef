// TransmitString, the traffic trace, and the rule that only one question awaits its reply.
#pragma once

#include "link/LinkHost.h"
#include "link/LinkValues.h"
#include "protocol/Commands.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <string>

namespace klink {

// A 35-character reply takes 37 ms at 9600 baud; a logger that has not answered by then
// is not going to, and waiting longer only slows the poll.
inline constexpr int ReplyTimeoutMs = 200;
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
    bool Awaiting() const { return Open; }
    // Nothing is out and nothing waits: the poll and the download may send.
    bool Idle() const { return !Open && Queue.empty(); }

    // The open question has been answered.
    void ReplyAccepted();
    // The reply timer ran out: the partial reply is thrown away and AwaitedReply cleared.
    void TimeOut();

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

    TLinkHost& Host;
    TLinkValues& Vals;
    std::deque<TQueued> Queue;
    std::deque<std::string> Trace;
    bool Open = false;
    int HoldCount = 0;
    bool Broken = false;
};

} // namespace klink
