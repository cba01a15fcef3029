#include "stores/record_family.h"

#include <charconv>
#include <cstring>

#include "provider/address_condition.h"
#include "provider/frame.h"
#include "provider/settings.h"
#include "provider/sql_text.h"

namespace tallowmere::stores {
namespace {

void AppendInteger(std::string& out, int32_t value) {
  char digits[16];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, end);
}

// One condition of a match text by the field's rule. Returns false when the
// value cannot be written within the builders' limit.
bool AppendCondition(std::string& match, MatchRule rule, const FieldSpec& field, const void* record) {
  switch (rule) {
    case MatchRule::kNone:
      return true;
    case MatchRule::kNumber:
      return provider::AddNumberCondition(match, field.column, FieldInteger(record, field)) == 1;
    case MatchRule::kText:
      return provider::AddTextCondition(match, field.column, FieldText(record, field)) == 1;
    case MatchRule::kPattern:
      return provider::AddPatternCondition(match, field.column, FieldText(record, field)) == 1;
    case MatchRule::kAddress:
      return provider::AddAddressCondition(match, field.column, FieldText(record, field)) == 1;
  }
  return false;
}

void AppendSelectHead(const FamilySpec& family, const char* idLead, std::string& out) {
  const auto& settings = provider::Settings();
  out += settings.RowLimitHead;
  out += idLead;
  out += family.columns;
  out += " FROM ";
  out += family.table;
}

}  // namespace

std::string_view FieldText(const void* record, const FieldSpec& field) {
  const char* text = static_cast<const char*>(record) + field.offset;
  return {text, strnlen(text, field.width - 1)};
}

int32_t FieldInteger(const void* record, const FieldSpec& field) {
  int32_t value;
  std::memcpy(&value, static_cast<const char*>(record) + field.offset, sizeof value);
  return value;
}

std::string JoinColumns(std::span<const FieldSpec> fields) {
  std::string columns;
  for (const FieldSpec& field : fields) {
    if (!columns.empty()) columns += ',';
    columns += field.column;
  }
  return columns;
}

bool BuildMatch(const FamilySpec& family, const void* record, bool forFind, std::string& out) {
  out.clear();
  for (const FieldSpec& field : family.fields) {
    if (!AppendCondition(out, forFind ? field.findMatch : field.match, field, record)) return false;
  }
  return true;
}

bool BuildAddStatement(const FamilySpec& family, const void* record, std::string& out) {
  out = "INSERT INTO ";
  out += family.table;
  out += " (";
  out += family.columns;
  out += ") VALUES (";
  bool first = true;
  for (const FieldSpec& field : family.fields) {
    if (!first) out += ',';
    first = false;
    switch (field.value) {
      case ValueForm::kQuotedText:
        out += '\'';
        provider::AppendDoubled(out, FieldText(record, field));
        out += '\'';
        break;
      case ValueForm::kBareInteger:
        AppendInteger(out, FieldInteger(record, field));
        break;
      case ValueForm::kQuotedInteger:
        out += '\'';
        AppendInteger(out, FieldInteger(record, field));
        out += '\'';
        break;
    }
  }
  out += ");";
  return true;
}

bool BuildGetStatement(const FamilySpec& family, const void* record, std::string& out) {
  std::string match;
  if (!BuildMatch(family, record, false, match)) return false;
  out.clear();
  AppendSelectHead(family, " ID,", out);
  if (!match.empty()) {
    out += " WHERE (";
    out += match;
    out += ')';
  }
  out += ' ';
  out += provider::Settings().RowLimitTail;
  out += ';';
  return true;
}

bool BuildFindNextStatement(const FamilySpec& family, const void* record, int32_t last, std::string& out) {
  std::string match;
  if (!BuildMatch(family, record, true, match)) return false;
  out.clear();
  AppendSelectHead(family, match.empty() ? " ID," : family.findNextIdLead, out);
  out += " WHERE (";
  if (!match.empty()) {
    out += match;
    out += " AND ";
  }
  out += "ID > ";
  AppendInteger(out, last);
  out += ") ORDER BY ID ";
  out += provider::Settings().RowLimitTail;
  out += ';';
  return true;
}

bool BuildEditStatement(const FamilySpec& family, const void* match, const void* values, std::string& out) {
  std::string where;
  if (!BuildMatch(family, match, false, where)) return false;
  out = "UPDATE ";
  out += family.table;
  out += " SET ";
  std::string assignments;
  for (const FieldSpec& field : family.fields) {
    if (field.kind == FieldKind::kText) {
      provider::AddTextAssignment(assignments, field.column, FieldText(values, field));
    } else {
      provider::AddNumberAssignment(assignments, field.column, FieldInteger(values, field));
    }
  }
  out += assignments;
  if (!where.empty()) {
    out += " WHERE (";
    out += where;
    out += ')';
  }
  out += ';';
  return true;
}

bool BuildRemoveStatement(const FamilySpec& family, const void* match, std::string& out) {
  std::string where;
  if (!BuildMatch(family, match, false, where)) return false;
  out = "DELETE FROM ";
  out += family.table;
  if (!where.empty()) {
    out += " WHERE (";
    out += where;
    out += ')';
  }
  out += ';';
  return true;
}

std::vector<provider::ResultColumn> ResultColumnsOf(std::span<const FieldSpec> fields) {
  std::vector<provider::ResultColumn> columns;
  columns.reserve(fields.size());
  for (const FieldSpec& field : fields) {
    columns.push_back({field.kind == FieldKind::kText ? provider::ResultColumn::kText
                                                      : provider::ResultColumn::kInteger,
                       field.offset, field.width});
  }
  return columns;
}

int32_t RunAdd(const FamilySpec& family, const void* record) {
  std::string statement;
  if (!BuildAddStatement(family, record, statement)) return family.add.rejected;
  provider::RunOptions options;
  options.requireMatch = false;
  return provider::ResultOf(provider::RunCommand(statement, options), family.add);
}

int32_t RunGet(const FamilySpec& family, void* record) {
  std::string statement;
  if (!BuildGetStatement(family, record, statement)) return family.get.rejected;
  const provider::RowTarget target{record, family.recordSize, family.resultColumns, nullptr};
  return provider::ResultOf(provider::RunSingleRowRead(statement, target), family.get);
}

int32_t RunEdit(const FamilySpec& family, const void* match, const void* values) {
  std::string statement;
  if (!BuildEditStatement(family, match, values, statement)) return family.edit.rejected;
  return provider::ResultOf(provider::RunCommand(statement), family.edit);
}

int32_t RunRemove(const FamilySpec& family, const void* match) {
  std::string statement;
  if (!BuildRemoveStatement(family, match, statement)) return family.remove.rejected;
  return provider::ResultOf(provider::RunCommand(statement), family.remove);
}

int32_t RunFindNext(const FamilySpec& family, void* record, int32_t last, int32_t* found) {
  std::string statement;
  if (!BuildFindNextStatement(family, record, last, statement)) return family.findNext.rejected;
  const provider::RowTarget target{record, family.recordSize, family.resultColumns, found};
  provider::RunOptions options;
  options.logExecFailure = family.logFindNextExecution;
  return provider::ResultOf(provider::RunSingleRowRead(statement, target, options), family.findNext);
}

}  // namespace tallowmere::stores
