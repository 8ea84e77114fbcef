#include "archive/Archive.h"

#include "archive/Schema.h"
#include "archive/Sqlite.h"
#include "archive/TextBytes.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace archive {

namespace {

// Long enough for the other program's whole download transaction to finish.
constexpr int BusyTimeoutMs = 30000;

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    std::string out = text.substr(first, text.find_last_not_of(" \t\r\n") + 1 - first);
    while (!out.empty() && out.back() == '\0')
        out.pop_back();
    return out;
}

std::string EnvOr(const char* name, const std::string& otherwise) {
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) : otherwise;
}

std::string IsoPcTime(const protocol::DateTime& t, int offset) {
    const int magnitude = offset < 0 ? -offset : offset;
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", t.Year, t.Month,
                  t.Day, t.Hour, t.Minute, t.Second, offset < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}

// How far the logger's clock was ahead of the PC's, from the two times the header shows.
std::optional<int64_t> ClockOffset(const logdata::THeaderValues& h, const protocol::DateTime& pc) {
    const auto logger = protocol::StrToDateTime(Trimmed(h.KestroTime), {});
    if (!logger)
        return std::nullopt;
    const auto header = protocol::StrToDateTime(Trimmed(h.PcTime), {});
    return protocol::MinutesSinceEpoch(*logger) - protocol::MinutesSinceEpoch(header.value_or(pc));
}

void MakeFolderFor(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code error;
    if (!folder.empty())
        std::filesystem::create_directories(folder, error);
    if (error)
        throw EArchive("Cannot make the folder " + folder.string() +
                       " for the archive: " + error.message());
}

TLoggerSummary SummaryFrom(const TStatement& row) {
    TLoggerSummary s;
    s.Id = row.Int(0);
    s.Key.Serial = row.IsNull(1) ? std::string() : FromUtf8(row.Text(1));
    s.Key.Name = FromUtf8(row.Text(2));
    s.SoftwareVersion = FromUtf8(row.Text(3));
    if (!row.IsNull(4)) {
        s.FirstMinutes = row.Int(4);
        s.LastMinutes = row.Int(5);
    }
    s.Entries = static_cast<std::size_t>(row.Int(6));
    s.Conflicts = static_cast<std::size_t>(row.Int(7));
    s.Downloads = static_cast<std::size_t>(row.Int(8));
    return s;
}

// First and last come from the key's order, the counts from the downloads that brought the
// entries: no scan over all entries.
constexpr const char* SummaryQuery =
    "SELECT l.id, l.serial, l.name, l.software_version, "
    "(SELECT min(minutes) FROM entry e WHERE e.logger_id = l.id), "
    "(SELECT max(minutes) FROM entry e WHERE e.logger_id = l.id), "
    "coalesce(d.entries, 0), coalesce(d.conflicts, 0), coalesce(d.downloads, 0) "
    "FROM logger l LEFT JOIN (SELECT logger_id, sum(added + conflicts) AS entries, "
    "sum(conflicts) AS conflicts, count(*) AS downloads FROM download GROUP BY logger_id) d "
    "ON d.logger_id = l.id ";

} // namespace

std::string DefaultArchivePath() {
    const std::string home = EnvOr("HOME", ".");
    const std::string data = EnvOr("XDG_DATA_HOME", home + "/.local/share");
    return EnvOr("QUORVA_ARCHIVE", data + "/quorva/archive.sqlite3");
}

TLoggerKey KeyFor(const logdata::THeaderValues& header) {
    TLoggerKey key{Trimmed(header.SerialNo), Trimmed(header.KestroName)};
    // The window shows "?" for a serial number it has not read.
    if (key.Serial == "?")
        key.Serial.clear();
    return key;
}

TDownloadRecord MakeDownloadRecord(const logdata::THeaderValues& header,
                                   const std::vector<protocol::LogRecord>& records,
                                   const std::string& fileName, const protocol::DateTime& pcNow,
                                   const logdata::TUtcOffset& utcOffset) {
    TDownloadRecord d;
    d.Header = header;
    d.PcTime = pcNow;
    d.PcUtcOffsetMinutes = utcOffset(pcNow);
    d.FileName = fileName;
    for (const protocol::LogRecord& r : records)
        if (r.Index != 0 && !r.IsEndOfLog())
            d.Entries.push_back(r);
    return d;
}

TArchive::TArchive(const std::string& path, bool create) {
    if (create)
        MakeFolderFor(path);
    else if (!std::filesystem::exists(path))
        throw EArchive("No archive at " + path + " yet: nothing has been downloaded into it");
    Db = std::make_unique<TDatabase>(path, create, BusyTimeoutMs);
    PrepareSchema(*Db);
}

TArchive::~TArchive() = default;

