#include "statslog/logproc/process_delimited_log_file.h"

#include <cstdio>

#include "statslog/logproc/store_stats_writer.h"

namespace tallowmere::logproc {

ProcessSummary ProcessDelimitedLogFile(std::string_view definition, char* resultText, size_t resultSize) {
  ResultText result(resultText, resultSize);
  StoreStatsWriter writer;
  ProcessOptions options;
  options.console = stdout;
  const ProcessSummary summary = ProcessLogFiles(definition, result, writer, options);
  std::fflush(stdout);
  return summary;
}

}  // namespace tallowmere::logproc
