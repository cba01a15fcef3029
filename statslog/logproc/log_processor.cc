#include "statslog/logproc/log_processor.h"

#include <chrono>
#include <string>

#include "platform/file_system.h"
#include "statslog/logproc/aggregation.h"
#include "statslog/logproc/log_file_names.h"
#include "statslog/logproc/report_definition.h"
#include "statslog/logproc/results_writer.h"

namespace tallowmere::logproc {
namespace {

void Print(std::FILE* console, const std::string& text) {
  if (console != nullptr) std::fwrite(text.data(), 1, text.size(), console);
}

void PrintProcessing(std::FILE* console, const std::string& name) {
  Print(console, "ProcessW3CLogFile::Processing: " + name + " \n");
}

// One diagnostic line per group key, in the order the keys first appeared.
void PrintElements(std::FILE* console, const Aggregator& rows) {
  if (console == nullptr) return;
  std::string text;
  for (const std::string& key : rows.keys()) {
    text += "Element: ";
    text += key;
    text += '\n';
    if (text.size() >= (size_t{1} << 16)) {
      Print(console, text);
      text.clear();
    }
  }
  Print(console, text);
}

int64_t Now(const ProcessOptions& options) {
  if (options.clock) return options.clock();
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

ReadOutcome ReadLogFile(LogReader& reader, const std::string& path) {
  platform::InputFile file;
  if (!file.Open(path)) return ReadOutcome::kNotOpened;
  LineReader lines([&file](char* buffer, size_t size) { return file.Read(buffer, size); });
  return reader.ReadStream(lines);
}

// Reads the daily file, or the hourly files when there is no daily file.
// True when at least one file was read to its end.
bool ReadDay(const ReportDefinition& def, LogReader& reader, std::FILE* console) {
  const std::optional<std::string> directory = LogDirectory(def);
  const std::optional<std::string> daily = LogFileName(def);
  if (!directory || !daily) return false;

  platform::DirectorySearch search;
  platform::DirectoryEntry entry;
  if (search.First(LogFilePath(def, *directory, *daily), entry)) {
    search.Close();
    // A directory or a hidden entry under the daily name holds no log, and
    // the hourly files are then not tried.
    if ((entry.attributes & platform::kAttrDirectory) != 0 || entry.name.starts_with(".")) return false;
    PrintProcessing(console, entry.name);
    return ReadLogFile(reader, LogFilePath(def, *directory, entry.name)) == ReadOutcome::kRead;
  }

  bool any = false;
  for (int hour = 0; hour < 24; ++hour) {
    const std::string name = *LogFileName(def, hour);
    PrintProcessing(console, name);
    if (ReadLogFile(reader, LogFilePath(def, *directory, name)) == ReadOutcome::kRead) any = true;
  }
  return any;
}

}  // namespace

ProcessSummary ProcessLogFiles(std::string_view definition, ResultText& result, StatsWriter& writer,
                               const ProcessOptions& options) {
  result.Clear();
  const ReportDefinition def = ParseReportDefinition(definition);
  Aggregator rows(def);
  LogReader reader(def, rows, result);
  ProcessSummary summary;

  if (ReadDay(def, reader, options.console)) {
    summary.resultsStored = true;
    summary.records = reader.recordsCounted();
    summary.groups = rows.rowCount();
    PrintElements(options.console, rows);
    WriteResults(rows, def, writer, Now(options), options.console);
    if (!def.outputFileName.empty()) {
      platform::ReplaceFileContents(def.outputFileName, ReportFileText(rows, def));
    }
    writer.SetFlag(def.server, def.statusScope, StatusFileName(def), def.logSchema, "State", "[COMPLETE]");
    return summary;
  }

  // No data: the flags only, with PostofficeScope; nothing counted is kept.
  // Without a PERIOD there is no status file to name.
  if (!def.period.empty()) {
    writer.SetFlag(def.server, 1, StatusFileName(def), def.logSchema, "LastModified",
                   std::to_string(static_cast<int32_t>(Now(options))));
    writer.SetFlag(def.server, 1, StatusFileName(def), def.logSchema, "State", "[NODATA]");
  }
  Print(options.console, "Processed: No Data Available\n");
  return summary;
}

}  // namespace tallowmere::logproc
