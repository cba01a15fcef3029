// GeneratePeriodSummary: both modes, the completeness state machine, the
// flags, leap years, many keys and long value lists.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "statslog/stats/period_key.h"
#include "statslog/stats/period_summary.h"
#include "statslog/stats/stats_number.h"
#include "statslog/stats/stats_store.h"
#include "stats/stats_fixture.h"
#include "tallowmere/statslog.h"

namespace tallowmere::stats::testing {
namespace {

class PeriodSummaryTest : public StatsFixture {
 protected:
  // Writes `edits` into the day file of `day` of `monthKey` (values tree).
  void WriteDay(const std::string& monthKey, int day, const std::vector<platform::IniEdit>& edits,
                const char* postoffice = "", int32_t scope = 0, const char* section = "SMTP") {
    const std::string dayKey = FormatDayKey(monthKey, day);
    ASSERT_TRUE(WriteStatsStrings({StatsTree::kValues, "MX1", scope, postoffice, dayKey, section}, edits));
  }
  std::string Value(const std::string& fileName, const std::string& key, bool flags = false,
                    const char* postoffice = "", int32_t scope = 0) {
    return ReadStatsValue({flags ? StatsTree::kFlags : StatsTree::kValues, "MX1", scope, postoffice, fileName, "SMTP"},
                          key);
  }
  int32_t Summarise(const char* period, const char* key = "", const char* postoffice = "", int32_t scope = 0) {
    return GeneratePeriodSummary("MX1", scope, postoffice, "SMTP", period, 0, key, 0);
  }
};

TEST(SummaryStateTest, Transitions) {
  struct Case {
    int32_t before;
    bool data;
    int32_t after;
  } cases[] = {
      {0, true, 1},   {0, false, -2}, {1, true, 1},   {1, false, -1},
      {-1, true, 1},  {-1, false, -1}, {-2, true, -1}, {-2, false, -2},
  };
  for (const Case& c : cases) EXPECT_EQ(NextSummaryState(c.before, c.data), c.after) << c.before << " " << c.data;
}

// Which days of a month carry data, and what the month ends as.
TEST_F(PeriodSummaryTest, CompletenessOfTheMonth) {
  auto range = [](int first, int last) {
    std::vector<int> days;
    for (int d = first; d <= last; ++d) days.push_back(d);
    return days;
  };
  struct Case {
    const char* name;
    std::vector<int> days;
    int32_t state;
    const char* stateText;
  } cases[] = {
      {"every day", range(1, 31), 1, "[COMPLETE]"},
      {"days 1 to 10", range(1, 10), -1, "[PARTIAL]"},
      {"no day", {}, -2, "[NODATA]"},
      {"days 2 to 31", range(2, 31), 1, "[COMPLETE]"},
      {"only the last day", {31}, -1, "[PARTIAL]"},
      {"first and last day", {1, 31}, 1, "[COMPLETE]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(mailRoot_);
    fs::create_directories(mailRoot_);
    const std::vector<int>& days = c.days;
    for (int day : days) WriteDay("M2026M05", day, {{"k", "1,2"}});
    const auto before = std::chrono::system_clock::now();
    EXPECT_EQ(Summarise("M2026M05"), c.state);
    EXPECT_EQ(Value("M2026M05", "State", true, "System"), c.stateText);
    const long long modified = std::stoll(Value("M2026M05", "LastModified", true, "System"));
    EXPECT_NEAR(static_cast<double>(modified),
                static_cast<double>(std::chrono::duration_cast<std::chrono::seconds>(before.time_since_epoch()).count()),
                5.0);
    if (days.empty()) {
      EXPECT_FALSE(Exists("System/STATSROOT/Servers/MX1/M2026M05.INI"));
    } else {
      EXPECT_EQ(Value("M2026M05", "k"), std::to_string(days.size()) + ".000000," + std::to_string(2 * days.size()) + ".000000");
    }
  }
}

TEST_F(PeriodSummaryTest, DaysReadPerMonth) {
  struct Case {
    const char* month;
    int days;
  } cases[] = {
      {"M2026M05", 31}, {"M2026M04", 30}, {"M2026M02", 28}, {"M2024M02", 29},
      {"M2000M02", 29}, {"M2100M02", 28}, {"M2026M12", 31},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.month);
    for (int day = 1; day <= 31; ++day) WriteDay(c.month, day, {{"n", "1"}});
    EXPECT_EQ(Summarise(c.month), 1);
    EXPECT_EQ(Value(c.month, "n"), std::to_string(c.days) + ".000000");
    EXPECT_EQ(Summarise(c.month, "n"), 0);
    EXPECT_EQ(Value(c.month, "n"), std::to_string(c.days) + ".000000");
  }
}

TEST_F(PeriodSummaryTest, SingleKeyModeAddsFirstNumbersAndWritesNoFlags) {
  WriteDay("M2026M05", 1, {{"k", "1,5"}, {"other", "9"}});
  WriteDay("M2026M05", 2, {{"K", "2"}});
  WriteDay("M2026M05", 3, {{"k", "not a number"}});
  EXPECT_EQ(Summarise("M2026M05", "k"), 0);
  EXPECT_EQ(ReadText("System/STATSROOT/Servers/MX1/M2026M05.INI"), "[SMTP]\r\nk=3.000000\r\n");
  EXPECT_FALSE(Exists("System/STATSROOT/Flags"));
  EXPECT_EQ(Summarise("M2026M05", "absent"), 0);
  EXPECT_EQ(Value("M2026M05", "absent"), "0.000000");
}

TEST_F(PeriodSummaryTest, ItemCountFollowsTheLatestDay) {
  WriteDay("M2026M05", 1, {{"k", "1,2,3"}});
  WriteDay("M2026M05", 2, {{"k", "10"}});
  WriteDay("M2026M05", 3, {{"j", "4,5"}});
  WriteDay("M2026M05", 4, {{"j", ""}});
  EXPECT_EQ(Summarise("M2026M05"), -1);
  EXPECT_EQ(Value("M2026M05", "k"), "11.000000");
  EXPECT_EQ(ReadText("System/STATSROOT/Servers/MX1/M2026M05.INI"), "[SMTP]\r\nk=11.000000\r\nj=\r\n");
}

TEST_F(PeriodSummaryTest, KeysKeepTheirFirstSpellingAndOrder) {
  WriteDay("M2026M05", 1, {{"Hits", "1"}, {"Bytes", "10"}});
  WriteDay("M2026M05", 2, {{"HITS", "2"}, {"new", "5"}, {"bytes", "20"}});
  EXPECT_EQ(Summarise("M2026M05"), -1);
  EXPECT_EQ(ReadText("System/STATSROOT/Servers/MX1/M2026M05.INI"),
            "[SMTP]\r\nHits=3.000000\r\nBytes=30.000000\r\nnew=5.000000\r\n");
}

TEST_F(PeriodSummaryTest, EveryKeyOfALargeMonthIsSummarised) {
  constexpr int kKeys = 3000;
  for (int day = 1; day <= 3; ++day) {
    std::vector<platform::IniEdit> edits;
    for (int k = 0; k < kKeys; ++k) edits.push_back({"user" + std::to_string(k) + "@example.com", std::to_string(k)});
    WriteDay("M2026M06", day, edits);
  }
  EXPECT_EQ(Summarise("M2026M06"), -1);
  const auto month = ReadStatsSection({StatsTree::kValues, "MX1", 0, "", "M2026M06", "SMTP"});
  ASSERT_TRUE(month.has_value());
  ASSERT_EQ(month->size(), static_cast<size_t>(kKeys));
  for (int k : {0, 1022, 1023, 1024, 2999}) {
    EXPECT_EQ((*month)[k].first, "user" + std::to_string(k) + "@example.com");
    std::string expected;
    AppendFixed(expected, 3.0 * k);
    EXPECT_EQ((*month)[k].second, expected);
  }
}

TEST_F(PeriodSummaryTest, LongListsKeepEveryItemWhole) {
  const std::string big = "123456789012345678901234567890.5";  // far beyond a 64-byte item once listed
  std::string list;
  for (int i = 1; i <= 10; ++i) list += (i > 1 ? "," : "") + std::to_string(i * 100000000000LL);
  ASSERT_GT(list.size(), 128u);
  WriteDay("M2026M05", 1, {{"ten", list}, {"big", big + "," + std::string(70, '1')}});
  WriteDay("M2026M05", 2, {{"ten", list}});
  EXPECT_EQ(Summarise("M2026M05"), -1);
  std::string expected;
  for (int i = 1; i <= 10; ++i) {
    if (i > 1) expected += ",";
    expected += std::to_string(2 * i * 100000000000LL) + ".000000";
  }
  EXPECT_EQ(Value("M2026M05", "ten"), expected);
  std::string bigExpected;
  AppendFixed(bigExpected, LeadingNumber(big));
  bigExpected += ",";
  AppendFixed(bigExpected, LeadingNumber(std::string(70, '1')));
  EXPECT_EQ(Value("M2026M05", "big"), bigExpected);
}

TEST_F(PeriodSummaryTest, FolderOfThePeriodPathHoldsOnlyTheFlags) {
  WriteDay("M2026M05", 1, {{"k", "1"}});
  EXPECT_EQ(Summarise("Reports\\M2026M05"), -1);
  EXPECT_EQ(Value("M2026M05", "k"), "1.000000");
  EXPECT_EQ(Value("Reports\\M2026M05", "State", true, "System"), "[PARTIAL]");
  EXPECT_FALSE(Exists("System/STATSROOT/Servers/MX1/Reports"));
  EXPECT_FALSE(Exists("System/STATSROOT/Flags/Servers/MX1/M2026M05.INI"));
}

TEST_F(PeriodSummaryTest, PostofficeMonthsKeepTheirFlagsInTheSystemBranch) {
  MakeDirectories("acme");
  WriteDay("M2026M05", 1, {{"k", "2"}}, "acme", 1);
  EXPECT_EQ(Summarise("M2026M05", "", "acme", 1), -1);
  EXPECT_EQ(Value("M2026M05", "k", false, "acme", 1), "2.000000");
  EXPECT_EQ(Value("M2026M05", "State", true, "System", 1), "[PARTIAL]");
  EXPECT_FALSE(Exists("acme/STATSROOT/Flags"));
  // Nested: values under the level, flags under System with the same level.
  WriteDay("M2026M05", 1, {{"k", "3"}}, "acme\\team", 2);
  EXPECT_EQ(Summarise("M2026M05", "", "acme\\team", 2), -1);
  EXPECT_EQ(ReadText("acme/STATSROOT/Servers/MX1/team/M2026M05.INI"), "[SMTP]\r\nk=3.000000\r\n");
  EXPECT_TRUE(Exists("System/STATSROOT/Flags/Servers/MX1/team/M2026M05.INI"));
}

TEST_F(PeriodSummaryTest, EmptyPostofficeMeansTheSystemBranch) {
  WriteDay("M2026M05", 1, {{"k", "4"}});
  for (const char* postoffice : {static_cast<const char*>(nullptr), ""}) {
    EXPECT_EQ(GeneratePeriodSummary("MX1", 1, postoffice, "SMTP", "M2026M05", 0, "", 0), -1);
    EXPECT_EQ(Value("M2026M05", "k"), "4.000000");
  }
}

TEST_F(PeriodSummaryTest, ConsoleLinePerKeyAndDay) {
  WriteDay("M2026M05", 1, {{"a", "1"}, {"b", "2"}});
  WriteDay("M2026M05", 3, {{"a", "1"}});
  ::testing::internal::CaptureStdout();
  Summarise("M2026M05");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Section: a\nSection: b\nSection: a\n");
}

TEST_F(PeriodSummaryTest, BadInputWritesNothing) {
  WriteDay("M2026M05", 1, {{"k", "1"}});
  const auto before = Tree();
  const std::string longName(256, 's');
  EXPECT_EQ(GeneratePeriodSummary("MX1", 0, "", "SMTP", "M2026M05", 0, nullptr, 0), 0);
  EXPECT_EQ(GeneratePeriodSummary("MX1", 0, "", nullptr, "M2026M05", 0, "", 0), 0);
  EXPECT_EQ(GeneratePeriodSummary("MX1", 0, "", "SMTP", nullptr, 0, "", 0), 0);
  for (const char* period : {"", "M2026M13", "M2026M00", "M2026", "garbage", "..\\M2026M05x"}) {
    EXPECT_EQ(GeneratePeriodSummary("MX1", 0, "", "SMTP", period, 0, "", 0), 0) << period;
  }
  EXPECT_EQ(GeneratePeriodSummary(longName.c_str(), 0, "", "SMTP", "M2026M05", 0, "", 0), 0);
  EXPECT_EQ(GeneratePeriodSummary("MX1", 1, longName.c_str(), "SMTP", "M2026M05", 0, "", 0), 0);
  EXPECT_EQ(GeneratePeriodSummary("..", 0, "", "SMTP", "M2026M05", 0, "k", 0), 0);
  EXPECT_EQ(Tree(), before);
}

}  // namespace
}  // namespace tallowmere::stats::testing
