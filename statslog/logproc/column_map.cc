#include "statslog/logproc/column_map.h"

#include <algorithm>

#include "statslog/logproc/text_util.h"

namespace tallowmere::logproc {
namespace {

// Last header position whose text equals name ignoring case; an empty name
// matches nothing.
int32_t LastPosition(std::string_view name, const std::vector<std::string_view>& header) {
  if (name.empty()) return kNotInHeader;
  for (size_t c = header.size(); c-- > 0;) {
    if (EqualsNoCase(header[c], name)) return static_cast<int32_t>(c);
  }
  return kNotInHeader;
}

}  // namespace

void MapHeader(const ReportDefinition& def, const std::vector<std::string_view>& header, ColumnMap& map) {
  int32_t highest = -1;
  for (int f = 0; f < def.fieldCount; ++f) {
    const FieldDefinition& field = def.fields[f];
    auto& operands = map.operand[f];
    operands.assign(field.operands.size(), kNotInHeader);
    for (size_t j = 0; j < field.operands.size(); ++j) {
      const Operand& op = field.operands[j];
      // Quoted CONCAT literals are not columns.
      const bool literal = f == 0 && op.name.size() >= 2 && op.name.front() == '"' && op.name.back() == '"';
      if (!literal) operands[j] = LastPosition(op.name, header);
      highest = std::max(highest, operands[j]);
    }
    if (f == 0) {
      map.group = def.groupText.empty() ? kNoGroup : LastPosition(field.name, header);
      highest = std::max(highest, map.group);
    } else {
      map.field[f] = field.kind == FieldKind::kPlain ? LastPosition(field.name, header) : kNotInHeader;
      highest = std::max(highest, map.field[f]);
    }
  }
  map.neededColumns = static_cast<size_t>(highest + 1);
  map.mapped = true;
}

}  // namespace tallowmere::logproc
