// The questions asked of a logger's history: its figures month by month, and how many of the
// entries a logger holds now the archive still lacks.
#pragma once

#include "archive/Archive.h"
#include "logdata/LogStats.h"

#include <optional>
#include <vector>

namespace archive {

struct TMonthFigures {
    int Year = 0, Month = 0;
    std::vector<logdata::TZoneSummary> Zones; // one per enabled zone, zone 1 first
};

// In calendar order of the logger's own clock; months without entries are left out.
std::vector<TMonthFigures> MonthlyFigures(const logdata::TParsedLog& log,
                                          const logdata::TProtectionBand& band);

// Entries the logger holds that the archive lacks, judged without reading them: the log count
// now against the entries of the archive's latest download of that logger. A smaller count
// means the logger was cleared since, so every entry is new; a cyclic log that was full both
// times has overwritten its oldest entries, and the time its clock has run since the newest
// archived entry tells how many. nullopt when the header's log count is not a number.
std::optional<std::size_t> UnarchivedEntries(const TArchive& archive,
                                             const logdata::THeaderValues& now);

} // namespace archive
