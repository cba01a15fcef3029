#include "statslog/logproc/log_line.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
  if (count == 0) return;
  const char* const p = text.data();
  const size_t n = text.size();
  size_t found = 0;
  size_t columnStart = 0;
  size_t i = 0;
  // Records are split on the hot path: test 16 bytes at a time for the
  // delimiter and walk the set bits, rather than one library call per column.
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(delimiter);
  for (; i + 16 <= n; i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, wanted)));
    while (mask != 0) {
      const size_t at = i + static_cast<size_t>(__builtin_ctz(mask));
      out[found++] = std::string_view(p + columnStart, at - columnStart);
      if (found == count) return;
      columnStart = at + 1;
      mask &= mask - 1;
    }
  }
#endif
  for (; i < n; ++i) {
    if (p[i] != delimiter) continue;
    out[found++] = std::string_view(p + columnStart, i - columnStart);
    if (found == count) return;
    columnStart = i + 1;
  }
  out[found++] = std::string_view(p + columnStart, n - columnStart);
  for (; found < count; ++found) out[found] = std::string_view();
}

}  // namespace tallowmere::logproc
