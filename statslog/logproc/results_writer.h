// Turns the aggregated rows into what is stored: the group list (one file,
// one key per group), or per-postoffice totals with the server-wide totals
// under "System", the "LastModified" flag and the tab-separated report file.
// Each target file is written with one batch. Re-entrant; only std::bad_alloc
// escapes; refused writes and an unwritable report file are ignored.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "statslog/logproc/aggregation.h"
#include "statslog/logproc/report_definition.h"
#include "statslog/logproc/stats_writer.h"

namespace tallowmere::logproc {

// A key the INI layer keeps as written ("=" already turned into ":"): not
// empty, no CR or LF, no leading "[" or ";", no blanks at its ends.
bool IsStorableKey(std::string_view key);

// A group key that may name a postoffice directory under the mail root: no
// "\" or "/", no ":", no control character, not "." or "..".
bool IsSafePostofficeName(std::string_view key);

// The stored form of a key: cut to 255 characters, "=" written as ":".
std::string StoredKey(std::string_view key);

// The group list of result type 1: per row "%f" of each value joined by ",".
std::vector<StatsEntry> GroupListEntries(const Aggregator& rows);

// The report file: "Group\tCount" and the field names, then a line per row.
std::string ReportFileText(const Aggregator& rows, const ReportDefinition& def);

// "YYYY-MM-DD hh:mm:ss UTC" of a time in seconds since 1970-01-01 UTC.
std::string TimeText(int64_t seconds);

// The status file name: STATSROOT "\" PERIOD, or PERIOD alone.
std::string StatusFileName(const ReportDefinition& def);

// Stores the values of either result form and "LastModified" (with the
// definition's StatusScope), printing the diagnostic lines to console
// (nullptr: none).
void WriteResults(const Aggregator& rows, const ReportDefinition& def, StatsWriter& writer, int64_t now,
                  std::FILE* console);

}  // namespace tallowmere::logproc
