// Line classes of the two log dialects and the splitting of a line into
// columns (views into the line; nothing is copied or allocated once the
// output vector has its size). Re-entrant; nothing fails.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace tallowmere::logproc {

enum class LineClass { kBlank, kHeader, kDirective, kRecord };

// W3C extended (tab == false): "#Fields: " in any case starts a header, any
// other "#" line is a directive, everything else a record. Tab-separated: "#"
// starts a directive, a digit a record, anything else a header. A line of
// nothing but blanks and tabs is blank in both.
LineClass ClassifyLine(std::string_view text, bool tab);

// Splits text at delimiter into out, every column (none for an empty text).
// Consecutive delimiters give empty columns; blanks are kept.
void SplitColumns(std::string_view text, char delimiter, std::vector<std::string_view>& out);

// As SplitColumns, but out gets exactly `count` entries: columns past the
// count are not looked at, and columns the text lacks are empty.
void SplitColumnsUpTo(std::string_view text, char delimiter, size_t count, std::vector<std::string_view>& out);

}  // namespace tallowmere::logproc
