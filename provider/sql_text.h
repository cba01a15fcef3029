// SQL text builders: conditions joined into a match text (each in
// parentheses, joined by " AND ") and assignments joined into a SET list
// (joined by ","), values written in as literals. Each builder appends to the
// growing text and chooses the opening form when the text is still empty.
// Re-entrant; no state.
//
// Literals: every apostrophe is doubled. That is exact for SQL Server and
// SQLite, and for MySQL/MariaDB because every connection the core opens runs
// with NO_BACKSLASH_ESCAPES (see connection.h), so a backslash is an ordinary
// character whatever the server's global sql_mode.
//
// Failure: a condition value whose quoted text would exceed
// kMaxConditionValue characters is refused: the builder returns 0, appends
// nothing and logs one level-9 line; the caller must abandon the operation.
// Every other call returns 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "provider/settings.h"

namespace tallowmere::provider {

// Longest quoted condition value (apostrophes doubled), in characters.
inline constexpr size_t kMaxConditionValue = 2047;

// True when a text value counts as not given: empty or exactly "(Nil)".
bool IsNotGiven(std::string_view value);
// The integer marker of a value that is not given.
inline constexpr int32_t kNotGivenNumber = -1;

// Appends value with every "'" doubled (no enclosing apostrophes).
void AppendDoubled(std::string& text, std::string_view value);
// "'" value-with-apostrophes-doubled "'".
std::string QuoteText(std::string_view value);

// "(col = 'v')" / " AND (col = 'v')"; nothing when not given.
int AddTextCondition(std::string& text, std::string_view column, std::string_view value);
// "(col = n)" / " AND (col = n)"; nothing for -1.
int AddNumberCondition(std::string& text, std::string_view column, int32_t value);
// As AddTextCondition when the text is empty or the value has no "*";
// otherwise " AND (col LIKE 'pattern')" with "*" → "%" and "_" made literal:
//   kSqlServer: "[" → "[[]", "_" → "[_]";
//   kMySql, kSqlite: "\" → "\\", "_" → "\_", and " ESCAPE '\'" after the
//   pattern, so the escape character holds in every sql_mode.
// "%" and "?" in the value pass through ("%" is a wildcard too).
int AddPatternCondition(std::string& text, std::string_view column, std::string_view value,
                        SqlDialect dialect);
int AddPatternCondition(std::string& text, std::string_view column, std::string_view value);
// Byte-exact comparison:
//   kMySql:     "(BINARY col = 'v')"
//   kSqlServer: "CAST(col AS varbinary(w)) = CAST('v' AS varbinary(w))"
//   kSqlite:    "(col = 'v' COLLATE BINARY)"
// joined with " AND " in front.
int AddCaseSensitiveCondition(std::string& text, std::string_view column, std::string_view value,
                              int32_t width, SqlDialect dialect);
int AddCaseSensitiveCondition(std::string& text, std::string_view column, std::string_view value,
                              int32_t width);

// "col='v'" / ",col='v'", always written. Returns 1.
int AddTextAssignment(std::string& text, std::string_view column, std::string_view value);
// "col=n" / ",col=n"; nothing for -1. Returns 1.
int AddNumberAssignment(std::string& text, std::string_view column, int32_t value);
// "col=n" / ",col=n", -1 included. Returns 1.
int AddNumberAssignmentAlways(std::string& text, std::string_view column, int32_t value);

// Writes src into dst (size bytes) with every occurrence of pattern
// (non-empty, case-sensitive, left to right, not re-scanned) replaced.
// The result is cut to fit. Returns 1.
int ReplaceAll(const char* src, const char* pattern, const char* replacement, char* dst,
               size_t size);
// Style 1 (MySQL literal): "\" → "\\", "'" → "\'", '"' → '\"'; style 0
// (SQL Server literal): "'" → "''"; other styles: empty text. The result is
// limited to 254 characters. Returns 1 when it fitted `size` (dst written),
// else 0 (dst untouched).
int EscapeText(int style, const char* src, char* dst, size_t size);

}  // namespace tallowmere::provider
