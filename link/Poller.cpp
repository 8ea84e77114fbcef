#include "link/Poller.h"

#include "protocol/Commands.h"

namespace klink {

TStatusLook StatusLook(int32_t linkState, int32_t logIndex, int32_t logCapacity) {
    switch (linkState) {
    case StateSearching:
        return {"  Trying To Find Kestro", Colour::Red, true, true};
    case StateReadingSettings:
        return {"  Reading Kestro Settings", Colour::Lime, true, true};
    case StateReady:
        return {"  Kestro Ready", Colour::Lime, false, false};
    case StateReadingLogs:
        if (logIndex < logCapacity) {
            return {"  Reading Kestro Log " + std::to_string(logIndex), Colour::Lime, true, true};
        }
        return {"  Reading Kestro Logs", Colour::Lime, true, true};
    case StateClearingLogs:
        return {"  Clearing Kestro Logs", Colour::Lime, true, true};
    default:
        return {};
    }
}

TPoller::TPoller(TLinkHost& host, TLinkValues& values, TTransmitter& transmitter,
                 const protocol::DateFormats& formats)
    : Host(host), Vals(values), Trans(transmitter), Formats(formats) {}

void TPoller::Tick250(bool downloading, bool pollRests) {
    ShowPcTime();
    RefreshStatus(downloading);
    if (Vals.PollDelay > 0) {
        --Vals.PollDelay;
        return;
    }
    // The download paces its own requests, and a question still out must be answered or
    // timed out before anything else goes on the line.
    if (pollRests) {
        return;
    }
    // A step that cannot go out while the line settles counts as unanswered, at the pace the
    // steps would have had, so a logger that has gone is noticed as soon as ever.
    if (Trans.SettlingAfterSilence()) {
        Watchdog();
        Vals.PollDelay = 1;
        return;
    }
    if (!Trans.Idle()) {
        return;
    }
    Watchdog();
    if (!Trans.PortUsable()) {
        return;
    }
    PollStepOut();
}

void TPoller::ShowPcTime() {
    const protocol::DateTime now = Host.PcNow();
    Host.SetText(Control::PcTime, protocol::DateTimeToStr(now, Formats));
    Vals.SenTime = protocol::PcMinutesText(now);
}

void TPoller::RefreshStatus(bool downloading) {
    const TStatusLook look = StatusLook(Vals.LinkState, Vals.LogIndex, Vals.LogCapacity);
    if (look.Text.empty()) {
        return;
    }
    if (Vals.LinkState == StateSearching) {
        Vals.PollStep = 0;
    }
    Host.SetText(Control::Status, look.Text);
    Host.DisableEntries(look.Busy);
    if (look.Blinks) {
        Shown = Shown == look.StateColour ? Colour::Window : look.StateColour;
    } else {
        Shown = look.StateColour;
    }
    Host.SetColour(Control::Status, Shown);
    // The abort must stay reachable, and a Save would re-target the file being written.
    Host.SetEnabled(Control::ReadLogsButton, downloading || !look.Busy);
    Host.SetEnabled(Control::SaveLogs, !downloading && !look.Busy);
    Host.SetEnabled(Control::SaveAsMenu, !downloading);
}

void TPoller::Watchdog() {
    if (Vals.ReplyCountdown > 0) {
        --Vals.ReplyCountdown;
        return;
    }
    Vals.LinkAlive = false;
    if (Vals.LinkState != StateClearingLogs) {
        Vals.LinkState = StateSearching;
    }
}

void TPoller::PollStepOut() {
    // While the logger erases, the clear's answer may come at any time: ask only what
    // sends nothing back to the logger however it is read, until the logger answers.
    if (Vals.LinkState == StateClearingLogs) {
        Trans.Submit(protocol::LogCountCommand());
        return;
    }
    const std::optional<protocol::Command> command = protocol::PollCommand(Vals.PollStep);
    if (!command) {
        Vals.PollStep = 0;
        return;
    }
    Trans.Submit(*command, [this, awaited = command->AwaitedReply] {
        // Only a question that went out can be answered.
        StepOut = Vals.AwaitedReply == awaited && Trans.Awaiting() ? Vals.PollStep : -1;
        ++Vals.PollStep;
        if (Vals.PollStep >= protocol::PollStepCount) {
            Vals.PollStep = 0;
            if (Vals.LinkState == StateReadingSettings) {
                Vals.LinkState = StateReady;
            }
        }
    });
}

bool TPoller::ReplyApplied() {
    const int32_t answered = StepOut;
    StepOut = -1;
    if (answered < 0) {
        return false;
    }
    const bool undisturbed = Trans.Disturbances() == DisturbancesSeen;
    DisturbancesSeen = Trans.Disturbances();
    // A disturbance just before step 0's answer may mean that answer was step 9's, late.
    StepsInRow = !undisturbed ? 0 : answered == StepsInRow ? StepsInRow + 1 : answered == 0 ? 1 : 0;
    if (StepsInRow != protocol::PollStepCount) {
        return false;
    }
    StepsInRow = 0;
    Host.PollCycleRead();
    return true;
}

void TPoller::ReplyHandled(bool downloading) {
    const bool found = Vals.LinkState == StateReadingSettings || Vals.LinkState == StateReady;
    if (Pacing != TRequestPacing::OnReply || downloading || !found || !Trans.Idle() ||
        !Trans.PortUsable()) {
        return;
    }
    Vals.PollDelay = 0;
    Watchdog();
    PollStepOut();
}

void TPoller::QuestionLost() {
    // The time-out itself counts as a disturbance, which breaks the run of steps.
    StepOut = -1;
}

void TPoller::RestartCycle() {
    // A step already out was asked before now: its answer counts for no cycle.
    StepOut = -1;
    Vals.PollStep = 0;
    StepsInRow = 0;
}

void TPoller::ReplyNotification() {
    Vals.LinkAlive = true;
    Vals.ReplyCountdown = 4;
    if (Vals.AwaitedReply == protocol::ReplyClearLogs ||
        Vals.AwaitedReply == protocol::ReplyLogRecord) {
        return;
    }
    if (Vals.LinkState == StateSearching) {
        Vals.LinkState = StateReadingSettings;
        Vals.PollStep = 0;
    } else if (Vals.LinkState == StateClearingLogs) {
        Vals.LinkState = StateReady;
        Vals.PollStep = 0;
    } else if (Vals.LinkState != StateReadingSettings) {
        Vals.LinkState = StateReady;
    }
}

} // namespace klink
