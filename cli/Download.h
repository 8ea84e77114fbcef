// kestro download: the log into the same file as the window's Get Logs.
#pragma once

#include "cli/AtomicFile.h"
#include "cli/CommandLine.h"
#include "cli/Session.h"

#include <QTemporaryFile>
#include <optional>
#include <string>

namespace cli {

// Where the log and the CSV go. A file is written beside its target and replaces it only once
// the download is complete; standard output gets the log as the link writes it into a
// temporary file, so that a reader that has seen enough ("| head") ends the download.
struct TDownloadOutputs {
    std::optional<TAtomicFile> Log, Csv;
    QTemporaryFile Buffer; // the log on its way to standard output
    bool LogToStdout = false, CsvToStdout = false;
    bool WantCsv = false;

    // Refuses what can be refused (a target that is a device or a pipe, a folder that cannot
    // be written) before the port is opened. False with the message in error.
    bool Prepare(const TOptions& options, std::string& error);
    // Where the link writes the log file.
    std::string LogPath() const;
    // What the link has added to the log since the last call, onto standard output.
    bool CopyNewToStdout();
    qint64 Copied = 0;
};

// The session has read one whole poll cycle, so the header holds fresh values.
int Download(TSession& session, const TOptions& options, TDownloadOutputs& outputs);

} // namespace cli
