// The export table of libstatslog: each export checks its arguments, calls
// the C++ core and turns the outcome into the C result. Nothing thrown inside
// leaves an export; bad input gets the failure result and changes no file.
#include <cstring>
#include <optional>

#include "statslog/logproc/process_delimited_log_file.h"
#include "statslog/stats/period_summary.h"
#include "statslog/stats/stats_path.h"
#include "statslog/stats/stats_purge.h"
#include "statslog/stats/stats_store.h"
#include "tallowmere/statslog.h"

namespace {

using tallowmere::stats::StatsFile;
using tallowmere::stats::StatsTree;

std::string_view View(const char* text) { return text == nullptr ? std::string_view() : std::string_view(text); }

int32_t GetShell(StatsTree tree, const char* server, int32_t scope, const char* postoffice, const char* section,
                 const char* fileName, const char* key, char* result, int32_t resultSize) {
  if (result == nullptr || resultSize <= 0) return 0;
  result[0] = '\0';
  if (section == nullptr || fileName == nullptr) return 0;
  try {
    const StatsFile file{tree, View(server), scope, View(postoffice), fileName, section};
    return tallowmere::stats::ReadStatsString(file, key, result, static_cast<size_t>(resultSize));
  } catch (...) {
    result[0] = '\0';
    return 0;
  }
}

int32_t SetShell(StatsTree tree, const char* server, int32_t scope, const char* postoffice, const char* fileName,
                 const char* section, char* key, const char* value) {
  if (fileName == nullptr || section == nullptr || key == nullptr) return 0;
  try {
    const StatsFile file{tree, View(server), scope, View(postoffice), fileName, section};
    if (!tallowmere::stats::WriteStatsString(file, key, value)) return 0;
    // The key is stored with ":" for "="; the caller's text says so too.
    for (char* c = std::strchr(key, '='); c != nullptr; c = std::strchr(c + 1, '=')) *c = ':';
    return 1;
  } catch (...) {
    return 0;
  }
}

}  // namespace

extern "C" {

int32_t ProcessDelimitedLogFile(const char* definition, int32_t /*reserved*/, char* resultText,
                                const int32_t* resultTextSize) {
  const size_t size = (resultText != nullptr && resultTextSize != nullptr && *resultTextSize > 0)
                          ? static_cast<size_t>(*resultTextSize)
                          : 0;
  if (size > 0) resultText[0] = '\0';
  if (definition == nullptr) return 0;
  try {
    tallowmere::logproc::ProcessDelimitedLogFile(definition, resultText, size);
  } catch (...) {
    // Nothing escapes; the log processing stores its results only at the end.
  }
  return 0;
}

int32_t GetStatsString(const char* server, int32_t scope, const char* postoffice, const char* section,
                       const char* fileName, const char* key, char* result, int32_t resultSize) {
  return GetShell(StatsTree::kValues, server, scope, postoffice, section, fileName, key, result, resultSize);
}

int32_t GetStatsStatusString(const char* server, int32_t scope, const char* postoffice, const char* section,
                             const char* fileName, const char* key, char* result, int32_t resultSize) {
  return GetShell(StatsTree::kFlags, server, scope, postoffice, section, fileName, key, result, resultSize);
}

int32_t SetStatsString(const char* server, int32_t scope, const char* postoffice, const char* fileName,
                       const char* section, char* key, const char* value) {
  return SetShell(StatsTree::kValues, server, scope, postoffice, fileName, section, key, value);
}

int32_t SetStatsStatusString(const char* server, int32_t scope, const char* postoffice, const char* fileName,
                             const char* section, char* key, const char* value) {
  return SetShell(StatsTree::kFlags, server, scope, postoffice, fileName, section, key, value);
}

int32_t IncStatsCounter(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) { return 1; }

int32_t PurgeEntireStatsCache(void) {
  try {
    return tallowmere::stats::PurgeEntireStatsCacheCore() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

int32_t PurgeStatsCacheBeforeDate(const char* date) {
  if (date == nullptr) return 0;
  try {
    return tallowmere::stats::PurgeStatsCacheBeforeDateCore(date) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

int32_t GeneratePeriodSummary(const char* server, int32_t scope, const char* postoffice, const char* section,
                              const char* periodPath, int32_t /*reserved1*/, const char* key,
                              int32_t /*reserved2*/) {
  if (section == nullptr || periodPath == nullptr || key == nullptr) return 0;
  try {
    const tallowmere::stats::SummaryRequest request{View(server), scope,      View(postoffice),
                                                    section,      periodPath, key};
    return tallowmere::stats::GeneratePeriodSummaryCore(request).value_or(0);
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
