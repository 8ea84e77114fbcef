// The archive's tables and views, and bringing an older file up to date.
#pragma once

#include "archive/Sqlite.h"

namespace archive {

// PRAGMA user_version of a file this program has made or upgraded.
inline constexpr int SchemaVersion = 1;

// WAL, the busy timeout's partner, and every upgrade step the file still lacks, in one
// transaction. A file from a newer program is refused rather than written wrongly.
void PrepareSchema(TDatabase& db);

int UserVersion(const TDatabase& db);

} // namespace archive
