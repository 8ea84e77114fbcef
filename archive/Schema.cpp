#include "archive/Schema.h"

#include <array>
#include <string>

namespace archive {

namespace {

// Logger times are the logger's own civil time in minutes since 2000-01-01 00:00; the logger
// knows no time zone, so they are shown without an offset.
constexpr const char* SchemaV1 = R"sql(
CREATE TABLE logger (
  id INTEGER PRIMARY KEY,
  serial TEXT,
  name TEXT NOT NULL,
  software_version TEXT NOT NULL DEFAULT ''
);
CREATE UNIQUE INDEX logger_by_serial ON logger(serial) WHERE serial IS NOT NULL;
CREATE UNIQUE INDEX logger_by_name ON logger(name) WHERE serial IS NULL;

CREATE TABLE download (
  id INTEGER PRIMARY KEY,
  logger_id INTEGER NOT NULL REFERENCES logger(id),
  pc_time TEXT NOT NULL,
  pc_utc_offset INTEGER NOT NULL,
  logger_clock TEXT NOT NULL,
  clock_offset INTEGER,
  material TEXT NOT NULL,
  reference TEXT NOT NULL,
  zones TEXT NOT NULL,
  zone_count INTEGER NOT NULL,
  log_interval TEXT NOT NULL,
  interval_minutes INTEGER,
  cyclic INTEGER NOT NULL,
  zone1_text TEXT NOT NULL,
  zone2_text TEXT NOT NULL,
  zone3_text TEXT NOT NULL,
  software_version TEXT NOT NULL,
  battery_volts TEXT NOT NULL,
  log_count TEXT NOT NULL,
  file_name TEXT NOT NULL,
  entry_count INTEGER NOT NULL,
  added INTEGER NOT NULL,
  duplicates INTEGER NOT NULL,
  conflicts INTEGER NOT NULL
);
CREATE INDEX download_by_logger ON download(logger_id);

-- One row per logger and time; a reading that differs from the one archived first for that
-- time is kept beside it with the next seq, so a conflict is never lost. Clustered by logger
-- and time, a logger's history is one sequential read.
CREATE TABLE entry (
  logger_id INTEGER NOT NULL REFERENCES logger(id),
  minutes INTEGER NOT NULL,
  seq INTEGER NOT NULL,
  download_id INTEGER NOT NULL REFERENCES download(id),
  entry INTEGER NOT NULL,
  min1 INTEGER NOT NULL, max1 INTEGER NOT NULL,
  min2 INTEGER NOT NULL, max2 INTEGER NOT NULL,
  min3 INTEGER NOT NULL, max3 INTEGER NOT NULL,
  PRIMARY KEY (logger_id, minutes, seq)
) WITHOUT ROWID;

CREATE VIEW loggers AS
SELECT l.id AS logger_id, l.serial AS serial, l.name AS name,
       l.software_version AS software_version,
       strftime('%Y-%m-%dT%H:%M', '2000-01-01',
                (SELECT min(minutes) FROM entry e WHERE e.logger_id = l.id) || ' minutes')
         AS first_entry,
       strftime('%Y-%m-%dT%H:%M', '2000-01-01',
                (SELECT max(minutes) FROM entry e WHERE e.logger_id = l.id) || ' minutes')
         AS last_entry,
       coalesce(d.entries, 0) AS entries, coalesce(d.conflicts, 0) AS conflicts,
       coalesce(d.downloads, 0) AS downloads
FROM logger l
LEFT JOIN (SELECT logger_id, sum(added + conflicts) AS entries, sum(conflicts) AS conflicts,
                  count(*) AS downloads
           FROM download GROUP BY logger_id) d ON d.logger_id = l.id;

CREATE VIEW downloads AS
SELECT d.id AS download_id, l.serial AS serial, l.name AS name, d.pc_time, d.pc_utc_offset,
       d.logger_clock, d.clock_offset, d.material, d.reference, d.zones, d.log_interval,
       d.interval_minutes, d.cyclic, d.zone1_text, d.zone2_text, d.zone3_text,
       d.software_version, d.battery_volts, d.log_count, d.file_name, d.entry_count, d.added,
       d.duplicates, d.conflicts
FROM download d JOIN logger l ON l.id = d.logger_id;

CREATE VIEW readings AS
SELECT l.serial AS serial, l.name AS name,
       strftime('%Y-%m-%dT%H:%M', '2000-01-01', e.minutes || ' minutes') AS logger_time,
       e.entry AS entry, z.zone AS zone,
       coalesce(nullif(rtrim(CASE z.zone WHEN 1 THEN d.zone1_text WHEN 2 THEN d.zone2_text
                                         ELSE d.zone3_text END), ''), 'Zone ' || z.zone)
         AS zone_description,
       CASE z.zone WHEN 1 THEN e.min1 WHEN 2 THEN e.min2 ELSE e.min3 END AS min_mv,
       CASE z.zone WHEN 1 THEN e.max1 WHEN 2 THEN e.max2 ELSE e.max3 END AS max_mv,
       e.seq > 0 AS conflict, e.download_id AS download_id
FROM entry e
JOIN logger l ON l.id = e.logger_id
JOIN download d ON d.id = e.download_id
JOIN (SELECT 1 AS zone UNION ALL SELECT 2 UNION ALL SELECT 3) z ON z.zone <= d.zone_count;
)sql";

// Step n brings a file of version n to n + 1; a later version adds its step here and never
// changes an earlier one, so every old file takes the same road.
constexpr std::array<const char*, SchemaVersion> UpgradeSteps = {SchemaV1};

} // namespace

int UserVersion(const TDatabase& db) {
    TStatement query(db, "PRAGMA user_version");
    return query.Step() ? static_cast<int>(query.Int(0)) : 0;
}

void PrepareSchema(TDatabase& db) {
    db.Exec("PRAGMA foreign_keys = ON");
    // Cheap to ask, and a file that is not a database fails here with a plain message.
    if (UserVersion(db) == SchemaVersion) {
        db.ExecWaitingWhileBusy("PRAGMA journal_mode = WAL");
        return;
    }
    db.ExecWaitingWhileBusy("PRAGMA journal_mode = WAL");
    TWriteTransaction transaction(db);
    // Read again under the write lock: another process may have made the file meanwhile.
    const int version = UserVersion(db);
    if (version > SchemaVersion)
        throw EArchive("The archive " + db.Path() + " is of a newer version (" +
                       std::to_string(version) + ") than this program knows (" +
                       std::to_string(SchemaVersion) + ")");
    for (int step = version; step < SchemaVersion; ++step)
        db.Exec(UpgradeSteps[static_cast<std::size_t>(step)]);
    db.Exec("PRAGMA user_version = " + std::to_string(SchemaVersion));
    transaction.Commit();
}

} // namespace archive
