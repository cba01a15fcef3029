#include "statslog/logproc/log_line.h"

#include <cstring>

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

}  // namespace tallowmere::logproc
