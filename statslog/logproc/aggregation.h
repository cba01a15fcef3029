// Counts log records into groups. Each record's group value comes from the
// group column (filtered by GROUPAS, split at ",") or, without a usable group
// column, is the STATSROOT text; the key is the value or the CONCAT of field
// 0; every key's row holds the record count and the numbered fields' numbers.
// Rows keep the order in which their keys first appeared; memory grows with
// the number of groups only. Not thread-safe. Only std::bad_alloc escapes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "statslog/logproc/column_map.h"
#include "statslog/logproc/group_index.h"
#include "statslog/logproc/report_definition.h"

namespace tallowmere::logproc {

// The group value after GROUPAS: URL cuts at the first "?"; DOMAIN cuts to
// 200 characters, drops a leading "http://" or "https://" (any case) and cuts
// at the first "/" or, when there is none, at the first "?".
std::string_view FilterGroupValue(std::string_view value, GroupValueFilter filter);

class Aggregator {
 public:
  explicit Aggregator(const ReportDefinition& def);

  // Counts one record. columns holds at least map.neededColumns entries
  // (missing columns as empty views); the group column's entry is replaced
  // by the group key while the record is evaluated.
  void AggregateRecord(std::vector<std::string_view>& columns, const ColumnMap& map);

  size_t rowCount() const { return keys_.size(); }
  const std::vector<std::string>& keys() const { return keys_; }
  // fieldCount values of row r: entry 0 the record count, entry i field i.
  const double* values(size_t row) const { return values_.data() + row * fieldCount_; }
  // False until a record has been counted.
  bool hasTotals() const { return hasTotals_; }
  const std::vector<double>& totals() const { return totals_; }
  int32_t fieldCount() const { return fieldCount_; }

 private:
  void CountItem(std::string_view groupValue, std::vector<std::string_view>& columns, const ColumnMap& map);
  std::string_view BuildKey(std::string_view groupValue, const std::vector<std::string_view>& columns,
                            const ColumnMap& map);

  const ReportDefinition& def_;
  const int32_t fieldCount_;
  std::vector<std::string> keys_;
  std::vector<double> values_;  // rowCount × fieldCount
  std::vector<double> totals_;
  bool hasTotals_ = false;
  GroupIndex index_;
  std::string keyBuffer_;  // the CONCAT key, reused from record to record
};

}  // namespace tallowmere::logproc
