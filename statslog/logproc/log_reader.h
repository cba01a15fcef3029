// Reads the lines of one log file of either dialect: header lines remap the
// columns, "#Version" directives are checked against MINVERSION, record lines
// are split into columns and counted by the Aggregator. Blank lines count
// nothing, and so do records before the file's first header line. Not
// thread-safe; one LogReader serves all files of one call. Only
// std::bad_alloc escapes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "statslog/logproc/aggregation.h"
#include "statslog/logproc/column_map.h"
#include "statslog/logproc/line_reader.h"
#include "statslog/logproc/log_line.h"
#include "statslog/logproc/result_text.h"
#include "statslog/logproc/report_definition.h"

namespace tallowmere::logproc {

enum class ReadOutcome {
  kRead,           // opened and read to its end
  kNotOpened,      // missing
  kVersionFailed,  // a "#Version" directive lacked MINVERSION; message in the result text
  kReadError,      // there, but it could not be opened or a read failed part way
};

class LogReader {
 public:
  LogReader(const ReportDefinition& def, Aggregator& aggregator, ResultText& result);

  // Reads one file's lines to their end or to a version failure; returns
  // kRead, kVersionFailed or kReadError.
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
