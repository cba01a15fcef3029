#include "statslog/stats/stats_number.h"

#include <charconv>
#include <limits>

namespace tallowmere::stats {

double LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  // from_chars takes no sign and no "0x" prefix; both are handled here.
  if (first < last && *first == '-') return 0.0;
  auto format = std::chars_format::general;
  if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
    const char c = first[2];
    const bool hexStart = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == '.';
    if (hexStart) {
      first += 2;
      format = std::chars_format::hex;
    }
  }
  double value = 0.0;
  const auto result = std::from_chars(first, last, value, format);
  if (result.ec == std::errc::result_out_of_range) {
    // atof gives HUGE_VAL on overflow and 0 on underflow (negative exponent).
    const std::string_view number(first, static_cast<size_t>(result.ptr - first));
    const bool underflow = number.find("e-") != std::string_view::npos || number.find("E-") != std::string_view::npos ||
                           number.find("p-") != std::string_view::npos || number.find("P-") != std::string_view::npos;
    value = underflow ? 0.0 : std::numeric_limits<double>::infinity();
  } else if (result.ec != std::errc()) {
    return 0.0;
  }
  return negative ? -value : value;
}

void AppendFixed(std::string& out, double value) {
  char buffer[400];  // "%f" of the largest double is 316 characters
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  if (result.ec == std::errc()) out.append(buffer, result.ptr);
}

}  // namespace tallowmere::stats
