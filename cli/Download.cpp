#include "cli/Download.h"

#include "cli/AtomicFile.h"
#include "cli/ExitCodes.h"
#include "cli/History.h"
#include "cli/Report.h"

#include "logdata/LogCsv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <unistd.h>

namespace cli {

namespace {

constexpr const char* StandardOutputName = "(standard output)";

// The progress line, redrawn in place on standard error while it is a terminal.
class TProgress {
public:
    TProgress(const TSession& session, bool show) : Session(session) {
        if (!show)
            return;
        Clock.start();
        QObject::connect(&Timer, &QTimer::timeout, [this] { Draw(); });
        Timer.start(250);
    }
    ~TProgress() {
        if (Timer.isActive())
            std::fputs("\r\033[K", stderr);
    }

private:
    void Draw() {
        const klink::TLinkValues& v = Session.Link.Values();
        const int logCount = std::atoi(Session.Host.Text(klink::Control::LogNumber).c_str());
        const int count = logCount > 0 ? std::min(logCount, v.LogCapacity) : v.LogCapacity;
        const std::string text = ProgressText(v.LogIndex, count, Clock.elapsed() / 1000.0);
        std::fprintf(stderr, "\r\033[K%s", text.c_str());
        std::fflush(stderr);
    }

    const TSession& Session;
    QElapsedTimer Clock;
    QTimer Timer;
};

// The log's entries, 1 to the count read when it began (at most the memory's capacity), each
// in the file once; -1 when the header has no count.
int ExpectedEntries(const logdata::THeaderValues& header, int capacity) {
    char* end = nullptr;
    const long count = std::strtol(header.LogCount.c_str(), &end, 10);
    if (end == header.LogCount.c_str() || count < 0)
        return -1;
    return static_cast<int>(std::min<long>(count, capacity));
}

int EntriesRead(const std::vector<protocol::LogRecord>& records, int expected) {
    std::set<int32_t> indexes;
    for (const protocol::LogRecord& r : records)
        if (r.Index > 0 && (expected < 0 || r.Index <= expected))
            indexes.insert(r.Index);
    return static_cast<int>(indexes.size());
}

// The exit status for how the download ended; the link has said why already.
int EndStatus(klink::TDownloadEnd end) {
    switch (end) {
    case klink::TDownloadEnd::Complete:
        return ExitDone;
    case klink::TDownloadEnd::EndedShort:
    case klink::TDownloadEnd::EntriesLost:
    case klink::TDownloadEnd::LoggerSilent:
    case klink::TDownloadEnd::LineGone:
        return ExitStopped;
    case klink::TDownloadEnd::FileError:
        return ExitFile;
    case klink::TDownloadEnd::Cancelled:
        break;
    }
    return ExitInterrupted;
}

bool WriteStdout(const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
           std::fflush(stdout) == 0;
}

// Runs the download to its end, whatever ends it; the file is closed when this returns.
void RunDownload(TSession& session, TDownloadOutputs& outputs) {
    TCliHost& host = session.Host;
    klink::TKestroLink& link = session.Link;
    session.StartDownloadTick();
    QTimer stream;
    if (outputs.LogToStdout) {
        QObject::connect(&stream, &QTimer::timeout, [&] {
            if (!session.OutputLost() && !outputs.CopyNewToStdout())
                session.LoseOutput();
        });
        stream.start(250);
    }
    {
        TProgress progress(session, !session.Quiet && isatty(STDERR_FILENO));
        session.RunUntil([&] { return host.Downloaded.has_value(); }, -1);
        if (!host.Downloaded)
            link.ReadAllLogsClick(); // the abort: the file keeps what came
    }
    session.StopDownloadTick();
}

} // namespace

bool TDownloadOutputs::Prepare(const TOptions& options, std::string& error) {
    LogToStdout = options.Output.empty() || options.Output == StandardOutput;
    WantCsv = !options.Csv.empty();
    CsvToStdout = options.Csv == StandardOutput;
    if (LogToStdout) {
        if (!Buffer.open()) {
            error = "cannot make a temporary file for the log";
            return false;
        }
        Buffer.close();
    } else if (!(Log = TAtomicFile::Prepare(options.Output, error))) {
        return false;
    }
    if (WantCsv && !CsvToStdout && !(Csv = TAtomicFile::Prepare(options.Csv, error)))
        return false;
    return true;
}

std::string TDownloadOutputs::LogPath() const {
    return LogToStdout ? Buffer.fileName().toLocal8Bit().toStdString() : Log->TempPath();
}

bool TDownloadOutputs::CopyNewToStdout() {
    QFile file(Buffer.fileName());
    if (!file.open(QIODevice::ReadOnly) || !file.seek(Copied))
        return false;
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return true;
    const std::size_t size = static_cast<std::size_t>(bytes.size());
    if (std::fwrite(bytes.constData(), 1, size, stdout) != size || std::fflush(stdout) != 0)
        return false;
    Copied += bytes.size();
    return true;
}

int Download(TSession& session, const TOptions& options, TDownloadOutputs& outputs) {
    TCliHost& host = session.Host;
    klink::TKestroLink& link = session.Link;
    std::string error;
    session.WatchOutput(outputs.LogToStdout || outputs.CsvToStdout);
    host.SaveName = outputs.LogPath();
    host.StreamedLog = outputs.LogToStdout;
    link.SetDownloadPacing(options.Fast ? klink::TRequestPacing::OnReply
                                        : klink::TRequestPacing::EveryTick);
    host.Downloaded.reset();
    // What the file's header is written from, as the link writes it.
    const logdata::THeaderValues header = link.HeaderValues();
    link.ReadAllLogsClick();
    // The header could not be written; its error has been printed.
    if (!link.Downloading())
        return ExitFile;
    RunDownload(session, outputs);
    const klink::TDownloadEnd end = host.Downloaded->End;
    const std::vector<protocol::LogRecord>& records = link.DownloadedRecords();
    const int expected = ExpectedEntries(header, link.Values().LogCapacity);
    const int read = EntriesRead(records, expected);
    int result = EndStatus(end);
    if (session.Stopping())
        result = session.StopCode();
    else if (result == ExitDone && expected >= 0 && read < expected) {
        session.Complain("the log ended after " + std::to_string(read) + " of " +
                         std::to_string(expected) + " entries");
        result = ExitStopped;
    }
    const std::string csv = outputs.WantCsv ? logdata::LogCsvText(header, records) : std::string();
    if (outputs.Csv && !outputs.Csv->Write(csv, error)) {
        session.ComplainLocal(error);
        result = result == ExitDone ? ExitFile : result;
    }
    klink::TDownloadOutcome outcome = *host.Downloaded;
    outcome.Records = &records;
    outcome.FileName = StandardOutputName;
    if (result == ExitDone) {
        // Both files are complete before either replaces its earlier one.
        for (std::optional<TAtomicFile>* file : {&outputs.Log, &outputs.Csv}) {
            if (*file && result == ExitDone && !(*file)->Commit(error)) {
                session.ComplainLocal(error);
                result = ExitFile;
            }
        }
        if (outputs.Log)
            outcome.FileName = outputs.Log->Target();
    }
    if (result != ExitDone) {
        // The earlier files stay as they were; what was read is kept beside them.
        std::string kept;
        for (std::optional<TAtomicFile>* file : {&outputs.Log, &outputs.Csv}) {
            if (!*file || (*file)->TempPath().empty())
                continue;
            if ((*file)->KeepAsPart(error))
                kept += (kept.empty() ? "" : " and ") + (*file)->PartName();
            else
                session.ComplainLocal(error);
        }
        if (outputs.Log && !kept.empty())
            outcome.FileName = outputs.Log->PartName();
        const std::string why = session.Stopping() ? session.StopReason() : "incomplete";
        // A log that moved on may number as many entries as it held and still lack one.
        const bool moved = end == klink::TDownloadEnd::EntriesLost;
        const std::string of = moved
                                   ? " entries, not every one the logger held"
                                   : " of " + std::to_string(std::max(expected, read)) + " entries";
        const std::string in = moved ? ", in " : read == 1 ? " is in " : " are in ";
        session.ComplainLocal(why + ": " + std::to_string(read) + of +
                              (kept.empty() ? "" : in + kept));
    }
    // Standard output, unless it is gone, gets what was read, complete or not.
    if (!session.OutputLost()) {
        const bool written = outputs.LogToStdout ? outputs.CopyNewToStdout()
                                                 : !outputs.CsvToStdout || WriteStdout(csv);
        if (!written) {
            session.LoseOutput();
            session.ComplainLocal(session.StopReason());
            result = result == ExitDone ? ExitFile : result;
        }
    }
    if (int a = ArchiveDownload(options, header, outcome); result == ExitDone)
        result = a;
    return result;
}

} // namespace cli
