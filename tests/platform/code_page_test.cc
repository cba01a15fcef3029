// Code page 1252 <-> Unicode conversions used by the registry reader and the
// event log.
#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>

namespace tallowmere::platform {
namespace {

using namespace std::string_literals;

TEST(CodePage, EveryByteRoundTrips) {
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    EXPECT_EQ(static_cast<unsigned char>(UnicodeToCp1252(Cp1252ToUnicode(byte))), byte) << b;
  }
  EXPECT_EQ(Cp1252ToUnicode(0x80), U'\u20AC');
  EXPECT_EQ(Cp1252ToUnicode(0x9F), U'\u0178');
  EXPECT_EQ(Cp1252ToUnicode(0xE9), U'\u00E9');
  EXPECT_EQ(UnicodeToCp1252(U'\u0416'), '?');
  EXPECT_EQ(UnicodeToCp1252(U'\U0001F600'), '?');
}

TEST(CodePage, Utf16LeToCp1252) {
  struct Case {
    std::string utf16;
    std::string expected;
  } cases[] = {
      {"a\0b\0"s, "ab"},
      {"\xE9\0\xAC\x20"s, "\xE9\x80"},             // é €
      {"\x3D\xD8\x00\xDE"s, "?"},                  // a surrogate pair: one character
      {"\x3D\xD8" "a\0"s, "?a"},                   // a lone high surrogate
      {"\x00\xDE" "a\0"s, "?a"},                   // a lone low surrogate
      {"a\0b"s, "a"},                              // odd last byte dropped
      {"\0\0"s, "\0"s},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf16LeToCp1252(c.utf16), c.expected);
}

TEST(CodePage, Utf8ToCp1252) {
  struct Case {
    std::string utf8;
    std::string expected;
  } cases[] = {
      {"plain", "plain"},
      {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xE9 \x80"},
      {"\xD0\x96", "?"},
      {"\xF0\x9F\x98\x80", "?"},
      {"caf\xE9", "caf\xE9"},          // not UTF-8: the byte is kept
      {"\xC3", "\xC3"},                // cut sequence
      {"\xC0\xAF", "\xC0\xAF"},        // overlong
      {"\xED\xA0\x80", "\xED\xA0\x80"},  // encoded surrogate
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToCp1252(c.utf8), c.expected) << c.utf8;
}

TEST(CodePage, DecodeUtf8Lengths) {
  struct Case {
    std::string text;
    size_t length;
    char32_t cp;
  } cases[] = {
      {"A", 1, U'A'},
      {"\xC3\xA9", 2, U'\u00E9'},
      {"\xE2\x82\xAC", 3, U'\u20AC'},
      {"\xF4\x8F\xBF\xBF", 4, U'\U0010FFFF'},
      {"\xF4\x90\x80\x80", 0, 0},  // above U+10FFFF
      {"\xE0\x80\x80", 0, 0},      // overlong
      {"\xC2", 0, 0},
      {"\x80", 0, 0},
      {"\xC3\x28", 0, 0},
      {"", 0, 0},
  };
  for (const auto& c : cases) {
    char32_t cp = 0;
    EXPECT_EQ(DecodeUtf8(c.text, cp), c.length) << c.text;
    if (c.length > 0) {
      EXPECT_EQ(cp, c.cp);
    }
  }
}

}  // namespace
}  // namespace tallowmere::platform
