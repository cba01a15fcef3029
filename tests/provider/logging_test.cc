// The logging hook.
#include "provider/logging.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tallowmere::provider {
namespace {

struct Received {
  int32_t ctx1, ctx2, ctx3, level;
  std::string text;
};
std::vector<Received> received;

int32_t Record(int32_t a, int32_t b, int32_t c, int32_t level, const char* text) {
  received.push_back({a, b, c, level, text});
  return 77;
}
int32_t Other(int32_t, int32_t, int32_t, int32_t, const char*) { return 0; }

TEST(LoggingTest, FirstRegistrationIsFinal) {
  ResetLoggingForTests();
  received.clear();
  EXPECT_EQ(LogMessage(9, "lost\n"), 0);
  EXPECT_EQ(SetLoggingFunction(1, nullptr, 2, 3), 2);
  EXPECT_EQ(SetLoggingFunction(11, Record, -22, 33), 1);
  EXPECT_EQ(SetLoggingFunction(4, Other, 5, 6), 0);
  EXPECT_EQ(SetLoggingFunction(4, nullptr, 5, 6), 0);
  EXPECT_EQ(LogMessage(8, "TW-IXXXX: one\n"), 1);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].ctx1, 11);
  EXPECT_EQ(received[0].ctx2, -22);
  EXPECT_EQ(received[0].ctx3, 33);
  EXPECT_EQ(received[0].level, 8);
  EXPECT_EQ(received[0].text, "TW-IXXXX: one\n");
}

TEST(LoggingTest, FormattedLinesAreCutButKeepTheirLineFeed) {
  ResetLoggingForTests();
  received.clear();
  SetLoggingFunction(0, Record, 0, 0);
  LogFormat(9, 16, "TW-IXXXX: %s\n", "a rather long text");
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].text, "TW-IXXXX: a ra\n");
  LogFormat(10, 64, "TW-IXXXX: Native error %d.\n", 1062);
  EXPECT_EQ(received[1].text, "TW-IXXXX: Native error 1062.\n");
}

}  // namespace
}  // namespace tallowmere::provider
