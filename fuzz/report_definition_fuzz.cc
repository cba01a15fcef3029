// Fuzz target: the report-definition parse and the log file names built from
// it. Any text gives a definition within its bounds: 1 to 10 fields, the
// stored elements cut to their widths, a space or tab delimiter, and file
// names only from a well-formed PERIOD. (The definition is not run: a fuzzed
// FILENAME or OUTPUTFILENAME could name any file of the machine.)
#include <string>

#include "fuzz/fuzz_check.h"
#include "statslog/logproc/log_file_names.h"
#include "statslog/logproc/report_definition.h"

namespace tallowmere::fuzz {

int FuzzReportDefinition(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  logproc::ReportDefinition def = logproc::ParseReportDefinition(text);
  FUZZ_CHECK(def.fieldCount >= 1 && def.fieldCount <= logproc::kMaxFields);
  FUZZ_CHECK(def.delimiter == ' ' || def.delimiter == '\t');
  for (const std::string* s : {&def.fileName, &def.outputFileName, &def.statsRoot, &def.minVersion}) {
    FUZZ_CHECK(s->size() <= 1022);
  }
  for (const std::string* s : {&def.server, &def.scope, &def.groupAs, &def.fieldCountText, &def.logSchema}) {
    FUZZ_CHECK(s->size() <= 254);
  }
  FUZZ_CHECK(def.period.size() <= 62 && def.format.size() <= 62);
  for (int i = 0; i < def.fieldCount; ++i) {
    for (const logproc::Operand& operand : def.fields[static_cast<size_t>(i)].operands) {
      FUZZ_CHECK(operand.name.size() <= text.size() && operand.value.size() <= text.size());
    }
  }
  logproc::LogDirectory(def);
  auto daily = logproc::LogFileName(def);
  if (daily) FUZZ_CHECK(def.period.size() >= 11 && daily->find_first_of("/\\") == std::string::npos);
  for (int hour : {0, 23, 24}) {
    auto hourly = logproc::LogFileName(def, hour);
    if (hour == 24) FUZZ_CHECK(!hourly);
    if (hourly) FUZZ_CHECK(hourly->find_first_of("/\\") == std::string::npos);
  }
  logproc::ParseFieldText(text);
  return 0;
}

}  // namespace tallowmere::fuzz
