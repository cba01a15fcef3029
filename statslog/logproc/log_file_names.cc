#include "statslog/logproc/log_file_names.h"

namespace tallowmere::logproc {

std::optional<std::string> LogDirectory(const ReportDefinition& def) {
  const size_t at = def.fileName.find_last_of("\\/");
  if (at == std::string::npos) return std::nullopt;
  return def.fileName.substr(0, at);
}

bool UsesFilterReportNames(const ReportDefinition& def) {
  return def.format == "TAB" && def.logSchema == "MTA_Filters";
}

std::optional<std::string> LogFileName(const ReportDefinition& def, std::optional<int> hour) {
  const std::string& p = def.period;
  if (p.size() < 11) return std::nullopt;
  for (size_t i : {3, 4, 6, 7, 9, 10}) {
    if (p[i] < '0' || p[i] > '9') return std::nullopt;
  }
  if (hour && (*hour < 0 || *hour > 23)) return std::nullopt;
  std::string name = UsesFilterReportNames(def) ? "MTAFILTER-Report-" : "ex";
  name += {p[3], p[4], p[6], p[7], p[9], p[10]};
  if (hour) {
    name += static_cast<char>('0' + *hour / 10);
    name += static_cast<char>('0' + *hour % 10);
  }
  name += ".log";
  return name;
}

std::string LogFilePath(const ReportDefinition& def, const std::string& directory, const std::string& name) {
  const size_t at = def.fileName.find_last_of("\\/");
  const char separator = at == std::string::npos ? '/' : def.fileName[at];
  return directory + separator + name;
}

}  // namespace tallowmere::logproc
