// kestro and the archive: the history command, and the two steps download and clear take
// with the archive (called from there, each returns kestro's exit status).
#pragma once

#include "cli/CommandLine.h"
#include "link/LinkHost.h"
#include "logdata/LogHeader.h"

#include <string>

namespace cli {

// --archive, else the default archive ($QUORVA_ARCHIVE, $XDG_DATA_HOME, ~/.local/share).
std::string ArchivePath(const TOptions& options);

// kestro history [--serial S [--csv FILE|--json]].
int History(const TOptions& options);

// After a download's log file is written: a complete download goes into the archive. ExitDone,
// or ExitFile with the message printed (the log file stays as written). Nothing happens with
// --no-archive or for a download that did not complete. header is what the log file's header
// was written from.
int ArchiveDownload(const TOptions& options, const logdata::THeaderValues& header,
                    const klink::TDownloadOutcome& outcome);

// Before clear erases the log memory, with the values of a fresh poll cycle: ExitDone when the
// archive holds every entry the logger does (see archive::UnarchivedEntries for how that is
// judged), with --force or with --no-archive; otherwise ExitNotArchived saying how many
// entries would be lost, or ExitFile when the archive cannot be read.
int CheckClearAllowed(const TOptions& options, const logdata::THeaderValues& now);

} // namespace cli
