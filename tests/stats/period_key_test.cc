// Period keys: field conversion, comparison, month lengths, day keys, and
// which files a date purge takes.
#include "statslog/stats/period_key.h"

#include <gtest/gtest.h>

#include "statslog/stats/stats_purge.h"

namespace tallowmere::stats {
namespace {

TEST(PeriodKeyTest, ComparePeriodKeys) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      {"X2026X05D15", "X2026X05D15", 0},
      {"X2026X05D14", "X2026X05D15", -1},
      {"X2026X05D16", "X2026X05D15", 1},
      {"X2026X04D30", "X2026X05D01", -1},
      {"X2025X12D31", "X2026X01D01", -1},
      {"Y2026Z05D15", "X2026X05D15", 0},   // markers are never examined
      {"Totals", "X0001X01D01", -1},       // no digits: year 0
      {"X2026X05", "X2026X05D01", -1},     // a month key has day 0
      {"X2026X05", "X2026X05", 0},
      {"X2026X5xD15", "X2026X05D15", 0},   // "5x" reads as 5
      {"", "", 0},
  };
  for (const Case& c : cases) {
    const int result = ComparePeriodKeys(c.a, c.b);
    EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " vs " << c.b;
  }
}

TEST(PeriodKeyTest, Fields) {
  EXPECT_EQ(PeriodYear("M2026M05D07"), 2026);
  EXPECT_EQ(PeriodMonth("M2026M05D07"), 5);
  EXPECT_EQ(PeriodDay("M2026M05D07"), 7);
  EXPECT_EQ(PeriodDay("M2026M05"), 0);
  EXPECT_EQ(PeriodYear("Mab26"), 0);
  EXPECT_EQ(PeriodField("M2026M05D07", 6, 3), 5);   // "05D"
  EXPECT_EQ(PeriodField("M2026M12", 6, 3), 12);
  EXPECT_EQ(PeriodField("M2026M1", 6, 3), 1);
  EXPECT_EQ(PeriodField("short", 20, 2), 0);
}

TEST(PeriodKeyTest, DaysInMonthHonoursLeapYears) {
  struct Case {
    long year, month;
    int days;
  } cases[] = {
      {2026, 1, 31}, {2026, 2, 28}, {2026, 3, 31}, {2026, 4, 30}, {2026, 5, 31},  {2026, 6, 30},
      {2026, 7, 31}, {2026, 8, 31}, {2026, 9, 30}, {2026, 10, 31}, {2026, 11, 30}, {2026, 12, 31},
      {2024, 2, 29}, {2000, 2, 29}, {2100, 2, 28}, {1900, 2, 28},  {2400, 2, 29},  {2023, 2, 28},
      {2026, 0, 0},  {2026, 13, 0}, {2026, -1, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(DaysInMonth(c.year, c.month), c.days) << c.year << "-" << c.month;
}

TEST(PeriodKeyTest, FormatDayKey) {
  EXPECT_EQ(FormatDayKey("M2026M05", 1), "M2026M05D01");
  EXPECT_EQ(FormatDayKey("M2026M05", 31), "M2026M05D31");
  EXPECT_EQ(FormatDayKey("", 7), "D07");
}

TEST(PeriodKeyTest, WhichStemsADatePurgeTakes) {
  struct Case {
    const char* stem;
    const char* date;
    bool due;
  } cases[] = {
      {"M2026M05D15", "X2026X05D15", true},    // the date itself is included
      {"M2026M05D14", "X2026X05D15", true},
      {"M2026M05D16", "X2026X05D15", false},
      {"M2025M12D31", "X2026X05D15", true},
      {"M2027M01D01", "X2026X05D15", false},
      {"Totals", "X2026X05D15", true},          // no year digits: year 0
      {"M2026M04", "X2026X05D15", true},        // an earlier month, whole
      {"M2026M05", "X2026X05D15", false},       // the month is not over by the 15th
      {"M2026M05", "X2026X05D31", true},
      {"M2024M02", "X2024X02D28", false},       // leap February ends on the 29th
      {"M2024M02", "X2024X02D29", true},
      {"M2026M05D31", "X2026X05", true},        // a month key as date covers the month
      {"M2026M06D01", "X2026X05", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsPeriodOnOrBefore(c.stem, c.date), c.due) << c.stem << " by " << c.date;
}

TEST(PeriodKeyTest, PurgeDatesNeedYearAndMonthDigits) {
  for (const char* date : {"X2026X05D15", "X2026X05", "x2026-12"}) EXPECT_TRUE(IsPurgeDate(date)) << date;
  for (const char* date : {"", "garbage", "X2026X13D01", "X2026X00D01", "X20a6X05D15", "X2026X5"}) {
    EXPECT_FALSE(IsPurgeDate(date)) << date;
  }
}

}  // namespace
}  // namespace tallowmere::stats
