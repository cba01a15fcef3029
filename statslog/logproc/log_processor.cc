#include "statslog/logproc/log_processor.h"

#include <cerrno>
#include <chrono>
#include <string>

#include "platform/file_system.h"
#include "platform/last_error.h"
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
  if (!file.Open(path)) {
    // No such file, or a directory under its name: no log. Anything else
    // (no permission, an I/O error) is a log that cannot be read.
    const int error = platform::LastError();
    const bool missing = error == ENOENT || error == ENOTDIR || error == EISDIR;
    return missing ? ReadOutcome::kNotOpened : ReadOutcome::kReadError;
  }
  LineReader lines([&file](char* buffer, size_t size) { return file.Read(buffer, size); });
  return reader.ReadStream(lines);
}

enum class DayRead { kData, kNoData, kUnreadable };

// Reads the daily file, or the hourly files when there is no daily file.
// kData when at least one file was read to its end; kUnreadable (with the
// file's path) when a file is there but could not be opened or read.
DayRead ReadDay(const ReportDefinition& def, LogReader& reader, std::FILE* console, std::string& unreadable) {
  const std::optional<std::string> directory = LogDirectory(def);
  const std::optional<std::string> daily = LogFileName(def);
  if (!directory || !daily) return DayRead::kNoData;

  auto read = [&](const std::string& name) {
    PrintProcessing(console, name);
    const std::string path = LogFilePath(def, *directory, name);
    const ReadOutcome outcome = ReadLogFile(reader, path);
    if (outcome == ReadOutcome::kReadError) unreadable = path;
    return outcome;
  };

  platform::DirectorySearch search;
  platform::DirectoryEntry entry;
  if (search.First(LogFilePath(def, *directory, *daily), entry)) {
    search.Close();
    // A directory or a hidden entry under the daily name holds no log, and
    // the hourly files are then not tried.
    if ((entry.attributes & platform::kAttrDirectory) != 0 || entry.name.starts_with(".")) return DayRead::kNoData;
    const ReadOutcome outcome = read(entry.name);
    if (outcome == ReadOutcome::kReadError) return DayRead::kUnreadable;
    return outcome == ReadOutcome::kRead ? DayRead::kData : DayRead::kNoData;
  }

  bool any = false;
  for (int hour = 0; hour < 24; ++hour) {
    const ReadOutcome outcome = read(*LogFileName(def, hour));
    if (outcome == ReadOutcome::kReadError) return DayRead::kUnreadable;
    if (outcome == ReadOutcome::kRead) any = true;
  }
  return any ? DayRead::kData : DayRead::kNoData;
}

}  // namespace

ProcessSummary ProcessLogFiles(std::string_view definition, ResultText& result, StatsWriter& writer,
                               const ProcessOptions& options) {
  result.Clear();
  const ReportDefinition def = ParseReportDefinition(definition);
  Aggregator rows(def);
  LogReader reader(def, rows, result);
  ProcessSummary summary;

  std::string unreadable;
  const DayRead day = ReadDay(def, reader, options.console, unreadable);
  if (day == DayRead::kUnreadable) {
    // A log that is there but cannot be read is not a day without data:
    // nothing is stored and no flag is written, so the day stays as it was
    // and a later run counts it whole.
    result.Set("<FAILURE>Log File Unreadable: [" + unreadable + "]</FAILURE>");
    Print(options.console, "Processed: Log File Unreadable\n");
    return summary;
  }
  if (day == DayRead::kData) {
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
