// A small SQL lexer for the fuzz targets: splits a statement text into the
// text outside string literals (each literal replaced by "?") and the decoded
// literals, so that a target can assert that a quoted value formed exactly
// one literal and nothing of it leaked into the statement. Test-only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tallowmere::fuzz {

struct LexedSql {
  std::string skeleton;               // the text with "?" for each literal
  std::vector<std::string> literals;  // their decoded contents
};

// Standard rule (SQL Server, SQLite, MariaDB with NO_BACKSLASH_ESCAPES): "''"
// inside a literal stands for one apostrophe. With backslashEscapes (MariaDB's
// default mode) a backslash also takes the next byte into the literal.
// False when a literal is left open at the end of the text.
inline bool LexSql(std::string_view text, bool backslashEscapes, LexedSql& out) {
  out = {};
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '\'') {
      out.skeleton += text[i++];
      continue;
    }
    std::string literal;
    ++i;
    for (;;) {
      if (i >= text.size()) return false;
      char c = text[i];
      if (backslashEscapes && c == '\\') {
        if (i + 1 >= text.size()) return false;
        char next = text[i + 1];
        switch (next) {
          case '0': literal += '\0'; break;
          case 'n': literal += '\n'; break;
          case 'r': literal += '\r'; break;
          case 't': literal += '\t'; break;
          case 'b': literal += '\b'; break;
          case 'Z': literal += '\x1a'; break;
          case '%': case '_': literal += '\\'; literal += next; break;
          default: literal += next; break;
        }
        i += 2;
      } else if (c == '\'') {
        if (i + 1 < text.size() && text[i + 1] == '\'') {
          literal += '\'';
          i += 2;
        } else {
          ++i;
          break;
        }
      } else {
        literal += c;
        ++i;
      }
    }
    out.skeleton += '?';
    out.literals.push_back(std::move(literal));
  }
  return true;
}

}  // namespace tallowmere::fuzz
