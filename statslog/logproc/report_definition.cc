// Tags are matched case-sensitively and literally; for every key the first
// opening tag counts. A common-reader key looks for its closing tag from the
// second character of the value on, so an empty element followed later by a
// second element of the same key reads up to the second closing tag; the
// three fixed elements (GROUP, RESULTTYPE, FIELD) look from the value's start.
#include "statslog/logproc/report_definition.h"

#include <algorithm>
#include <string>

#include "statslog/logproc/text_util.h"

namespace tallowmere::logproc {
namespace {

// A common-reader key: the value between "<KEY>" and the next "</KEY>"
// found from the value's second character, cut to capacity − 2 characters.
std::string ReadKey(std::string_view text, std::string_view key, size_t capacity) {
  const std::string open = "<" + std::string(key) + ">";
  const std::string close = "</" + std::string(key) + ">";
  const size_t openAt = text.find(open);
  if (openAt == std::string_view::npos) return {};
  const size_t valueAt = openAt + open.size();
  if (valueAt + 1 > text.size()) return {};
  const size_t closeAt = text.find(close, valueAt + 1);
  if (closeAt == std::string_view::npos) return {};
  return std::string(text.substr(valueAt, std::min(closeAt - valueAt, capacity - 2)));
}

// A fixed element: true and the value between the opening tag and the first
// closing tag after it; false when either tag is missing.
bool ReadElement(std::string_view text, std::string_view open, std::string_view close, std::string& value) {
  const size_t openAt = text.find(open);
  if (openAt == std::string_view::npos) return false;
  const size_t valueAt = openAt + open.size();
  const size_t closeAt = text.find(close, valueAt);
  if (closeAt == std::string_view::npos) return false;
  value.assign(text.substr(valueAt, closeAt - valueAt));
  return true;
}

// The argument list of a function: the text after "KEYWORD(" up to the next
// ")". False when the keyword is absent; `closed` tells whether ")" exists.
bool FunctionArguments(std::string_view text, std::string_view keyword, std::string_view& args, bool& closed) {
  const size_t at = text.find(keyword);
  if (at == std::string_view::npos) return false;
  const size_t start = at + keyword.size();
  const size_t end = text.find(')', start);
  closed = end != std::string_view::npos;
  args = closed ? text.substr(start, end - start) : std::string_view();
  return true;
}

// Operands are separated by single spaces; two spaces in a row give an empty
// operand (which matches no column).
std::vector<std::string_view> SplitOperands(std::string_view args) {
  std::vector<std::string_view> parts;
  if (args.empty()) return parts;
  size_t start = 0;
  while (true) {
    const size_t space = args.find(' ', start);
    if (space == std::string_view::npos) {
      parts.push_back(args.substr(start));
      break;
    }
    parts.push_back(args.substr(start, space - start));
    start = space + 1;
  }
  return parts;
}

}  // namespace

FieldDefinition ParseFieldText(std::string_view text) {
  FieldDefinition field;
  field.name = std::string(text.substr(0, text.find(':')));
  std::string_view args;
  bool closed = false;
  if (FunctionArguments(text, "COUNT(", args, closed)) {
    const bool contains = ContainsNoCase(text, "*=");
    field.kind = contains ? FieldKind::kCountContains : FieldKind::kCountEqual;
    const std::string_view separator = contains ? "*=" : "=";
    for (std::string_view part : SplitOperands(args)) {
      Operand op;
      const size_t first = part.find(separator);
      if (first == std::string_view::npos) {
        op.name = std::string(part);
        op.malformed = true;
      } else {
        op.name = std::string(part.substr(0, first));
        const std::string_view rest = part.substr(first + separator.size());
        op.value = std::string(rest.substr(0, rest.find(separator)));
      }
      field.operands.push_back(std::move(op));
    }
  } else if (FunctionArguments(text, "SUM(", args, closed)) {
    field.kind = FieldKind::kSum;
  } else if (FunctionArguments(text, "CONCAT(", args, closed)) {
    field.kind = FieldKind::kConcat;
  } else {
    return field;  // Plain
  }
  field.malformed = !closed;
  if (field.kind == FieldKind::kSum || field.kind == FieldKind::kConcat) {
    for (std::string_view part : SplitOperands(args)) {
      field.operands.push_back(Operand{std::string(part), std::string(part), false});
    }
  }
  return field;
}

ReportDefinition ParseReportDefinition(std::string_view text) {
  ReportDefinition def;
  def.fileName = ReadKey(text, "FILENAME", 1024);
  def.outputFileName = ReadKey(text, "OUTPUTFILENAME", 1024);
  def.statsRoot = ReadKey(text, "STATSROOT", 1024);
  def.server = ReadKey(text, "SERVER", 256);
  def.period = ReadKey(text, "PERIOD", 64);
  def.format = ReadKey(text, "FORMAT", 64);
  def.minVersion = ReadKey(text, "MINVERSION", 1024);
  def.scope = ReadKey(text, "SCOPE", 256);
  def.statusScope = def.scope.empty() ? 1 : 0;
  def.groupAs = ReadKey(text, "GROUPAS", 256);
  if (EqualsNoCase(def.groupAs, "DOMAIN")) {
    def.groupFilter = GroupValueFilter::kDomain;
  } else if (EqualsNoCase(def.groupAs, "URL")) {
    def.groupFilter = GroupValueFilter::kUrl;
  }
  def.fieldCountText = ReadKey(text, "FIELDCOUNT", 256);
  def.logSchema = ReadKey(text, "LOGSCHEMA", 256);

  const int32_t numbered = std::clamp<int32_t>(LeadingInteger(def.fieldCountText), 0, kMaxFields - 1);
  def.fieldCount = numbered + 1;
  def.delimiter = def.format.empty() ? ' ' : '\t';

  ReadElement(text, "<GROUP>", "</GROUP>", def.groupText);
  std::string resultType;
  ReadElement(text, "<RESULTTYPE>", "</RESULTTYPE>", resultType);
  if (!resultType.empty()) {
    def.resultType = LeadingInteger(resultType);
  } else {
    def.resultType = (!def.groupText.empty() && !EqualsNoCase(def.groupText, "account")) ? 1 : 0;
  }

  // One text serves all fields: a numbered field whose element is absent
  // takes the text of the field before it.
  std::string fieldText = def.groupText;
  for (int n = 0; n < def.fieldCount; ++n) {
    if (n > 0) {
      const std::string open = "<FIELD ID=\"" + std::to_string(n) + "\">";
      ReadElement(text, open, "</FIELD>", fieldText);
    }
    def.fields[n] = ParseFieldText(fieldText);
  }
  return def;
}

}  // namespace tallowmere::logproc
