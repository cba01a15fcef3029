// SQL text builders.
#include "provider/sql_text.h"

#include <charconv>
#include <cstring>

#include "common/bounded_string.h"
#include "provider/logging.h"

namespace tallowmere::provider {
namespace {

size_t DoubledLength(std::string_view value) {
  size_t length = value.size();
  for (char c : value) length += (c == '\'');
  return length;
}

// True when the value fits a condition; otherwise logs the refusal.
bool FitsCondition(std::string_view column, std::string_view value) {
  size_t length = DoubledLength(value);
  if (length <= kMaxConditionValue) return true;
  LogFormat(kLogDiagnostic, 1024,
            "TW-IXXXX: Condition value for %.*s too long (%zu characters); operation refused.\n",
            static_cast<int>(std::min<size_t>(column.size(), 128)), column.data(), length);
  return false;
}

void AppendNumber(std::string& text, int32_t value) {
  char buffer[16];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  text.append(buffer, result.ptr);
}

void OpenCondition(std::string& text) { text.append(text.empty() ? "(" : " AND ("); }

// The LIKE pattern of a value with "*": apostrophes doubled, "*" → "%", and
// "_" (and the escape character itself) made literal.
std::string LikePattern(std::string_view value, SqlDialect dialect) {
  std::string pattern;
  pattern.reserve(value.size() + 16);
  for (char c : value) {
    switch (c) {
      case '\'': pattern += "''"; break;
      case '*': pattern += '%'; break;
      case '_': pattern += dialect == SqlDialect::kSqlServer ? "[_]" : "\\_"; break;
      case '[':
        pattern += dialect == SqlDialect::kSqlServer ? "[[]" : "[";
        break;
      case '\\':
        pattern += dialect == SqlDialect::kSqlServer ? "\\" : "\\\\";
        break;
      default: pattern += c;
    }
  }
  return pattern;
}

}  // namespace

bool IsNotGiven(std::string_view value) { return value.empty() || value == "(Nil)"; }

void AppendDoubled(std::string& text, std::string_view value) {
  text.reserve(text.size() + value.size() + 8);
  for (char c : value) {
    text += c;
    if (c == '\'') text += '\'';
  }
}

std::string QuoteText(std::string_view value) {
  std::string quoted = "'";
  AppendDoubled(quoted, value);
  quoted += '\'';
  return quoted;
}

int AddTextCondition(std::string& text, std::string_view column, std::string_view value) {
  if (IsNotGiven(value)) return 1;
  if (!FitsCondition(column, value)) return 0;
  OpenCondition(text);
  text.append(column);
  text.append(" = '");
  AppendDoubled(text, value);
  text.append("')");
  return 1;
}

int AddNumberCondition(std::string& text, std::string_view column, int32_t value) {
  if (value == kNotGivenNumber) return 1;
  OpenCondition(text);
  text.append(column);
  text.append(" = ");
  AppendNumber(text, value);
  text += ')';
  return 1;
}

int AddPatternCondition(std::string& text, std::string_view column, std::string_view value,
                        SqlDialect dialect) {
  if (IsNotGiven(value)) return 1;
  if (text.empty() || value.find('*') == std::string_view::npos) {
    return AddTextCondition(text, column, value);
  }
  std::string pattern = LikePattern(value, dialect);
  if (pattern.size() > kMaxConditionValue) {
    LogFormat(kLogDiagnostic, 1024,
              "TW-IXXXX: Condition value for %.*s too long (%zu characters); operation refused.\n",
              static_cast<int>(std::min<size_t>(column.size(), 128)), column.data(),
              pattern.size());
    return 0;
  }
  text.append(" AND (");
  text.append(column);
  text.append(" LIKE '");
  text.append(pattern);
  text += '\'';
  if (dialect != SqlDialect::kSqlServer) text.append(" ESCAPE '\\'");
  text += ')';
  return 1;
}

int AddPatternCondition(std::string& text, std::string_view column, std::string_view value) {
  return AddPatternCondition(text, column, value, CurrentDialect());
}

int AddCaseSensitiveCondition(std::string& text, std::string_view column, std::string_view value,
                              int32_t width, SqlDialect dialect) {
  if (IsNotGiven(value)) return 1;
  if (!FitsCondition(column, value)) return 0;
  switch (dialect) {
    case SqlDialect::kMySql:
      text.append(text.empty() ? "(BINARY " : " AND (BINARY ");
      text.append(column);
      text.append(" = '");
      AppendDoubled(text, value);
      text.append("')");
      break;
    case SqlDialect::kSqlite:
      OpenCondition(text);
      text.append(column);
      text.append(" = '");
      AppendDoubled(text, value);
      text.append("' COLLATE BINARY)");
      break;
    case SqlDialect::kSqlServer:
      text.append(text.empty() ? "CAST(" : " AND CAST(");
      text.append(column);
      text.append(" AS varbinary(");
      AppendNumber(text, width);
      text.append(")) = CAST('");
      AppendDoubled(text, value);
      text.append("' AS varbinary(");
      AppendNumber(text, width);
      text.append("))");
      break;
  }
  return 1;
}

int AddCaseSensitiveCondition(std::string& text, std::string_view column, std::string_view value,
                              int32_t width) {
  return AddCaseSensitiveCondition(text, column, value, width, CurrentDialect());
}

int AddTextAssignment(std::string& text, std::string_view column, std::string_view value) {
  if (!text.empty()) text += ',';
  text.append(column);
  text.append("='");
  AppendDoubled(text, value);
  text += '\'';
  return 1;
}

int AddNumberAssignment(std::string& text, std::string_view column, int32_t value) {
  if (value == kNotGivenNumber) return 1;
  return AddNumberAssignmentAlways(text, column, value);
}

int AddNumberAssignmentAlways(std::string& text, std::string_view column, int32_t value) {
  if (!text.empty()) text += ',';
  text.append(column);
  text += '=';
  AppendNumber(text, value);
  return 1;
}

int ReplaceAll(const char* src, const char* pattern, const char* replacement, char* dst,
               size_t size) {
  if (dst == nullptr || size == 0) return 1;
  std::string result;
  std::string_view source = src != nullptr ? src : "";
  std::string_view from = pattern != nullptr ? pattern : "";
  std::string_view to = replacement != nullptr ? replacement : "";
  if (from.empty()) {
    result.assign(source);
  } else {
    size_t start = 0;
    for (size_t hit; (hit = source.find(from, start)) != std::string_view::npos;
         start = hit + from.size()) {
      result.append(source.substr(start, hit - start));
      result.append(to);
    }
    result.append(source.substr(start));
  }
  size_t length = std::min(result.size(), size - 1);
  std::memcpy(dst, result.data(), length);
  dst[length] = '\0';
  return 1;
}

int EscapeText(int style, const char* src, char* dst, size_t size) {
  // The escaped text keeps at most 254 characters. When it must be cut, it is
  // cut before an escape that would not fit whole: half of "\\" or "''"
  // would turn the closing apostrophe of the literal into text.
  constexpr size_t kLimit = 254;
  std::string_view source = src != nullptr ? src : "";
  source = source.substr(0, kLimit);
  std::string work;
  if (style == 1 || style == 0) {
    for (char c : source) {
      std::string_view piece(&c, 1);
      if (style == 1 && c == '\\') piece = "\\\\";
      if (style == 1 && c == '\'') piece = "\\'";
      if (style == 1 && c == '"') piece = "\\\"";
      if (style == 0 && c == '\'') piece = "''";
      if (work.size() + piece.size() > kLimit) break;
      work.append(piece);
    }
  }
  if (dst == nullptr || work.size() >= size) return 0;
  std::memcpy(dst, work.c_str(), work.size() + 1);
  return 1;
}

}  // namespace tallowmere::provider
