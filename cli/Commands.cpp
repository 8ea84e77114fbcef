#include "cli/Commands.h"

#include "cli/Download.h"
#include "cli/ExitCodes.h"
#include "cli/History.h"
#include "cli/Report.h"
#include "cli/Session.h"
#include "cli/SetRequest.h"

#include "cport/ComPortList.h"
#include "line/KestroLine.h"
#include "protocol/DateTime.h"

#include <cstdio>
#include <cstdlib>

namespace cli {

using klink::Control;

namespace {

// An erase takes seconds; a logger silent for this long is not coming back.
constexpr int EraseWaitMs = 120000;

int Info(TSession& session, const TOptions& options) {
    const TInfo info = GatherInfo(session.Host, session.Link.Values());
    // JSON is UTF-8 already; the text has the logger's bytes.
    if (!session.Print(options.Json ? InfoJson(info) : ForTerminal(InfoText(info))))
        return session.Stopped();
    return ExitDone;
}

void Apply(TSession& session, const TSettingChange& change) {
    TCliHost& host = session.Host;
    klink::TKestroLink& link = session.Link;
    // As the window does: the control takes the value, then its change handler sends it.
    switch (change.Kind) {
    case TSettingChange::TKind::Text:
        host.SetText(change.Target, change.Text);
        break;
    case TSettingChange::TKind::Item:
        host.SetItemIndex(change.Target, change.Item);
        break;
    case TSettingChange::TKind::Check:
        host.SetChecked(change.Target, change.Checked);
        break;
    }
    switch (change.Target) {
    case Control::KestroName:
        return link.KestroNameChange(change.Text);
    case Control::Zone1Text:
        return link.Zone1TextChange(change.Text);
    case Control::Zone2Text:
        return link.Zone2TextChange(change.Text);
    case Control::Zone3Text:
        return link.Zone3TextChange(change.Text);
    case Control::MaterialBox:
        return link.MaterialBoxChange(change.Item);
    case Control::ZonesBox:
        return link.ZonesBoxChange(change.Item);
    case Control::RefType:
        return link.RefTypeChange(change.Item);
    case Control::LogIntBox:
        return link.LogIntBoxChange(change.Item);
    case Control::CyclicLogCheckBox:
        return link.CyclicLogCheckBoxClick(change.Checked);
    default:
        return;
    }
}

std::string Shown(const TCliHost& host, const TSettingChange& change) {
    if (change.Kind == TSettingChange::TKind::Check)
        return host.Checked(change.Target) ? "on" : "off";
    return "\"" + host.Text(change.Target) + "\"";
}

int Set(TSession& session, const std::vector<TSettingChange>& changes) {
    for (const TSettingChange& change : changes)
        Apply(session, change);
    if (const int code = session.ReadBack())
        return code;
    int result = ExitDone;
    for (const TSettingChange& change : changes) {
        if (!ChangeTook(change, session.Host)) {
            session.Complain(change.Key + " did not take: the Kestro has " +
                             Shown(session.Host, change));
            result = ExitNotTaken;
        }
    }
    return result;
}

int SetTime(TSession& session) {
    const protocol::DateFormats formats;
    const int64_t sent = protocol::MinutesSinceEpoch(session.Host.PcNow());
    session.Link.SetDigTimeClick();
    if (const int code = session.ReadBack())
        return code;
    const std::string shown = session.Host.Text(Control::KestroTime);
    const auto clock = protocol::StrToDateTime(shown, formats);
    // The minutes sent are the last tick's, rounded to the nearest, and the read-back comes
    // seconds later: either may lie across a minute boundary.
    const int64_t now = protocol::MinutesSinceEpoch(session.Host.PcNow());
    if (!clock || protocol::MinutesSinceEpoch(*clock) < sent - 1 ||
        protocol::MinutesSinceEpoch(*clock) > now + 1) {
        session.Complain("the clock did not take: the Kestro reads \"" + shown + "\"");
        return ExitNotTaken;
    }
    if (!session.Print("Kestro time: " + ForTerminal(shown) + "\n"))
        return session.Stopped();
    return ExitDone;
}

int Clear(TSession& session, const TOptions& options) {
    TCliHost& host = session.Host;
    klink::TKestroLink& link = session.Link;
    if (int r = CheckClearAllowed(options, session.Link.HeaderValues()); r != ExitDone)
        return r;
    host.ClearAnswer = klink::mrYes;
    link.ClearKestroClick();
    // A command still out goes first; the clear follows it.
    session.RunUntil(
        [&] { return link.Values().LinkState == klink::StateClearingLogs || session.LinkQuiet(); },
        5000);
    if (link.Values().LinkState != klink::StateClearingLogs) {
        if (session.Stopping())
            return session.Stopped();
        session.Complain("the Kestro is not answering; nothing was cleared");
        return ExitNoLogger;
    }
    // The logger is silent while it erases; the first poll it answers ends the clearing and
    // brings the new log count.
    if (!session.RunUntil([&] { return host.ClearsFinished > 0 || session.LinkLost(); },
                          EraseWaitMs) ||
        session.LinkLost()) {
        if (session.Stopping())
            return session.Stopped();
        session.Complain("the Kestro did not answer again after the erase");
        return ExitStopped;
    }
    if (!session.Print("Log count: " + host.Text(Control::LogNumber) + "\n"))
        return session.Stopped();
    return ExitDone;
}

int Watch(TSession& session, const TOptions& options) {
    const auto printReadings = [&] {
        const TInfo info = GatherInfo(session.Host, session.Link.Values());
        session.Print(options.Json ? ReadingsJson(info) : ForTerminal(ReadingsText(info)));
    };
    printReadings();
    // A line a poll cycle, at the window's pace: the logger is on a battery.
    session.Link.SetPollPacing(klink::TRequestPacing::EveryTick);
    session.Host.OnReadings = printReadings;
    session.RunUntil([&] { return session.LinkLost(); }, -1);
    session.Host.OnReadings = nullptr;
    // Ended by a signal or a closed output, it says so, however many lines it printed.
    if (session.Stopping())
        return session.Stopped();
    session.Complain("the Kestro stopped answering on " + session.Host.Port());
    return ExitStopped;
}

int Ports(const TOptions& options) {
    if (options.Quiet)
        return ExitDone;
    kline::UseProgramNames();
    const auto ports = cport::ListComPorts();
    std::fputs((options.Json ? PortsJson(ports) : PortsText(ports)).c_str(), stdout);
    return ExitDone;
}

} // namespace

int RunCommand(const TOptions& options) {
    if (options.Command == "ports")
        return Ports(options);
    std::vector<TSettingChange> changes;
    if (options.Command == "set") {
        std::string error;
        const auto parsed = ParseSetRequest(options.Args, error);
        if (!parsed) {
            std::fprintf(stderr, "kestro: %s\n", error.c_str());
            return ExitUsage;
        }
        changes = *parsed;
    }
    if (options.Command == "clear" && !options.Yes) {
        std::fprintf(stderr, "kestro: clear erases the logger's whole log; say --yes to do it\n");
        return ExitUsage;
    }
    TDownloadOutputs outputs;
    if (std::string error; options.Command == "download" && !outputs.Prepare(options, error)) {
        std::fprintf(stderr, "kestro: %s\n", error.c_str());
        return ExitFile;
    }
    TSession session(options.Port, options.Quiet, options.WaitSeconds);
    // What info and watch print is the point of running them.
    session.WatchOutput(!options.Quiet &&
                        (options.Command == "info" || options.Command == "watch"));
    if (const int code = session.Connect())
        return code;
    if (options.Command == "info")
        return Info(session, options);
    if (options.Command == "download")
        return Download(session, options, outputs);
    if (options.Command == "set")
        return Set(session, changes);
    if (options.Command == "set-time")
        return SetTime(session);
    if (options.Command == "clear")
        return Clear(session, options);
    if (options.Command == "watch")
        return Watch(session, options);
    return ExitUsage;
}

} // namespace cli