const std::string& TArchive::Path() const {
    return Db->Path();
}

int64_t TArchive::LoggerId(const TDownloadRecord& download) {
    const TLoggerKey key = KeyFor(download.Header);
    const std::string name = ToUtf8(key.Name);
    const std::string version = ToUtf8(Trimmed(download.Header.SoftwareVersion));
    TStatement find(*Db, key.Serial.empty()
                             ? "SELECT id FROM logger WHERE serial IS NULL AND name = ?1"
                             : "SELECT id FROM logger WHERE serial = ?1");
    find.Bind(1, key.Serial.empty() ? name : ToUtf8(key.Serial));
    if (find.Step()) {
        const int64_t id = find.Int(0);
        // A logger known by its serial number keeps it; its name and software may change.
        TStatement update(*Db, "UPDATE logger SET name = ?1, software_version = ?2 WHERE id = ?3");
        update.Bind(1, name).Bind(2, version).Bind(3, id).Run();
        return id;
    }
    TStatement insert(*Db,
                      "INSERT INTO logger(serial, name, software_version) VALUES (?1, ?2, ?3)");
    if (key.Serial.empty())
        insert.BindNull(1);
    else
        insert.Bind(1, ToUtf8(key.Serial));
    insert.Bind(2, name).Bind(3, version).Run();
    return Db->LastInsertId();
}

