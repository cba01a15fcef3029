#include "statslog/logproc/text_util.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <system_error>

namespace tallowmere::logproc {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool ContainsNoCase(std::string_view text, std::string_view pattern) {
  if (pattern.empty() || text.size() < pattern.size()) return false;
  const char first = UpperAscii(pattern[0]);
  const char firstLower = (first >= 'A' && first <= 'Z') ? static_cast<char>(first + 32) : first;
  const std::string_view rest = pattern.substr(1);
  const size_t last = text.size() - pattern.size();
  for (size_t i = 0; i <= last; ++i) {
    const char c = text[i];
    if (c != first && c != firstLower) continue;
    if (EqualsNoCase(text.substr(i + 1, rest.size()), rest)) return true;
  }
  return false;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

double LeadingNumber(std::string_view text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const size_t start = i;
  // Fast path: a plain run of digits, the common case of byte counts.
  uint64_t whole = 0;
  size_t digits = 0;
  while (i < n && IsDigit(text[i])) {
    whole = whole * 10 + static_cast<uint64_t>(text[i] - '0');
    ++i;
    ++digits;
  }
  const bool more = i < n && (text[i] == '.' || text[i] == 'e' || text[i] == 'E');
  if (!more && digits <= 15) {
    const double v = static_cast<double>(whole);
    return negative ? -v : v;
  }
  // General form: digits, optional fraction, optional exponent with digits.
  size_t end = i;
  size_t fractionDigits = 0;
  if (end < n && text[end] == '.') {
    size_t j = end + 1;
    while (j < n && IsDigit(text[j])) ++j;
    fractionDigits = j - end - 1;
    if (digits + fractionDigits > 0) end = j;
  }
  if (digits + fractionDigits == 0) return 0.0;
  if (end < n && (text[end] == 'e' || text[end] == 'E')) {
    size_t j = end + 1;
    if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
    const size_t expStart = j;
    while (j < n && IsDigit(text[j])) ++j;
    if (j > expStart) end = j;
  }
  double value = 0.0;
  const auto result = std::from_chars(text.data() + start, text.data() + end, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Overflow or underflow: from_chars leaves value untouched. Decide by the
    // exponent's sign whether the number is huge or tiny.
    const std::string_view rest = text.substr(start, end - start);
    const size_t e = rest.find_first_of("eE");
    const bool tiny = e != std::string_view::npos && e + 1 < rest.size() && rest[e + 1] == '-';
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  } else if (result.ec != std::errc()) {
    value = 0.0;
  }
  return negative ? -value : value;
}

int32_t LeadingInteger(std::string_view text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  while (i < n && IsDigit(text[i])) {
    if (value <= kLimit) value = value * 10 + (text[i] - '0');
    ++i;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

void AppendFixed6(std::string& out, double value) {
  // The largest double in fixed notation has 309 integer digits.
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  out.append(buffer, result.ptr);
}

}  // namespace tallowmere::logproc
