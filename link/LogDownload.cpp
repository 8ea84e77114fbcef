#include "link/LogDownload.h"

#include "logdata/LogSave.h"
#include "protocol/Commands.h"

#include <algorithm>
#include <iterator>

namespace klink {

namespace {

// An entry is known by its time stamp and readings; its number moves with the log.
bool SameEntry(const protocol::LogRecord& a, const protocol::LogRecord& b) {
    return a.Minutes == b.Minutes && a.Values == b.Values;
}

bool EarlierThan(const protocol::LogRecord& a, const protocol::LogRecord& b) {
    return a.Minutes < b.Minutes;
}

// More than this many would make a message box no one reads.
constexpr std::size_t LostNamedAtMost = 10;

} // namespace

std::string StoppedAnsweringText(int32_t logIndex) {
    return "The Kestro stopped answering at log " + std::to_string(logIndex) + ".";
}

std::string EndedShortText(std::size_t entries, int32_t logCount) {
    return "The log ended after " + std::to_string(entries) + " entries, but the Kestro held " +
           std::to_string(logCount) +
           " when Get Logs began: it may have restarted. The file holds the entries that came.";
}

std::string EntriesLostText(const std::vector<protocol::LogRecord>& lost,
                            const protocol::DateFormats& formats) {
    std::string text = "The Kestro logged while Get Logs read its full log, so its entries moved "
                       "on during the download";
    if (lost.empty()) {
        return text + " and some may be missing from the download; which ones cannot be told. "
                      "The file holds the entries that came.";
    }
    text += ". " + std::to_string(lost.size()) + (lost.size() == 1 ? " entry is" : " entries are") +
            " missing from the download: ";
    for (std::size_t i = 0; i < lost.size() && i < LostNamedAtMost; ++i) {
        text += (i > 0 ? ", " : "") + protocol::DateTimeToStr(lost[i].TimeStamp(), formats);
    }
    if (lost.size() > LostNamedAtMost) {
        text += " and " + std::to_string(lost.size() - LostNamedAtMost) + " more";
    }
    return text + ".";
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
    if (Requesting()) {
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
    case TPhase::Checking:
        if (!Received) {
            RequestAgain();
            break;
        }
        Unanswered = 0;
        Check();
        break;
    case TPhase::Idle:
        break;
    }
}

void TLogDownload::Pass() {
    if (EndReached || (Received && Vals.LogIndex >= Vals.LogCapacity)) {
        // Every slot held an entry: the log is full, and a cyclic one may have moved on.
        if (!EndReached && Vals.LogIndex == Vals.LogCapacity && !Written.empty() &&
            Written.back().Index == Vals.LogCapacity && !EvenlySpaced()) {
            StartCheck();
            return;
        }
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
    if (Phase == TPhase::Checking) {
        if (record.IsEndOfLog()) {
            // The full log has lost entries since: it was cleared, or the logger restarted.
            EndChecked(false);
            return;
        }
        Probed[Vals.LogIndex] = record;
        Received = true;
        if (Pacing == TRequestPacing::OnReply) {
            Step();
        }
        return;
    }
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

// An entry passed over leaves a step of two or more of the log's steps between the entries
// either side of it. Where every step is the same none can have been, and a download of an
// evenly logged full log asks for nothing more.
bool TLogDownload::EvenlySpaced() const {
    std::vector<int64_t> minutes;
    for (const protocol::LogRecord& record : Written) {
        if (record.Index > 0) {
            minutes.push_back(record.Minutes);
        }
    }
    if (minutes.size() < 3) {
        return false;
    }
    const int64_t step = minutes[1] - minutes[0];
    return std::adjacent_find(minutes.begin(), minutes.end(), [step](int64_t a, int64_t b) {
               return b - a != step;
           }) == minutes.end();
}

void TLogDownload::StartCheck() {
    Phase = TPhase::Checking;
    CheckStage = TCheck::FirstSlot;
    Round = 0;
    Recovered = 0;
    Probed.clear();
    Ranges.clear();
    Timeline.clear();
    std::copy_if(Written.begin(), Written.end(), std::back_inserter(Timeline),
                 [](const auto& record) { return record.Index > 0; });
    Probe(1);
}

void TLogDownload::Probe(int32_t slot) {
    Vals.LogIndex = slot;
    Unanswered = 0;
    SendRequest();
}

bool TLogDownload::TimeOrdered() const {
    return std::adjacent_find(Timeline.begin(), Timeline.end(), [](const auto& a, const auto& b) {
               return a.Minutes >= b.Minutes;
           }) == Timeline.end();
}

std::size_t TLogDownload::HeldBetween(int64_t firstMinutes, int64_t lastMinutes) const {
    protocol::LogRecord first, last;
    first.Minutes = firstMinutes;
    last.Minutes = lastMinutes;
    return static_cast<std::size_t>(
        std::upper_bound(Timeline.begin(), Timeline.end(), last, EarlierThan) -
        std::lower_bound(Timeline.begin(), Timeline.end(), first, EarlierThan));
}

bool TLogDownload::Held(const protocol::LogRecord& record) const {
    const auto at = std::lower_bound(Timeline.begin(), Timeline.end(), record, EarlierThan);
    return at != Timeline.end() && SameEntry(*at, record);
}

void TLogDownload::Recover(const protocol::LogRecord& record) {
    if (!Held(record)) {
        Timeline.insert(std::upper_bound(Timeline.begin(), Timeline.end(), record, EarlierThan),
                        record);
        ++Recovered;
    }
}

// The log holds its entries in time order, and a cyclic one that moves on drops its oldest and
// numbers the rest one lower. So slots a to b hold b - a + 1 consecutive entries, and when as
// many of the file's entries lie between the time stamps of slots a and b, none was passed
// over there; otherwise the range is halved. An entry passed over costs about two requests
// per halving; a log that did not move costs the one request for slot 1.
void TLogDownload::Check() {
    switch (CheckStage) {
    case TCheck::FirstSlot: {
        FirstOfRound = Probed.at(1);
        if (Round == 0 && !Timeline.empty() && SameEntry(FirstOfRound, Timeline.front())) {
            Phase = TPhase::Looping;
            Vals.LogIndex = Vals.LogCapacity;
            EndOfLog();
            return;
        }
        if (!TimeOrdered()) {
            EndChecked(false);
            return;
        }
        Ranges = {{1, Vals.LogCapacity}};
        CheckStage = TCheck::Search;
        [[fallthrough]];
    }
    case TCheck::Search:
        while (!Ranges.empty()) {
            const auto [a, b] = Ranges.back();
            for (const int32_t slot : {a, b}) {
                if (!Probed.count(slot)) {
                    Probe(slot);
                    return;
                }
            }
            Ranges.pop_back();
            const protocol::LogRecord& first = Probed.at(a);
            const protocol::LogRecord& last = Probed.at(b);
            const auto slots = static_cast<std::size_t>(b - a + 1);
            const std::size_t held = HeldBetween(first.Minutes, last.Minutes);
            if ((b > a && first.Minutes >= last.Minutes) || held > slots) {
                // Not one run of consecutive entries: the clock was set back, or the log
                // was replaced while it was read.
                EndChecked(false);
                return;
            }
            if (held < slots && b - a > 1) {
                const int32_t middle = a + (b - a) / 2;
                Ranges.emplace_back(middle, b);
                Ranges.emplace_back(a, middle);
            }
        }
        for (const auto& [slot, record] : Probed) {
            Recover(record);
        }
        // Slot 1 once more: a log that moved on during the search may have moved an entry
        // past it, and is searched again.
        Probed.clear();
        CheckStage = TCheck::Recheck;
        Probe(1);
        return;
    case TCheck::Recheck:
        if (!SameEntry(Probed.at(1), FirstOfRound)) {
            if (++Round >= MovedSearchRounds || !TimeOrdered()) {
                EndChecked(false);
                return;
            }
            CheckStage = TCheck::FirstSlot;
            Check();
            return;
        }
        EndChecked(true);
        return;
    }
}

void TLogDownload::EndChecked(bool certain) {
    Stop();
    try {
        File.Close();
    } catch (const logdata::EInOutError& e) {
        Host.ShowError(e.what());
        Tell(TDownloadEnd::FileError);
        return;
    }
    if (certain && Recovered == 0) {
        Tell(TDownloadEnd::Complete);
        return;
    }
    // The entries read again, in place: numbered in time order from 1, as the log was
    // numbered when the download began.
    std::vector<protocol::LogRecord> records;
    std::copy_if(Written.begin(), Written.end(), std::back_inserter(records),
                 [](const auto& record) { return record.Index == 0; });
    int32_t number = 0;
    for (protocol::LogRecord record : Timeline) {
        record.Index = ++number;
        records.push_back(record);
    }
    std::string error;
    if (certain && Host.LogFileRewritable() && RewriteFile(records, error)) {
        Written = std::move(records);
        Display.Clear();
        Host.ClearLogDisplay();
        for (const protocol::LogRecord& record : Written) {
            const std::string line = protocol::LogLine(record, Formats);
            if (Display.Show(record.Index, Vals.LogCapacity, line)) {
                Host.AppendLogLine(line);
            }
        }
        TDownloadOutcome outcome;
        outcome.End = TDownloadEnd::Complete;
        outcome.FileName = FileName;
        outcome.Records = &Written;
        outcome.EntriesPutInPlace = Recovered;
        Host.DownloadEnded(outcome);
        return;
    }
    // What the file lacks: the entries found only by reading again.
    std::vector<protocol::LogRecord> lost;
    if (certain) {
        for (const protocol::LogRecord& record : Timeline) {
            if (std::none_of(Written.begin(), Written.end(),
                             [&](const auto& w) { return w.Index > 0 && SameEntry(w, record); })) {
                lost.push_back(record);
            }
        }
    }
    Tell(TDownloadEnd::EntriesLost);
    Host.ShowMessage(EntriesLostText(lost, Formats) + (error.empty() ? "" : " " + error));
}

bool TLogDownload::RewriteFile(const std::vector<protocol::LogRecord>& records,
                               std::string& error) {
    std::vector<std::string> before, after;
    for (const protocol::LogRecord& record : Written) {
        before.push_back(protocol::LogLine(record, Formats));
    }
    for (const protocol::LogRecord& record : records) {
        after.push_back(protocol::LogLine(record, Formats));
    }
    return logdata::ReplaceLogEntries(FileName, before, after, error);
}

void TLogDownload::StopOnFileError(const std::string& message) {
    Stop();
    logdata::CloseQuietly(File);
    Host.ShowError(message);
    Tell(TDownloadEnd::FileError);
}

} // namespace klink
