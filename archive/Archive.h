// Every download kept in one SQLite file: loggers, downloads and their entries, merged without
// duplicates, and the history of a logger across downloads and clears.
#pragma once

#include "archive/ArchiveError.h"
#include "logdata/LogCsv.h"
#include "logdata/LogParse.h"
#include "protocol/LogRecord.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace archive {

class TDatabase;

// QUORVA_ARCHIVE when set, else $XDG_DATA_HOME/quorva/archive.sqlite3, else
// ~/.local/share/quorva/archive.sqlite3.
std::string DefaultArchivePath();

// How a logger is known: by its serial number; one without a serial number by its name.
struct TLoggerKey {
    std::string Serial; // "" when the logger has none
    std::string Name;
    bool operator==(const TLoggerKey&) const = default;
};
TLoggerKey KeyFor(const logdata::THeaderValues& header);

// One finished download as it goes into the archive.
struct TDownloadRecord {
    logdata::THeaderValues Header; // what the window showed when the log file was begun
    protocol::DateTime PcTime;     // when the download ended, local time
    int PcUtcOffsetMinutes = 0;
    std::string FileName;
    // Logged entries only: the count record (entry 0) and end markers are left out.
    std::vector<protocol::LogRecord> Entries;
};

TDownloadRecord
MakeDownloadRecord(const logdata::THeaderValues& header,
                   const std::vector<protocol::LogRecord>& records, const std::string& fileName,
                   const protocol::DateTime& pcNow,
                   const logdata::TUtcOffset& utcOffset = logdata::LocalUtcOffsetMinutes);

struct TAddResult {
    int64_t DownloadId = 0;
    std::size_t Added = 0;      // new to the archive
    std::size_t Duplicates = 0; // already there with the same readings
    std::size_t Conflicts = 0;  // already there for that time with other readings; kept too
};

struct TLoggerSummary {
    int64_t Id = 0;
    TLoggerKey Key;
    std::string SoftwareVersion;
    std::optional<int64_t> FirstMinutes, LastMinutes; // unset while no entry is archived
    std::size_t Entries = 0;
    std::size_t Downloads = 0;
    std::size_t Conflicts = 0;
};

// What the archive knows of a logger's latest download, for deciding whether a clear would
// lose entries.
struct TLastDownload {
    int64_t EntryCount = 0; // logged entries the download brought
    std::optional<int64_t> LastMinutes;
    std::optional<int> IntervalMinutes;
};

class TArchive {
public:
    // Opens the file, making it (and its folder) when create is set; throws EArchive.
    explicit TArchive(const std::string& path, bool create = true);
    ~TArchive();
    TArchive(const TArchive&) = delete;
    TArchive& operator=(const TArchive&) = delete;

    // One transaction: the whole download is in the archive, or nothing of it is.
    TAddResult AddDownload(const TDownloadRecord& download);

    std::vector<TLoggerSummary> Loggers() const;
    // By serial number, else by the name of a logger without one.
    std::optional<TLoggerSummary> FindLogger(const std::string& serialOrName) const;
    std::optional<TLastDownload> LastDownload(int64_t loggerId) const;
    // Every entry of the logger in time order under the header of its latest download; the
    // log count says how many entries the history holds.
    logdata::TParsedLog History(int64_t loggerId) const;

    const std::string& Path() const;

private:
    int64_t LoggerId(const TDownloadRecord& download);
    std::unique_ptr<TDatabase> Db;
};

// The one step both front ends take once a download has ended complete and its file is
// written: throws EArchive with a message for the user.
TAddResult ArchiveDownload(const std::string& path, const logdata::THeaderValues& header,
                           const std::vector<protocol::LogRecord>& records,
                           const std::string& fileName, const protocol::DateTime& pcNow);

} // namespace archive
