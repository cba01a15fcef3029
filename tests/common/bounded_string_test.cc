// Bounded copies and appends, replacement, delimited parts, case-insensitive
// search, file-name part and the registry path rule.
#include "common/bounded_string.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

namespace tallowmere {
namespace {

TEST(CopyBounded, CopiesWholeOrCuts) {
  struct Case {
    const char* src;
    size_t size;
    const char* expected;
    bool whole;
  } cases[] = {
      {"0123456789", 5, "0123", false},
      {"0123456789", 11, "0123456789", true},
      {"0123456789", 10, "012345678", false},
      {"", 1, "", true},
      {"abc", 1, "", false},
  };
  for (const auto& c : cases) {
    char dst[32];
    std::memset(dst, 'X', sizeof dst);
    char* result = CopyBounded(dst, c.src, c.size);
    EXPECT_STREQ(dst, c.expected) << c.src << " " << c.size;
    EXPECT_EQ(result, c.whole ? dst : nullptr) << c.src << " " << c.size;
    EXPECT_EQ(dst[c.size], 'X');  // nothing written past size
  }
  char dst[4] = "abc";
  EXPECT_EQ(CopyBounded(dst, "x", 0), nullptr);
  EXPECT_STREQ(dst, "abc");
}

TEST(AppendBounded, AppendsWholeOrCuts) {
  struct Case {
    const char* start;
    const char* src;
    size_t size;
    const char* expected;
    bool whole;
  } cases[] = {
      {"abc", "def", 7, "abcdef", true},
      {"abc", "def", 6, "abcde", false},
      {"abc", "defgh", 5, "abcd", false},
      {"abc", "", 4, "abc", true},
      {"abc", "d", 4, "abc", false},
      {"", "xyz", 4, "xyz", true},
  };
  for (const auto& c : cases) {
    char dst[32];
    std::memset(dst, 'X', sizeof dst);
    std::strcpy(dst, c.start);
    char* result = AppendBounded(dst, c.src, c.size);
    EXPECT_STREQ(dst, c.expected) << c.start << "+" << c.src << " " << c.size;
    EXPECT_EQ(result, c.whole ? dst + std::strlen(c.start) : nullptr);
    EXPECT_EQ(dst[c.size], 'X');
  }
  char unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(AppendBounded(unterminated, "x", 4), nullptr);
  EXPECT_STREQ(unterminated, "abc");
}

TEST(ReplaceAllBounded, ReplacesEveryOccurrence) {
  struct Case {
    const char* src;
    const char* pattern;
    const char* replacement;
    size_t size;
    const char* expected;
  } cases[] = {
      {"a'b'c", "'", "''", 64, "a''b''c"},
      {"aaa", "aa", "b", 64, "ba"},           // not re-scanned, left to right
      {"abc", "x", "y", 64, "abc"},           // no occurrence
      {"AbA", "a", "x", 64, "AbA"},           // case-sensitive
      {"abab", "ab", "", 64, ""},
      {"a'b'c", "'", "''", 5, "a''b"},        // cut by the destination size
      {"abc", "", "x", 64, "abc"},            // empty pattern: nothing to replace
  };
  for (const auto& c : cases) {
    char dst[64];
    EXPECT_EQ(ReplaceAllBounded(c.src, dst, c.pattern, c.replacement, c.size), 1);
    EXPECT_STREQ(dst, c.expected) << c.src;
  }
}

TEST(ReplaceAllBounded, WorksInPlace) {
  char buffer[64] = "it's Bob's";
  ReplaceAllBounded(buffer, buffer, "'", "''", sizeof buffer);
  EXPECT_STREQ(buffer, "it''s Bob''s");
}

TEST(ReplaceAllBounded, ResultIsCutAt4095Characters) {
  // Each of 3000 quotes doubles: 6000 characters would not fit the work area.
  std::string src(3000, '\'');
  std::string dst(8192, 'X');
  ReplaceAllBounded(src.c_str(), dst.data(), "'", "''", dst.size());
  EXPECT_EQ(std::strlen(dst.c_str()), 4095u);
  // A long text between occurrences is cut too, never overflowing.
  std::string longGap = "'" + std::string(4000, 'a') + "'" + std::string(95, 'b');
  ReplaceAllBounded(longGap.c_str(), dst.data(), "'", "xxxxxxxxxx", dst.size());
  EXPECT_EQ(std::strlen(dst.c_str()), 4095u);
}

TEST(GetToken, ExtractsParts) {
  struct Case {
    const char* text;
    const char* delim;
    int part;
    char escape;
    size_t size;
    int result;
    const char* expected;  // "<untouched>" when dst must keep its old value
  } cases[] = {
      {"10.1.2.3", ".", 1, 0, 32, 1, "10"},
      {"10.1.2.3", ".", 2, 0, 32, 1, "1"},
      {"10.1.2.3", ".", 4, 0, 32, 1, "3"},
      {"10.1.2.3", ".", 5, 0, 32, 1, "3"},  // past the last: the last
      {"10.1.2.3", ".", 0, 0, 32, 1, "10"},
      {"abc", ",", 2, 0, 32, 0, "<untouched>"},
      {"abc", ",", 1, 0, 32, 1, "abc"},
      {"abc", ",", 0, 0, 32, 1, "abc"},
      {"a\\,b,c", ",", 1, '\\', 32, 1, "a\\,b"},
      {"a\\,b,c", ",", 2, '\\', 32, 1, "c"},
      {"a\\,b,c", ",", 1, 0, 32, 1, "a\\"},
      {"a,\\,b", ",", 2, '\\', 32, 1, "\\,b"},  // escape at the start of a part
      {"a,,b", ",", 2, '\\', 32, 1, ""},
      {"a\\,b", ",", 2, '\\', 32, 0, "<untouched>"},  // only an escaped delimiter
      {"oneANDtwoandthree", "and", 2, 0, 32, 1, "two"},
      {"oneANDtwoandthree", "AND", 3, 0, 32, 1, "three"},
      {"a::b", "::", 2, 0, 32, 1, "b"},
      {"abcd,e", ",", 1, 0, 5, 1, "abcd"},    // exactly size - 1
      {"abcde,f", ",", 1, 0, 5, 0, ""},       // one longer: empty text
      {"x", "", 1, 0, 32, 1, "x"},
      {"", ",", 1, 0, 32, 1, ""},
  };
  for (const auto& c : cases) {
    char dst[32] = "old";
    EXPECT_EQ(GetToken(c.text, c.delim, c.part, dst, c.size, c.escape), c.result)
        << c.text << " part " << c.part;
    EXPECT_STREQ(dst, std::strcmp(c.expected, "<untouched>") == 0 ? "old" : c.expected)
        << c.text << " part " << c.part;
  }
}

TEST(FindNoCase, FindsIgnoringAsciiCase) {
  const char* path = "software\\wow6432node\\tallowmere";
  EXPECT_EQ(FindNoCase(path, -1, "Wow6432NODE", -1), path + 9);
  struct Case {
    const char* text;
    long textLength;
    const char* pattern;
    long patternLength;
    long at;  // -1: null
  } cases[] = {
      {"Hello World", -1, "WORLD", -1, 6},
      {"Hello World", -1, "o", -1, 4},
      {"Hello World", 5, "World", -1, -1},  // text cut short by its length
      {"Hello World", -1, "WORLDX", 5, 6},  // pattern cut short by its length
      {"Hello", -1, "", -1, -1},
      {"Hello", -1, "x", 0, -1},
      {"Hi", -1, "Hii", -1, -1},
      {"\xE9t\xE9", -1, "\xC9T\xC9", -1, -1},  // only a-z fold
      {"[x]", -1, "{X}", -1, -1},              // no folding of punctuation
      {"aaab", -1, "AAB", -1, 1},
  };
  for (const auto& c : cases) {
    const char* found = FindNoCase(c.text, c.textLength, c.pattern, c.patternLength);
    EXPECT_EQ(found, c.at < 0 ? nullptr : c.text + c.at) << c.text << " / " << c.pattern;
  }
  EXPECT_EQ(FindNoCase(nullptr, -1, "a", -1), nullptr);
  EXPECT_EQ(FindNoCase("a", -1, nullptr, -1), nullptr);
}

TEST(FindNoCase, IgnoresTheProcessLocale) {
  const char* old = std::setlocale(LC_CTYPE, nullptr);
  std::string saved = old != nullptr ? old : "C";
  if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr && std::setlocale(LC_CTYPE, "en_US.ISO-8859-1") == nullptr) {
    GTEST_SKIP() << "no other locale available";
  }
  EXPECT_EQ(FindNoCase("\xE9", -1, "\xC9", -1), nullptr);
  EXPECT_NE(FindNoCase("abc", -1, "B", -1), nullptr);
  std::setlocale(LC_CTYPE, saved.c_str());
}

TEST(FileNamePart, TakesTheLastPathPart) {
  struct Case {
    const char* path;
    const char* expected;
  } cases[] = {
      {"C:\\dir/sub\\prog.exe", "prog.exe"},
      {"/usr/bin/host", "host"},
      {"prog.exe", "prog.exe"},
      {"dir\\", ""},
      {"\\x", "\\x"},  // the first character is not looked at
      {"/", "/"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_STREQ(FileNamePart(c.path), c.expected) << c.path;
}

TEST(NormaliseRegistryPath, RemovesWow6432NodeOnce) {
  struct Case {
    const char* in;
    const char* out;
    int count;
  } cases[] = {
      {"Software\\Wow6432Node\\Tallowmere\\Provider", "Software\\Tallowmere\\Provider", 1},
      {"SOFTWARE\\WOW6432NODE\\TALLOWMERE\\X", "Software\\Tallowmere\\X", 1},
      {"Software\\Tallowmere", "Software\\Tallowmere", 0},
      {"Software\\Wow6432Node\\Other", "Software\\Wow6432Node\\Other", 0},
      {"A\\Software\\Wow6432Node\\Tallowmere\\Software\\Wow6432Node\\Tallowmere",
       "A\\Software\\Tallowmere\\Software\\Wow6432Node\\Tallowmere", 1},
  };
  for (const auto& c : cases) {
    std::string path = c.in;
    EXPECT_EQ(NormaliseRegistryPath(path), c.count) << c.in;
    EXPECT_EQ(path, c.out);
  }
}

}  // namespace
}  // namespace tallowmere
