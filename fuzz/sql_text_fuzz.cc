// Fuzz target: the SQL text builders.
//
// Input: a flags byte (dialect, condition width), then the value. For every
// builder and each dialect, the quoted value must form exactly one literal of
// the dialect (apostrophes doubled; MariaDB sessions run with
// NO_BACKSLASH_ESCAPES, so the standard rule holds there too), decoding to
// the value itself; the text outside the literals must be the builder's fixed
// frame; a LIKE pattern must match exactly what the value asks for ("*" and
// "%" any run, every other character itself); a refused value adds nothing.
// EscapeText's output, put between apostrophes, must be one literal (with
// MariaDB's backslash rule for style 1) decoding to the value or, when cut to
// its limit, to a prefix of it.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/sql_literals.h"
#include "provider/sql_text.h"

namespace tallowmere::fuzz {

namespace {

using provider::SqlDialect;

// A LIKE pattern as a sequence of "any run" (-1) and literal bytes.
using Match = std::vector<int>;

Match FromValue(std::string_view value) {
  Match m;
  for (char c : value) m.push_back(c == '*' || c == '%' ? -1 : static_cast<unsigned char>(c));
  return m;
}

// Decodes a LIKE pattern; false when it holds a single-character wildcard
// or a broken escape (the value asked for neither).
bool FromPattern(std::string_view pattern, SqlDialect dialect, Match& m) {
  m.clear();
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '%') {
      m.push_back(-1);
    } else if (c == '_') {
      return false;
    } else if (dialect == SqlDialect::kSqlServer && c == '[') {
      // Only "[x]" with one character stands for that character here.
      if (i + 2 >= pattern.size() || pattern[i + 2] != ']') return false;
      m.push_back(static_cast<unsigned char>(pattern[i + 1]));
      i += 2;
    } else if (dialect != SqlDialect::kSqlServer && c == '\\') {
      if (i + 1 >= pattern.size()) return false;
      m.push_back(static_cast<unsigned char>(pattern[++i]));
    } else {
      m.push_back(static_cast<unsigned char>(c));
    }
  }
  return true;
}

bool Given(std::string_view value) { return !value.empty() && value != "(Nil)"; }

// Runs a builder on `start`; checks the refusal rule and the literals.
template <typename Build>
void Check(const std::string& start, std::string_view expectedSkeleton, std::string_view value, Build build,
           std::vector<std::string> expectedLiterals) {
  std::string text = start;
  int result = build(text);
  if (result == 0) {
    FUZZ_CHECK(text == start);
    FUZZ_CHECK(Given(value));
    return;
  }
  FUZZ_CHECK(result == 1);
  LexedSql lexed;
  FUZZ_CHECK(LexSql(text, false, lexed));
  FUZZ_CHECK(lexed.skeleton == expectedSkeleton);
  FUZZ_CHECK(lexed.literals == expectedLiterals);
}

