// Where a report definition's log files are: the log directory (the text of
// FILENAME before its last "\" or "/") and the daily and hourly file names
// built from the two-digit year, month and day of PERIOD. Re-entrant.
// Functions return std::nullopt when the definition names no usable files.
#pragma once

#include <optional>
#include <string>

#include "statslog/logproc/report_definition.h"

namespace tallowmere::logproc {

// The log directory; nullopt when FILENAME is empty or holds no separator
// (a relative name would depend on the host's working directory).
std::optional<std::string> LogDirectory(const ReportDefinition& def);

// True when FORMAT is exactly "TAB" and LOGSCHEMA exactly "MTA_Filters".
bool UsesFilterReportNames(const ReportDefinition& def);

// "exYYMMDD.log" or "MTAFILTER-Report-YYMMDD.log"; with hour 0 to 23 the
// hourly form ("exYYMMDDHH.log"). nullopt when PERIOD is shorter than 11
// characters or a date character (positions 3-4, 6-7, 9-10) is not a digit.
std::optional<std::string> LogFileName(const ReportDefinition& def, std::optional<int> hour = std::nullopt);

// directory + separator + name, with the separator FILENAME used last.
std::string LogFilePath(const ReportDefinition& def, const std::string& directory, const std::string& name);

}  // namespace tallowmere::logproc
