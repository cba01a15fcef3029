#include "statslog/logproc/log_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/file_system.h"
#include "statslog/logproc/text_util.h"

namespace tallowmere::logproc {

LineClass ClassifyLine(std::string_view text, bool tab) {
  if (text.empty()) return LineClass::kBlank;
  const char first = text[0];
  if (first == ' ' || first == '\t') {
    if (text.find_first_not_of(" \t") == std::string_view::npos) return LineClass::kBlank;
  }
  if (first == '#') {
    if (!tab && StartsWithNoCase(text, "#Fields: ")) return LineClass::kHeader;
    return LineClass::kDirective;
  }
  if (!tab) return LineClass::kRecord;
  return (first >= '0' && first <= '9') ? LineClass::kRecord : LineClass::kHeader;
}

void SplitColumns(std::string_view text, char delimiter, std::vector<std::string_view>& out) {
  out.clear();
  if (text.empty()) return;
  size_t start = 0;
  while (true) {
    const size_t at = text.find(delimiter, start);
    if (at == std::string_view::npos) {
      out.push_back(text.substr(start));
      return;
    }
    out.push_back(text.substr(start, at - start));
    start = at + 1;
  }
}

void SplitColumnsUpTo(std::string_view text, char delimiter, size_t count, std::vector<std::string_view>& out) {
  out.resize(count);
  const char* p = text.data();
  const char* const end = p + text.size();
  size_t i = 0;
  while (i < count) {
    const void* found = p < end ? std::memchr(p, delimiter, static_cast<size_t>(end - p)) : nullptr;
    if (found == nullptr) {
      out[i++] = std::string_view(p, static_cast<size_t>(end - p));
      break;
    }
    const char* stop = static_cast<const char*>(found);
    out[i++] = std::string_view(p, static_cast<size_t>(stop - p));
    p = stop + 1;
  }
  for (; i < count; ++i) out[i] = std::string_view();
}

void ResultText::Clear() {
  if (data_ != nullptr) data_[0] = '\0';
}

void ResultText::Set(std::string_view text) {
  if (data_ == nullptr) return;
  const size_t n = std::min(text.size(), size_ - 1);
  if (n > 0) std::memcpy(data_, text.data(), n);
  data_[n] = '\0';
}

LogReader::LogReader(const ReportDefinition& def, Aggregator& aggregator, ResultText& result)
    : def_(def), aggregator_(aggregator), result_(result), tab_(!def.format.empty()) {}

ReadOutcome LogReader::ReadFile(std::string_view path) {
  platform::InputFile file;
  if (!file.Open(path)) return ReadOutcome::kNotOpened;
  LineReader lines([&file](char* buffer, size_t size) { return file.Read(buffer, size); });
  return ReadStream(lines);
}

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
