// Numbers in values: read as atof reads them, written as "%f" writes them,
// whatever the host's locale.
#include "statslog/stats/stats_number.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tallowmere::stats {
namespace {

TEST(StatsNumberTest, LeadingNumberReadsAsAtof) {
  const char* texts[] = {"12",  "  12.5xyz", "-3", "+4.25", "1e3", "1.5E-2", ".5", "0x10", "-0x1p4", "abc",
                         "",    " ",         "-",  "5,6",   "7 8", "1e",     "12.", "\t9",  "0xg",    "-.25"};
  for (const char* text : texts) EXPECT_DOUBLE_EQ(LeadingNumber(text), std::atof(text)) << '"' << text << '"';
  EXPECT_TRUE(std::isinf(LeadingNumber("1e999")));
  EXPECT_EQ(LeadingNumber("1e-999"), 0.0);
}

TEST(StatsNumberTest, FixedFormatMatchesPrintf) {
  for (double value : {0.0, 1.0, -1.5, 3.0000004, 123456789.123456789, 1e20, -0.0000001, 0.1 + 0.2}) {
    char expected[512];
    std::snprintf(expected, sizeof expected, "%f", value);
    std::string text;
    AppendFixed(text, value);
    EXPECT_EQ(text, expected);
  }
}

TEST(StatsNumberTest, HostLocaleDoesNotChangeNumbers) {
  // A host that switched to a locale with a decimal comma must still get
  // "." in stored numbers (the comma separates list items).
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 not installed";
  std::string text;
  AppendFixed(text, 2.5);
  const double read = LeadingNumber("2.5");
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(text, "2.500000");
  EXPECT_EQ(read, 2.5);
}

}  // namespace
}  // namespace tallowmere::stats
