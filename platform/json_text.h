// JSON string literals from the system's 8-bit text. Thread-safe, never fails.
// Well-formed UTF-8 sequences pass through; every other byte of 0x80 or more
// is taken as code page 1252 and written as UTF-8, so any input gives valid
// JSON. Control characters (and DEL) become \u00XX; quote and backslash are
// escaped.
#pragma once

#include <string>
#include <string_view>

namespace tallowmere::platform {

// Appends text as a quoted JSON string.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace tallowmere::platform
