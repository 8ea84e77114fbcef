#include "cli/History.h"

#include "archive/Archive.h"
#include "archive/HistoryFigures.h"
#include "cli/ExitCodes.h"

#include "logdata/LogCsv.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <cstdio>

namespace cli {

namespace {

void Complain(const std::string& message) {
    std::fprintf(stderr, "kestro: %s\n", message.c_str());
}

protocol::DateTime PcNow() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec()};
}

QString Json(const std::string& latin1) {
    return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size()));
}

std::string IsoOrNothing(const std::optional<int64_t>& minutes) {
    // Logger times carry no zone: the logger knows none.
    return minutes ? logdata::LoggerTimeText(*minutes).substr(0, 16) : std::string();
}

// The logger's one-byte texts for the terminal, and the terminal's words for the archive.
std::string ForTerminal(const std::string& latin1) {
    return Json(latin1).toLocal8Bit().toStdString();
}
std::string FromTerminal(const std::string& local) {
    return QString::fromLocal8Bit(local.c_str()).toLatin1().toStdString();
}

void PrintLoggers(const std::vector<archive::TLoggerSummary>& loggers, bool json) {
    if (json) {
        QJsonArray list;
        for (const auto& l : loggers)
            list.append(
                QJsonObject{{"serial", Json(l.Key.Serial)},
                            {"name", Json(l.Key.Name)},
                            {"first_entry", QString::fromStdString(IsoOrNothing(l.FirstMinutes))},
                            {"last_entry", QString::fromStdString(IsoOrNothing(l.LastMinutes))},
                            {"entries", static_cast<qint64>(l.Entries)},
                            {"downloads", static_cast<qint64>(l.Downloads)},
                            {"conflicts", static_cast<qint64>(l.Conflicts)}});
        std::fputs(QJsonDocument(list).toJson(QJsonDocument::Compact).append('\n').constData(),
                   stdout);
        return;
    }
    std::printf("%-12s %-16s %-16s %-16s %8s %9s\n", "SERIAL", "NAME", "FIRST", "LAST", "ENTRIES",
                "DOWNLOADS");
    for (const auto& l : loggers)
        std::printf("%-12s %-16s %-16s %-16s %8zu %9zu\n",
                    (l.Key.Serial.empty() ? "-" : ForTerminal(l.Key.Serial).c_str()),
                    ForTerminal(l.Key.Name).c_str(), IsoOrNothing(l.FirstMinutes).c_str(),
                    IsoOrNothing(l.LastMinutes).c_str(), l.Entries, l.Downloads);
}

std::string EntriesJson(const archive::TLoggerSummary& logger, const logdata::TParsedLog& log) {
    QJsonArray entries;
    for (const protocol::LogRecord& r : log.Entries) {
        QJsonArray values;
        for (int32_t v : r.Values)
            values.append(v);
        entries.append(
            QJsonObject{{"entry", r.Index},
                        {"logger_time",
                         QString::fromStdString(logdata::LoggerTimeText(r.Minutes).substr(0, 16))},
                        {"min_max_mv", values}});
    }
    const QJsonObject object{{"serial", Json(logger.Key.Serial)},
                             {"name", Json(logger.Key.Name)},
                             {"conflicts", static_cast<qint64>(logger.Conflicts)},
                             {"entries", entries}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact).append('\n').toStdString();
}

// Whole or nothing, as a download's CSV is written.
bool WriteWhole(const std::string& path, const std::string& text, std::string& why) {
    QSaveFile file(QString::fromLocal8Bit(path));
    const bool ok = file.open(QIODevice::WriteOnly) &&
                    file.write(text.data(), static_cast<qint64>(text.size())) ==
                        static_cast<qint64>(text.size()) &&
                    file.commit();
    why = file.errorString().toLocal8Bit().toStdString();
    return ok;
}

int LoggerHistory(const archive::TArchive& archive, const TOptions& options) {
    const auto logger = archive.FindLogger(FromTerminal(options.Serial));
    if (!logger) {
        Complain("no logger " + options.Serial + " in the archive " + archive.Path());
        return ExitNoLogger;
    }
    const logdata::TParsedLog log = archive.History(logger->Id);
    if (options.Json) {
        std::fputs(EntriesJson(*logger, log).c_str(), stdout);
        return ExitDone;
    }
    const std::string csv = logdata::LogCsvText(log);
    if (options.Csv.empty()) {
        std::fwrite(csv.data(), 1, csv.size(), stdout);
        return std::fflush(stdout) == 0 ? ExitDone : ExitFile;
    }
    std::string why;
    if (!WriteWhole(options.Csv, csv, why)) {
        Complain("cannot write " + options.Csv + ": " + why);
        return ExitFile;
    }
    return ExitDone;
}

} // namespace

std::string ArchivePath(const TOptions& options) {
    return options.Archive.empty() ? archive::DefaultArchivePath() : options.Archive;
}

int History(const TOptions& options) {
    try {
        const archive::TArchive archive(ArchivePath(options), false);
        if (!options.Serial.empty())
            return LoggerHistory(archive, options);
        PrintLoggers(archive.Loggers(), options.Json);
        return ExitDone;
    } catch (const archive::EArchive& e) {
        Complain(e.what());
        return ExitFile;
    }
}

int ArchiveDownload(const TOptions& options, const logdata::THeaderValues& header,
                    const klink::TDownloadOutcome& outcome) {
    if (options.NoArchive ||
        (outcome.End != klink::TDownloadEnd::Complete &&
         outcome.End != klink::TDownloadEnd::EndedShort) ||
        !outcome.Records)
        return ExitDone;
    try {
        const auto added = archive::ArchiveDownload(ArchivePath(options), header, *outcome.Records,
                                                    outcome.FileName, PcNow());
        if (added.Conflicts > 0 && !options.Quiet)
            Complain(std::to_string(added.Conflicts) +
                     " entries differ from the archived ones of the same time; both are kept");
        return ExitDone;
    } catch (const archive::EArchive& e) {
        Complain(std::string(e.what()) + " (the log file is written)");
        return ExitFile;
    }
}

int CheckClearAllowed(const TOptions& options, const logdata::THeaderValues& now) {
    if (options.Force || options.NoArchive)
        return ExitDone;
    try {
        const archive::TArchive archive(ArchivePath(options));
        const auto missing = archive::UnarchivedEntries(archive, now);
        if (!missing) {
            Complain("cannot tell how many entries the logger holds (log count \"" + now.LogCount +
                     "\"); not clearing without --force");
            return ExitNotArchived;
        }
        if (*missing > 0) {
            Complain("the logger holds " + std::to_string(*missing) +
                     " entries that are not in the archive " + archive.Path() +
                     "; download them first, or clear with --force");
            return ExitNotArchived;
        }
        return ExitDone;
    } catch (const archive::EArchive& e) {
        Complain(std::string(e.what()) + "; not clearing without --force");
        return ExitFile;
    }
}

} // namespace cli