TAddResult TArchive::AddDownload(const TDownloadRecord& download) {
    TWriteTransaction transaction(*Db);
    const int64_t loggerId = LoggerId(download);
    const logdata::THeaderValues& h = download.Header;
    logdata::TParsedLog asLog;
    asLog.Header = h;
    TStatement insert(
        *Db, "INSERT INTO download(logger_id, pc_time, pc_utc_offset, logger_clock, clock_offset, "
             "material, reference, zones, zone_count, log_interval, interval_minutes, cyclic, "
             "zone1_text, zone2_text, zone3_text, software_version, battery_volts, log_count, "
             "file_name, entry_count, added, duplicates, conflicts) VALUES (?1, ?2, ?3, ?4, ?5, "
             "?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, 0, 0, 0)");
    insert.Bind(1, loggerId)
        .Bind(2, IsoPcTime(download.PcTime, download.PcUtcOffsetMinutes))
        .Bind(3, int64_t{download.PcUtcOffsetMinutes})
        .Bind(4, ToUtf8(h.KestroTime));
    if (const auto offset = ClockOffset(h, download.PcTime))
        insert.Bind(5, *offset);
    insert.Bind(6, ToUtf8(h.Material)).Bind(7, ToUtf8(h.RefType)).Bind(8, ToUtf8(h.Zones));
    insert.Bind(9, int64_t{asLog.ZoneCount()}).Bind(10, ToUtf8(h.LogInterval));
    if (const auto interval = asLog.IntervalMinutes())
        insert.Bind(11, int64_t{*interval});
    insert.Bind(12, int64_t{h.CyclicLogging})
        .Bind(13, ToUtf8(h.Zone1Text))
        .Bind(14, ToUtf8(h.Zone2Text))
        .Bind(15, ToUtf8(h.Zone3Text))
        .Bind(16, ToUtf8(h.SoftwareVersion))
        .Bind(17, ToUtf8(h.BatteryVolts))
        .Bind(18, ToUtf8(h.LogCount))
        .Bind(19, download.FileName)
        .Bind(20, static_cast<int64_t>(download.Entries.size()))
        .Run();
    TAddResult result;
    result.DownloadId = Db->LastInsertId();
    TStatement same(*Db, "SELECT min1, max1, min2, max2, min3, max3 FROM entry "
                         "WHERE logger_id = ?1 AND minutes = ?2");
    TStatement add(*Db, "INSERT INTO entry(logger_id, download_id, minutes, entry, min1, max1, "
                        "min2, max2, min3, max3, seq) "
                        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
    for (const protocol::LogRecord& r : download.Entries) {
        bool duplicate = false;
        int64_t seq = 0;
        same.Bind(1, loggerId).Bind(2, r.Minutes);
        while (same.Step()) {
            bool equal = true;
            for (int v = 0; v < 6; ++v)
                equal = equal && same.Int(v) == r.Values[static_cast<std::size_t>(v)];
            duplicate = duplicate || equal;
            ++seq;
        }
        same.Reset();
        if (duplicate) {
            ++result.Duplicates;
            continue;
        }
        add.Bind(1, loggerId).Bind(2, result.DownloadId).Bind(3, r.Minutes).Bind(4, r.Index);
        for (int v = 0; v < 6; ++v)
            add.Bind(5 + v, int64_t{r.Values[static_cast<std::size_t>(v)]});
        add.Bind(11, seq).Run();
        ++(seq > 0 ? result.Conflicts : result.Added);
    }
    TStatement counts(
        *Db, "UPDATE download SET added = ?1, duplicates = ?2, conflicts = ?3 WHERE id = ?4");
    counts.Bind(1, static_cast<int64_t>(result.Added))
        .Bind(2, static_cast<int64_t>(result.Duplicates))
        .Bind(3, static_cast<int64_t>(result.Conflicts))
        .Bind(4, result.DownloadId)
        .Run();
    transaction.Commit();
    return result;
}

std::vector<TLoggerSummary> TArchive::Loggers() const {
    TStatement query(*Db,
                     std::string(SummaryQuery) + "ORDER BY l.serial IS NULL, l.serial, l.name");
    std::vector<TLoggerSummary> loggers;
    while (query.Step())
        loggers.push_back(SummaryFrom(query));
    return loggers;
}

std::optional<TLoggerSummary> TArchive::FindLogger(const std::string& serialOrName) const {
    TStatement query(*Db, std::string(SummaryQuery) +
                              "WHERE l.serial = ?1 OR (l.serial IS NULL AND l.name = ?1) "
                              "ORDER BY l.serial IS NULL");
    query.Bind(1, ToUtf8(Trimmed(serialOrName)));
    if (!query.Step())
        return std::nullopt;
    return SummaryFrom(query);
}

std::optional<TLastDownload> TArchive::LastDownload(int64_t loggerId) const {
    TStatement query(*Db, "SELECT d.entry_count, d.interval_minutes, "
                          "(SELECT max(minutes) FROM entry WHERE logger_id = ?1) "
                          "FROM download d WHERE d.logger_id = ?1 ORDER BY d.id DESC LIMIT 1");
    query.Bind(1, loggerId);
    if (!query.Step())
        return std::nullopt;
    TLastDownload last;
    last.EntryCount = query.Int(0);
    if (!query.IsNull(1))
        last.IntervalMinutes = static_cast<int>(query.Int(1));
    if (!query.IsNull(2))
        last.LastMinutes = query.Int(2);
    return last;
}

logdata::TParsedLog TArchive::History(int64_t loggerId) const {
    logdata::TParsedLog log;
    TStatement header(*Db, "SELECT l.name, coalesce(l.serial, ''), d.software_version, "
                           "d.zone1_text, d.zone2_text, d.zone3_text, d.log_interval, d.material, "
                           "d.reference, d.zones, d.cyclic, d.logger_clock, d.pc_time, "
                           "d.battery_volts FROM download d JOIN logger l ON l.id = d.logger_id "
                           "WHERE d.logger_id = ?1 ORDER BY d.id DESC LIMIT 1");
    header.Bind(1, loggerId);
    if (!header.Step())
        return log;
    log.IsLog = true;
    logdata::THeaderValues& h = log.Header;
    std::string* texts[] = {&h.KestroName, &h.SerialNo,  &h.SoftwareVersion, &h.Zone1Text,
                            &h.Zone2Text,  &h.Zone3Text, &h.LogInterval,     &h.Material,
                            &h.RefType,    &h.Zones};
    for (int column = 0; column < 10; ++column)
        *texts[column] = FromUtf8(header.Text(column));
    h.CyclicLogging = header.Int(10) != 0;
    h.KestroTime = FromUtf8(header.Text(11));
    h.PcTime = header.Text(12);
    h.BatteryVolts = FromUtf8(header.Text(13));
    TStatement entries(*Db, "SELECT entry, minutes, min1, max1, min2, max2, min3, max3 FROM entry "
                            "WHERE logger_id = ?1 ORDER BY minutes, seq");
    entries.Bind(1, loggerId);
    TStatement count(*Db, "SELECT coalesce(sum(added + conflicts), 0) FROM download "
                          "WHERE logger_id = ?1");
    count.Bind(1, loggerId);
    if (count.Step())
        log.Entries.reserve(static_cast<std::size_t>(count.Int(0)));
    while (entries.Step()) {
        protocol::LogRecord r;
        r.Index = static_cast<int32_t>(entries.Int(0));
        r.Minutes = entries.Int(1);
        for (int v = 0; v < 6; ++v)
            r.Values[static_cast<std::size_t>(v)] = static_cast<int32_t>(entries.Int(2 + v));
        log.Entries.push_back(r);
    }
    h.LogCount = std::to_string(log.Entries.size());
    return log;
}

TAddResult ArchiveDownload(const std::string& path, const logdata::THeaderValues& header,
                           const std::vector<protocol::LogRecord>& records,
                           const std::string& fileName, const protocol::DateTime& pcNow) {
    TArchive archive(path);
    return archive.AddDownload(MakeDownloadRecord(header, records, fileName, pcNow));
}

} // namespace archive
