// GeneratePeriodSummary's core: rolls the day values files of one month into
// the month file, for one key or for every key, and (every key) records in
// the flags tree when and how completely the month was summarised. Writes one
// "Section: <key>" line to standard output per key met (every-key mode).
// Thread-safe (no state). Refused input writes nothing and returns 0.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tallowmere::stats {

// The completeness of the month; also the result in the every-key mode.
enum SummaryState : int32_t {
  kSummaryNothingSeen = 0,
  kSummaryComplete = 1,
  kSummaryPartial = -1,
  kSummaryNoData = -2,
};

// The state after one more day, with or without data.
int32_t NextSummaryState(int32_t state, bool dayHasData);

struct SummaryRequest {
  std::string_view server;      // "" → computer name
  int32_t scope = 0;
  std::string_view postoffice;  // "" → "SYSTEM"
  std::string_view section;
  std::string_view periodPath;  // month key, or folder "\" month key
  std::string_view key;         // "" → every key
};

// Returns the final state (every-key mode) or 0 (one key); nullopt when the
// request is refused (an unsafe period path, a month key without a month
// 1-12, a server or postoffice of 256 characters or more).
std::optional<int32_t> GeneratePeriodSummaryCore(const SummaryRequest& request);

}  // namespace tallowmere::stats