void CheckDialect(SqlDialect dialect, int32_t width, std::string_view value) {
  const std::string v(value);
  const std::string first = "(x = 1)";
  bool given = Given(value);

  Check("", given ? "(col = ?)" : "", value,
        [&](std::string& t) { return provider::AddTextCondition(t, "col", value); },
        given ? std::vector<std::string>{v} : std::vector<std::string>{});
  Check(first, given ? "(x = 1) AND (col = ?)" : first, value,
        [&](std::string& t) { return provider::AddTextCondition(t, "col", value); },
        given ? std::vector<std::string>{v} : std::vector<std::string>{});
  Check("", "col=?", value, [&](std::string& t) { return provider::AddTextAssignment(t, "col", value); }, {v});
  Check("a=1", "a=1,col=?", value, [&](std::string& t) { return provider::AddTextAssignment(t, "col", value); },
        {v});

  // Patterns: equality as the first condition or without "*".
  bool like = given && value.find('*') != std::string_view::npos;
  Check("", given ? "(col = ?)" : "", value,
        [&](std::string& t) { return provider::AddPatternCondition(t, "col", value, dialect); },
        given ? std::vector<std::string>{v} : std::vector<std::string>{});
  if (!like) {
    Check(first, given ? "(x = 1) AND (col = ?)" : first, value,
          [&](std::string& t) { return provider::AddPatternCondition(t, "col", value, dialect); },
          given ? std::vector<std::string>{v} : std::vector<std::string>{});
  } else {
    std::string text = first;
    if (provider::AddPatternCondition(text, "col", value, dialect) == 1) {
      LexedSql lexed;
      FUZZ_CHECK(LexSql(text, false, lexed));
      if (dialect == SqlDialect::kSqlServer) {
        FUZZ_CHECK(lexed.skeleton == "(x = 1) AND (col LIKE ?)");
        FUZZ_CHECK(lexed.literals.size() == 1);
      } else {
        FUZZ_CHECK(lexed.skeleton == "(x = 1) AND (col LIKE ? ESCAPE ?)");
        FUZZ_CHECK(lexed.literals.size() == 2 && lexed.literals[1] == "\\");
      }
      Match m;
      FUZZ_CHECK(FromPattern(lexed.literals[0], dialect, m));
      FUZZ_CHECK(m == FromValue(value));
    } else {
      FUZZ_CHECK(text == first);
    }
  }

  // Byte-exact comparison.
  std::string w = std::to_string(width);
  std::string_view frame;
  std::string sqlServer = "CAST(col AS varbinary(" + w + ")) = CAST(? AS varbinary(" + w + "))";
  switch (dialect) {
    case SqlDialect::kMySql: frame = "(BINARY col = ?)"; break;
    case SqlDialect::kSqlite: frame = "(col = ? COLLATE BINARY)"; break;
    case SqlDialect::kSqlServer: frame = sqlServer; break;
  }
  Check("", given ? frame : "", value,
        [&](std::string& t) { return provider::AddCaseSensitiveCondition(t, "col", value, width, dialect); },
        given ? std::vector<std::string>{v} : std::vector<std::string>{});
}

void CheckEscapeText(std::string_view value) {
  std::string source(value.substr(0, value.find('\0')));  // a C string ends at its first NUL
  for (int style : {0, 1}) {
    char out[300];
    if (provider::EscapeText(style, source.c_str(), out, sizeof out) != 1) continue;
    FUZZ_CHECK(std::strlen(out) <= 254);
    LexedSql lexed;
    FUZZ_CHECK(LexSql("'" + std::string(out) + "'", style == 1, lexed));
    FUZZ_CHECK(lexed.skeleton == "?");
    FUZZ_CHECK(source.compare(0, lexed.literals[0].size(), lexed.literals[0]) == 0);
    if (source.size() <= 127) FUZZ_CHECK(lexed.literals[0] == source);
  }
  char small[8];
  std::memset(small, 'z', sizeof small);
  if (provider::EscapeText(1, source.c_str(), small, sizeof small) == 1) FUZZ_CHECK(std::strlen(small) < sizeof small);

  // ReplaceAll into a buffer of exactly the size given.
  std::string pattern = source.empty() ? "a" : source.substr(0, 1 + source.size() % 3);
  for (size_t size : {size_t{1}, size_t{7}, size_t{300}}) {
    std::vector<char> dst(size);
    FUZZ_CHECK(provider::ReplaceAll(source.c_str(), pattern.c_str(), "''", dst.data(), size) == 1);
    FUZZ_CHECK(std::memchr(dst.data(), '\0', size) != nullptr);
  }
}

}  // namespace

int FuzzSqlText(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  int32_t width = 1 + data[0];
  std::string_view value(reinterpret_cast<const char*>(data) + 1, size - 1);
  for (SqlDialect dialect : {SqlDialect::kSqlServer, SqlDialect::kMySql, SqlDialect::kSqlite}) {
    CheckDialect(dialect, width, value);
  }
  CheckEscapeText(value);
  return 0;
}

}  // namespace tallowmere::fuzz
