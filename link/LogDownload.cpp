#include "link/LogDownload.h"

#include "protocol/Commands.h"

#include <algorithm>

namespace klink {

std::string StoppedAnsweringText(int32_t logIndex) {
    return "The Kestro stopped answering at log " + std::to_string(logIndex) + ".";
}

std::string EndedShortText(std::size_t entries, int32_t logCount) {
    return "The log ended after " + std::to_string(entries) + " entries, but the Kestro held " +
           std::to_string(logCount) +
           " when Get Logs began: it may have restarted. The file holds the entries that came.";
}

TLogDownload::TLogDownload(TLinkHost& host, TLinkValues& values, TTransmitter& transmitter,
                           logdata::TLogDisplay& display, logdata::TLogFile& file,
                           const protocol::DateFormats& formats)
    : Host(host), Vals(values), Trans(transmitter), Display(display), File(file), Formats(formats) {
}

void TLogDownload::Start() {
    Host.SetCaption(Control::ReadLogsButton, AbortCaption);
    Host.SetEnabled(Control::ReadLogsButton, true);
    Host.SetEnabled(Control::SaveLogs, false);
    Host.SetEnabled(Control::SaveAsMenu, false);
    Vals.LogIndex = 0;
    EndReached = false;
    Received = false;
    Unanswered = 0;
    FileName = File.FileName();
    Written.clear();
    CountAtStart = Vals.LogCount;
    Display.Clear();
    Host.ClearLogDisplay();
    Vals.PollDelay = 0;
    Wait = 2;
    Phase = TPhase::Preparing;
}

void TLogDownload::Abort() {
    Vals.LogIndex = Vals.LogCapacity + 1;
    Finish(TDownloadEnd::Cancelled);
}

void TLogDownload::Finish(TDownloadEnd end) {
    if (!Running()) {
        return;
    }
    Stop();
    try {
        File.Close();
    } catch (const logdata::EInOutError& e) {
        Host.ShowError(e.what());
        end = TDownloadEnd::FileError;
    }
    Tell(end);
}

void TLogDownload::EndOfLog() {
    // Entry 0 holds the count, not a reading.
    const auto entries = static_cast<std::size_t>(std::count_if(
        Written.begin(), Written.end(), [](const auto& record) { return record.Index > 0; }));
    const int32_t expected = std::min(CountAtStart, Vals.LogCapacity);
    if (expected < 0 || entries >= static_cast<std::size_t>(expected)) {
        Finish(TDownloadEnd::Complete);
        return;
    }
    Finish(TDownloadEnd::EndedShort);
    Host.ShowMessage(EndedShortText(entries, CountAtStart));
}

void TLogDownload::Tell(TDownloadEnd end) {
    TDownloadOutcome outcome;
    outcome.End = end;
    outcome.FileName = FileName;
    outcome.Records = &Written;
    Host.DownloadEnded(outcome);
}

void TLogDownload::Stop() {
    Phase = TPhase::Idle;
    Host.SetCaption(Control::ReadLogsButton, GetLogsCaption);
    Host.SetEnabled(Control::SaveAsMenu, true);
}

void TLogDownload::Timer2Timer() {
    if (!Running()) {
        return;
    }
    if (Wait > 0) {
        --Wait;
    }
    // The answer to the request that is out decides what comes next, so wait for it (or its
    // time-out) past the end of the period.
    if (Wait > 0 || !Trans.Idle()) {
        return;
    }
    Step();
}

void TLogDownload::ReplyHandled() {
    if (Phase == TPhase::FirstEntry || Phase == TPhase::Looping) {
        if (Trans.Idle() && Host.MonotonicMs() - RequestedAtMs >= RequestPeriodMs) {
            Wait = 0;
            Step();
        }
    }
}

void TLogDownload::Step() {
    switch (Phase) {
    case TPhase::Preparing:
        SendRequest();
        Phase = TPhase::FirstEntry;
        break;
    case TPhase::FirstEntry:
        // Entry 0 is asked again until it is answered, and cannot end the download, even
        // when empty.
        if (!Received && !EndReached) {
            RequestAgain();
            break;
        }
        EndReached = false;
        Received = true;
        Unanswered = 0;
        Phase = TPhase::Looping;
        Pass();
        break;
    case TPhase::Looping:
        Pass();
        break;
    case TPhase::Idle:
        break;
    }
}

void TLogDownload::Pass() {
    if (EndReached || (Received && Vals.LogIndex >= Vals.LogCapacity)) {
        EndOfLog();
        return;
    }
    Vals.LinkState = StateReadingLogs;
    if (!Received) {
        RequestAgain();
        return;
    }
    ++Vals.LogIndex;
    Unanswered = 0;
    SendRequest();
}

void TLogDownload::RequestAgain() {
    if (++Unanswered >= SilentRequestLimit) {
        const int32_t silentAt = Vals.LogIndex;
        Finish(Trans.PortUsable() ? TDownloadEnd::LoggerSilent : TDownloadEnd::LineGone);
        Host.ShowMessage(StoppedAnsweringText(silentAt));
        return;
    }
    SendRequest();
}

void TLogDownload::SendRequest() {
    Received = false;
    Wait = 1;
    RequestedAtMs = Host.MonotonicMs();
    if (const auto command = protocol::LogRequestCommand(Vals.LogIndex)) {
        Trans.Submit(*command);
    }
}

void TLogDownload::RecordDecoded(const protocol::LogRecord& record) {
    if (record.IsEndOfLog()) {
        if (Phase == TPhase::Looping) {
            Vals.LogIndex = Vals.LogCapacity;
            EndOfLog();
        } else {
            EndReached = true;
        }
        return;
    }
    const std::string line = protocol::LogLine(record, Formats);
    if (Display.Show(record.Index, Vals.LogCapacity, line)) {
        Host.AppendLogLine(line);
    }
    if (!Running()) {
        return;
    }
    try {
        File.WriteLine(line);
    } catch (const logdata::EInOutError& e) {
        StopOnFileError(e.what());
        return;
    }
    Written.push_back(record);
    Received = true;
    // Runs inside the reply's handling: the request queues and goes out once the reply has
    // been taken.
    if (Pacing == TRequestPacing::OnReply && Requesting()) {
        Step();
    }
}

void TLogDownload::StopOnFileError(const std::string& message) {
    Stop();
    logdata::CloseQuietly(File);
    Host.ShowError(message);
    Tell(TDownloadEnd::FileError);
}

} // namespace klink
