// Text helpers of the log processing hot path: ASCII case-insensitive compare
// and search, the leading-number reads of log columns and definition values,
// and the six-decimal fixed rendering of stored numbers. All work on
// std::string_view, allocate nothing (except the appending formatter) and are
// locale-independent. Re-entrant; no function fails or throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tallowmere::logproc {

// ASCII upper-casing (a-z only), as the "C" locale does.
inline char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// True when a and b are equal comparing ASCII letters ignoring case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// True when text starts with prefix, ignoring ASCII letter case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// True when pattern occurs in text ignoring ASCII letter case. An empty
// pattern never occurs.
bool ContainsNoCase(std::string_view text, std::string_view pattern);

// The leading decimal number of a column: optional white space, an optional
// sign, digits with an optional decimal point, an optional exponent. Reading
// stops at the first character that does not fit; no number reads as 0.
double LeadingNumber(std::string_view text);

// The leading decimal integer of a definition value: optional white space, an
// optional sign, digits; stops at the first non-digit; no digits reads as 0.
// Values outside the 32-bit range saturate at its ends.
int32_t LeadingInteger(std::string_view text);

// Appends value as C's "%f" renders it (fixed point, six decimals).
void AppendFixed6(std::string& out, double value);

}  // namespace tallowmere::logproc
