// One log-processing call: parses the report definition, reads the day's log
// file or, when there is none, its 24 hourly files, counts the records, and
// stores the results, the "LastModified" and "State" flags and the report
// file through a StatsWriter. Without any file read to its end it stores only
// the flags of the no-data path. Re-entrant (calls share nothing); only
// std::bad_alloc escapes, and then nothing has been stored.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string_view>

#include "statslog/logproc/log_reader.h"
#include "statslog/logproc/stats_writer.h"

namespace tallowmere::logproc {

struct ProcessOptions {
  std::FILE* console = nullptr;          // diagnostic lines; nullptr prints none
  std::function<int64_t()> clock;        // seconds since 1970-01-01 UTC; empty: the system clock
};

// What a call did, for hosts and tests.
struct ProcessSummary {
  bool resultsStored = false;  // the results path was taken
  uint64_t records = 0;        // record lines counted
  size_t groups = 0;
};

ProcessSummary ProcessLogFiles(std::string_view definition, ResultText& result, StatsWriter& writer,
                               const ProcessOptions& options);

}  // namespace tallowmere::logproc
