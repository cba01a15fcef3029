#include "statslog/logproc/store_stats_writer.h"

#include "statslog/stats/stats_store.h"

namespace tallowmere::logproc {

bool StoreStatsWriter::SetValues(const std::string& server, const std::string& postoffice,
                                 const std::string& fileName, const std::string& section,
                                 const std::vector<StatsEntry>& entries) {
  std::vector<platform::IniEdit> edits;
  edits.reserve(entries.size());
  for (const StatsEntry& entry : entries) {
    if (stats::IsStorableKey(entry.key)) edits.push_back(platform::IniEdit{entry.key, entry.value});
  }
  if (edits.empty()) return false;
  const stats::StatsFile file{stats::StatsTree::kValues, server, 1, postoffice, fileName, section};
  return stats::WriteStatsStrings(file, edits);
}

bool StoreStatsWriter::SetFlag(const std::string& server, int32_t scope, const std::string& fileName,
                               const std::string& section, const std::string& key, const std::string& value) {
  const stats::StatsFile file{stats::StatsTree::kFlags, server, scope, "System", fileName, section};
  return stats::WriteStatsString(file, key, value.c_str());
}

}  // namespace tallowmere::logproc
