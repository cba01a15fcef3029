// Reads one log file of either dialect line by line: header lines remap the
// columns, "#Version" directives are checked against MINVERSION, record lines
// are split into columns and counted by the Aggregator. Blank lines count
// nothing, and so do records before the file's first header line. Not
// thread-safe; one LogReader serves all files of one call. ReadFile returns
// the outcome; only std::bad_alloc escapes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "statslog/logproc/aggregation.h"
#include "statslog/logproc/column_map.h"
#include "statslog/logproc/line_reader.h"
#include "statslog/logproc/report_definition.h"

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

// The caller's buffer for the version failure message; always NUL-terminated,
// never written past size (nothing is written when size is 0).
class ResultText {
 public:
  ResultText(char* data, size_t size) : data_(size > 0 ? data : nullptr), size_(data ? size : 0) {}
  void Clear();
  void Set(std::string_view text);  // cut to size − 1 characters
 private:
  char* data_;
  size_t size_;
};

enum class ReadOutcome {
  kRead,           // opened and read to its end
  kNotOpened,      // missing or unreadable
  kVersionFailed,  // a "#Version" directive lacked MINVERSION; message in the result text
  kReadError,      // a read failed part way
};

class LogReader {
 public:
  LogReader(const ReportDefinition& def, Aggregator& aggregator, ResultText& result);

  ReadOutcome ReadFile(std::string_view path);
  // Reads an already open stream (tests, and ReadFile itself).
  ReadOutcome ReadStream(LineReader& lines);

  uint64_t recordsCounted() const { return records_; }

 private:
  bool ProcessLine(const LogLine& line);

  const ReportDefinition& def_;
  Aggregator& aggregator_;
  ResultText& result_;
  const bool tab_;
  ColumnMap map_;
  std::vector<std::string_view> header_;
  std::vector<std::string_view> columns_;
  uint64_t records_ = 0;
};

}  // namespace tallowmere::logproc
