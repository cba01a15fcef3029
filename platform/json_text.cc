// JSON string literals from 8-bit text.
#include "platform/json_text.h"

#include "platform/code_page.h"

namespace tallowmere::platform {

void AppendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
      ++i;
    } else if (byte < 0x20 || byte == 0x7F) {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
      ++i;
    } else if (byte < 0x80) {
      out += static_cast<char>(byte);
      ++i;
    } else {
      char32_t cp = 0;
      if (size_t n = DecodeUtf8(text.substr(i), cp); n > 0) {
        out.append(text.substr(i, n));
        i += n;
      } else {
        AppendUtf8(out, Cp1252ToUnicode(byte));
        ++i;
      }
    }
  }
  out += '"';
}

}  // namespace tallowmere::platform
