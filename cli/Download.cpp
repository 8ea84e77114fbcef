#include "cli/Download.h"

#include "cli/ExitCodes.h"
#include "cli/Report.h"

#include "logdata/LogCsv.h"
#include "logdata/LogParse.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace cli {

namespace {

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

// The log went to a temporary file; standard output gets it whole, also after a failure.
bool CopyToStdout(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    return std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout) ==
               static_cast<size_t>(bytes.size()) &&
           std::fflush(stdout) == 0;
}

// A CSV file that cannot be written is found out before the download, not after it.
bool CsvWritable(const std::string& path, QString& why) {
    QSaveFile file(QString::fromLocal8Bit(path));
    const bool ok = file.open(QIODevice::WriteOnly);
    why = file.errorString();
    file.cancelWriting();
    return ok;
}

// The CSV is made from the log file as written, so the two always agree.
bool WriteCsv(const QString& logPath, const std::string& csvPath, QString& why) {
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly)) {
        why = log.errorString();
        return false;
    }
    const QByteArray text = log.readAll();
    const logdata::TParsedLog parsed =
        logdata::ParseLogText(std::string_view(text.constData(), static_cast<size_t>(text.size())));
    const std::string csv = logdata::LogCsvText(parsed);
    QSaveFile file(QString::fromLocal8Bit(csvPath));
    const bool ok = file.open(QIODevice::WriteOnly) &&
                    file.write(csv.data(), static_cast<qint64>(csv.size())) ==
                        static_cast<qint64>(csv.size()) &&
                    file.commit();
    why = file.errorString();
    return ok;
}

} // namespace

int Download(TSession& session, const TOptions& options) {
    TCliHost& host = session.Host;
    klink::TKestroLink& link = session.Link;
    QTemporaryFile buffer;
    if (options.Output.empty()) {
        if (!buffer.open()) {
            session.Complain("cannot make a temporary file for the log");
            return ExitFile;
        }
        buffer.close();
        host.SaveName = buffer.fileName().toLocal8Bit().toStdString();
    } else {
        host.SaveName = options.Output;
    }
    QString why;
    if (!options.Csv.empty() && !CsvWritable(options.Csv, why)) {
        session.Complain("cannot write " + options.Csv + ": " + why.toLocal8Bit().toStdString());
        return ExitFile;
    }
    link.SetDownloadPacing(options.Fast ? klink::TRequestPacing::OnReply
                                        : klink::TRequestPacing::EveryTick);
    host.Downloaded.reset();
    link.ReadAllLogsClick();
    // The header could not be written; its error has been printed.
    if (!link.Downloading())
        return ExitFile;
    session.StartDownloadTick();
    {
        TProgress progress(session, !session.Quiet && isatty(STDERR_FILENO));
        session.RunUntil([&] { return host.Downloaded.has_value(); }, -1);
        if (!host.Downloaded && TSession::Interrupted())
            link.ReadAllLogsClick(); // the abort: the file keeps what came
    }
    session.StopDownloadTick();
    int result = ExitDone;
    switch (host.Downloaded ? host.Downloaded->End : klink::TDownloadEnd::Cancelled) {
    case klink::TDownloadEnd::Complete:
        break;
    case klink::TDownloadEnd::EndedShort:
    case klink::TDownloadEnd::LoggerSilent:
    case klink::TDownloadEnd::LineGone:
        result = ExitStopped;
        break;
    case klink::TDownloadEnd::FileError:
        result = ExitFile;
        break;
    case klink::TDownloadEnd::Cancelled:
        session.Complain("interrupted");
        result = ExitInterrupted;
        break;
    }
    // Whatever came is kept, also as CSV when the download stopped early.
    const QString logPath = QString::fromLocal8Bit(*host.SaveName);
    if (!options.Csv.empty() && !WriteCsv(logPath, options.Csv, why)) {
        session.Complain("cannot write " + options.Csv + ": " + why.toLocal8Bit().toStdString());
        if (result == ExitDone)
            result = ExitFile;
    }
    if (options.Output.empty() && !CopyToStdout(buffer.fileName())) {
        session.Complain("cannot write the log to standard output");
        return result == ExitDone ? ExitFile : result;
    }
    return result;
}

} // namespace cli
