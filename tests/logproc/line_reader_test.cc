#include "statslog/logproc/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logproc/logproc_test_util.h"

namespace tallowmere::logproc {
namespace {

using namespace std::string_literals;

std::vector<std::string> Lines(const std::string& input, size_t block, size_t chunk, size_t maxLine = 1 << 20,
                               uint64_t* skipped = nullptr) {
  LineReader reader(testing::StringSource(input, chunk), block, maxLine);
  std::vector<std::string> lines;
  LogLine line;
  while (reader.Next(line)) {
    // raw always ends where text does, plus the line end.
    EXPECT_EQ(line.raw.substr(0, line.text.size()), line.text);
    lines.emplace_back(line.text);
  }
  if (skipped) *skipped = reader.skippedLongLines();
  return lines;
}

TEST(LineReaderTest, LineEndsAndBlockBoundaries) {
  struct Case {
    std::string input;
    std::vector<std::string> lines;
  };
  const std::string longLine(5000, 'x');
  const std::vector<Case> cases = {
      {"", {}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\nb", {"a", "b"}},
      {"a\r\nb\r", {"a", "b"}},
      {"\n\n", {"", ""}},
      {"a\rb\n", {"a\rb"}},
      {longLine + "\r\nnext\r\n", {longLine, "next"}},
      {"a\0\0b\n\0\0\0\0\0\0\0\0\0\0c"s, {"ab", "c"}},
      {std::string(100, '\0'), {}},
  };
  // Small blocks and small reads put line ends on every boundary.
  for (const size_t block : {16, 64, 1 << 20}) {
    for (const size_t chunk : {1, 7, 1 << 20}) {
      for (const Case& c : cases) {
        EXPECT_EQ(Lines(c.input, block, chunk), c.lines) << "block " << block << " chunk " << chunk;
      }
    }
  }
}

TEST(LineReaderTest, LinesOverTheLimitAreSkippedWhole) {
  const std::string input = "short\n" + std::string(300, 'y') + "\r\nafter\n" + std::string(300, 'z');
  uint64_t skipped = 0;
  EXPECT_EQ(Lines(input, 16, 5, 256, &skipped), (std::vector<std::string>{"short", "after"}));
  EXPECT_EQ(skipped, 2u);
}

TEST(LineReaderTest, ReadErrorEndsTheStream) {
  int calls = 0;
  LineReader reader([&calls](char* buffer, size_t) -> long {
    if (calls++ == 0) {
      std::memcpy(buffer, "a\nb", 3);
      return 3;
    }
    return -1;
  });
  LogLine line;
  ASSERT_TRUE(reader.Next(line));
  EXPECT_EQ(line.text, "a");
  EXPECT_FALSE(reader.Next(line));
  EXPECT_TRUE(reader.error());
}

}  // namespace
}  // namespace tallowmere::logproc
