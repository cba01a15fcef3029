// Conversions between the system's 8-bit text (Windows code page 1252) and
// Unicode: the registry reader turns UTF-16 and UTF-8 files into 8-bit text,
// the event log turns 8-bit text into UTF-8 for its JSON lines.
// Pure functions, thread-safe; they never fail (unmappable characters become '?').
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tallowmere::platform {

// The Unicode code point of a code page 1252 byte. The five bytes that code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control
// of the same number, as Windows maps them.
char32_t Cp1252ToUnicode(unsigned char byte);

// The code page 1252 byte of a code point, or '?' when it has none.
char UnicodeToCp1252(char32_t codePoint);

// Appends the UTF-8 encoding of a code point (U+FFFD for an invalid one).
void AppendUtf8(std::string& out, char32_t codePoint);

// Length of the well-formed UTF-8 sequence at the start of text (1 to 4), or
// 0 when the bytes there are not one (overlong forms, surrogates and code
// points above U+10FFFF are not well formed). Stores the code point.
size_t DecodeUtf8(std::string_view text, char32_t& codePoint);

// UTF-16LE bytes (an odd last byte is dropped; lone surrogates become '?')
// to 8-bit text.
std::string Utf16LeToCp1252(std::string_view bytes);

// UTF-8 to 8-bit text; a byte that does not start a well-formed sequence is
// kept as it is (taken as already 8-bit).
std::string Utf8ToCp1252(std::string_view text);

}  // namespace tallowmere::platform
