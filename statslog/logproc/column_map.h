// Where the definition's fields and operands stand in the current log header.
// MapHeader maps one header line: names are compared ignoring ASCII case and
// a repeated column name maps to its last position. Every header remaps every
// field and operand, so a name missing from this header maps to −1 even when
// an earlier header had it. Not thread-safe; never fails.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "statslog/logproc/report_definition.h"

namespace tallowmere::logproc {

inline constexpr int32_t kNotInHeader = -1;
inline constexpr int32_t kNoGroup = -10;  // group entry: the definition has no GROUP

struct ColumnMap {
  bool mapped = false;  // a header line has been mapped
  int32_t group = kNotInHeader;
  std::array<int32_t, kMaxFields> field{};                   // entry 0 unused (see group)
  std::array<std::vector<int32_t>, kMaxFields> operand;      // per field, per operand
  size_t neededColumns = 0;  // record columns worth splitting: highest mapped position + 1
};

void MapHeader(const ReportDefinition& def, const std::vector<std::string_view>& header, ColumnMap& map);

}  // namespace tallowmere::logproc
