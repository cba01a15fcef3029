// Numbers in statistics values: the leading number of a text, read as the C
// library's atof reads it in the "C" locale, and "%f" formatting (six
// decimals), both independent of the host's locale. Thread-safe; never fail.
#pragma once

#include <string>
#include <string_view>

namespace tallowmere::stats {

// Leading blanks skipped, an optional sign, then a decimal or hexadecimal
// number, "inf" or "nan"; 0 when no number leads.
double LeadingNumber(std::string_view text);

// Appends `value` formatted as "%f" does.
void AppendFixed(std::string& out, double value);

}  // namespace tallowmere::stats
