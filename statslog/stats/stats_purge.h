// The two purges of the statistics tree. Thread-safe (no state); they may run
// beside writers, a directory re-created meanwhile staying in place with a
// report. Failed deletions are reported to the event log and skipped; a
// missing mail root, branch or Servers directory is an empty walk.
#pragma once

#include <string_view>

namespace tallowmere::stats {

// Removes {mail root}\{branch}\STATSROOT of every branch (values and flags
// trees); the branch directories stay. Returns true when the walk ended.
bool PurgeEntireStatsCacheCore();

// Removes the values files {branch}\STATSROOT\Servers\{server}\*.INI whose
// period lies on or before the day key `date`. Files in folders and the flags
// tree stay. A period key without a day (a month key, as file stem or as date)
// stands for the last day of its month, so a month goes only as a whole.
// Returns true when the walk ended; false, deleting nothing, when the date
// has no year and month digits (see IsPurgeDate).
bool PurgeStatsCacheBeforeDateCore(std::string_view date);

// True when `date` holds four year digits at 1-4 and a month 01-12 at 6-7.
bool IsPurgeDate(std::string_view date);

// True when the file stem `stem` is due for deletion by `date` (see above).
bool IsPeriodOnOrBefore(std::string_view stem, std::string_view date);

}  // namespace tallowmere::stats
