#include "statslog/logproc/aggregation.h"

#include <algorithm>

#include "statslog/logproc/text_util.h"

namespace tallowmere::logproc {

std::string_view FilterGroupValue(std::string_view value, GroupValueFilter filter) {
  switch (filter) {
    case GroupValueFilter::kUrl:
      return value.substr(0, value.find('?'));
    case GroupValueFilter::kDomain: {
      value = value.substr(0, 200);
      if (StartsWithNoCase(value, "http://")) {
        value.remove_prefix(7);
      } else if (StartsWithNoCase(value, "https://")) {
        value.remove_prefix(8);
      }
      const size_t slash = value.find('/');
      return value.substr(0, slash != std::string_view::npos ? slash : value.find('?'));
    }
    case GroupValueFilter::kNone:
      break;
  }
  return value;
}

Aggregator::Aggregator(const ReportDefinition& def) : def_(def), fieldCount_(def.fieldCount) {
  totals_.assign(static_cast<size_t>(fieldCount_), 0.0);
}

void Aggregator::AggregateRecord(std::vector<std::string_view>& columns, const ColumnMap& map) {
  if (map.group < 0) {
    // No group in the definition or no group column in the header: every
    // record counts once under the STATSROOT text.
    CountItem(def_.statsRoot, columns, map);
    return;
  }
  const size_t g = static_cast<size_t>(map.group);
  const std::string_view value = FilterGroupValue(columns[g], def_.groupFilter);
  // Every non-empty ","-separated item counts the record once; empty items
  // (",a", "a,,b", a value of commas) count nothing.
  size_t start = 0;
  while (start <= value.size()) {
    size_t comma = value.find(',', start);
    if (comma == std::string_view::npos) comma = value.size();
    if (comma > start) CountItem(value.substr(start, comma - start), columns, map);
    start = comma + 1;
  }
}

std::string_view Aggregator::BuildKey(std::string_view groupValue, const std::vector<std::string_view>& columns,
                                      const ColumnMap& map) {
  const auto& operands = def_.fields[0].operands;
  if (operands.empty()) return groupValue;
  keyBuffer_.clear();
  for (size_t j = 0; j < operands.size(); ++j) {
    const std::string& name = operands[j].name;
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
      keyBuffer_.append(name, 1, name.size() - 2);
    } else if (map.operand[0][j] >= 0) {
      keyBuffer_.append(columns[static_cast<size_t>(map.operand[0][j])]);
    }
    // An operand column missing from the header adds nothing.
  }
  return keyBuffer_;
}

void Aggregator::CountItem(std::string_view groupValue, std::vector<std::string_view>& columns,
                           const ColumnMap& map) {
  if (map.group >= 0) columns[static_cast<size_t>(map.group)] = groupValue;
  const std::string_view key = BuildKey(groupValue, columns, map);
  if (map.group >= 0) columns[static_cast<size_t>(map.group)] = key;

  bool inserted = false;
  const uint32_t row = index_.FindOrInsert(key, keys_, inserted);
  if (inserted) {
    keys_.emplace_back(key);
    values_.resize(values_.size() + static_cast<size_t>(fieldCount_), 0.0);
  }
  double* values = values_.data() + static_cast<size_t>(row) * static_cast<size_t>(fieldCount_);
  hasTotals_ = true;
  values[0] += 1;
  totals_[0] += 1;

  for (int32_t i = 1; i < fieldCount_; ++i) {
    const FieldDefinition& field = def_.fields[static_cast<size_t>(i)];
    if (field.malformed) continue;
    const std::vector<int32_t>& opColumns = map.operand[static_cast<size_t>(i)];
    double add = 0.0;
    switch (field.kind) {
      case FieldKind::kCountEqual:
      case FieldKind::kCountContains: {
        bool all = true;
        for (size_t j = 0; j < field.operands.size() && all; ++j) {
          const Operand& op = field.operands[j];
          if (op.malformed || opColumns[j] < 0) {
            all = false;  // a condition on a column this header lacks never holds
            break;
          }
          const std::string_view column = columns[static_cast<size_t>(opColumns[j])];
          all = field.kind == FieldKind::kCountEqual ? column == op.value : ContainsNoCase(column, op.value);
        }
        add = all ? 1.0 : 0.0;
        break;
      }
      case FieldKind::kSum:
        for (size_t j = 0; j < field.operands.size(); ++j) {
          if (opColumns[j] >= 0) add += LeadingNumber(columns[static_cast<size_t>(opColumns[j])]);
        }
        break;
      case FieldKind::kPlain:
        if (map.field[static_cast<size_t>(i)] >= 0) {
          add = LeadingNumber(columns[static_cast<size_t>(map.field[static_cast<size_t>(i)])]);
        }
        break;
      case FieldKind::kConcat:
        break;  // no number; the row keeps its group key
    }
    if (add != 0.0) {
      values[i] += add;
      totals_[static_cast<size_t>(i)] += add;
    }
  }
}

}  // namespace tallowmere::logproc
