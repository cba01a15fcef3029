#include "statslog/logproc/log_reader.h"

#include <string>

#include "statslog/logproc/text_util.h"

namespace tallowmere::logproc {

LogReader::LogReader(const ReportDefinition& def, Aggregator& aggregator, ResultText& result)
    : def_(def), aggregator_(aggregator), result_(result), tab_(!def.format.empty()) {}

ReadOutcome LogReader::ReadStream(LineReader& lines) {
  // Each file maps its own header before its records count.
  map_.mapped = false;
  LogLine line;
  while (lines.Next(line)) {
    if (!ProcessLine(line)) return ReadOutcome::kVersionFailed;
  }
  return lines.error() ? ReadOutcome::kReadError : ReadOutcome::kRead;
}

bool LogReader::ProcessLine(const LogLine& line) {
  const std::string_view text = line.text;
  switch (ClassifyLine(text, tab_)) {
    case LineClass::kBlank:
      return true;
    case LineClass::kRecord:
      if (!map_.mapped) return true;
      SplitColumnsUpTo(text, def_.delimiter, map_.neededColumns, columns_);
      aggregator_.AggregateRecord(columns_, map_);
      ++records_;
      return true;
    case LineClass::kHeader:
      SplitColumns(tab_ ? text : text.substr(9), def_.delimiter, header_);
      MapHeader(def_, header_, map_);
      return true;
    case LineClass::kDirective:
      if (!def_.minVersion.empty() && text.find("#Version") != std::string_view::npos &&
          text.find(def_.minVersion) == std::string_view::npos) {
        std::string message = "<FAILURE>Invalid File Version: Required [";
        message += def_.minVersion;
        message += "]; Found [";
        message += line.raw;
        message += "]</FAILURE>";
        result_.Set(message);
        return false;
      }
      return true;
  }
  return true;
}

}  // namespace tallowmere::logproc
