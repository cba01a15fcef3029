// Literals are exact and cannot change a statement, on MariaDB in its
// default sql_mode and with NO_BACKSLASH_ESCAPES set globally, and on SQLite.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "provider/frame.h"
#include "provider/sql_text.h"
#include "provider_test_env.h"

namespace tallowmere::provider::test {
namespace {

class InjectionTest : public ::testing::TestWithParam<std::tuple<Engine, int32_t>> {
 protected:
  void SetUp() override {
    TALLOWMERE_REQUIRE_SERVICES();
    database_ = std::make_unique<ScratchDatabase>(std::get<0>(GetParam()));
    provider_ = std::make_unique<LoadedProvider>(database_->providerName(), database_->connectionString(),
                                                 std::get<1>(GetParam()));
  }
  void TearDown() override {
    provider_.reset();
    database_.reset();
  }

  FrameExit Add(const std::string& address, const std::string& postoffice = "po", const std::string& mailbox = "mb") {
    std::string values = QuoteText(address) + "," + QuoteText(postoffice) + "," + QuoteText(mailbox);
    return RunCommand("INSERT INTO LIST_MEMBER (Address,Postoffice,Mailbox) VALUES (" + values + ");");
  }
  // Reads the member matching the conditions built by `build`.
  template <typename Build>
  FrameExit Get(MemberRecord& record, Build build) {
    std::string match;
    if (build(match) == 0) return FrameExit::kRejected;
    return RunSingleRowRead(Settings().RowLimitHead + " ID,Address,Postoffice,Mailbox FROM LIST_MEMBER WHERE (" +
                                match + ") " + Settings().RowLimitTail + ";",
                            MemberTarget(record));
  }
  FrameExit GetByAddress(MemberRecord& record, const std::string& address) {
    return Get(record, [&](std::string& m) { return AddTextCondition(m, "Address", address); });
  }
  std::string Count() {
    return tallowmere::testing::OdbcQuery(database_->connectionString(), "SELECT COUNT(*) FROM LIST_MEMBER").at(0);
  }

  std::unique_ptr<ScratchDatabase> database_;
  std::unique_ptr<LoadedProvider> provider_;
};

TEST_P(InjectionTest, EveryByteIsStoredAndMatchedExactly) {
  std::string all, low, high;
  for (int b = 1; b <= 255; ++b) all += static_cast<char>(b);
  for (int b = 1; b <= 127; ++b) low += static_cast<char>(b);
  for (int b = 128; b <= 254; ++b) high += static_cast<char>(b);
  ASSERT_EQ(Add(all, low, high), FrameExit::kSuccess) << LogCapture::Dump();
  MemberRecord record;
  std::memset(&record, 0, sizeof record);
  ASSERT_EQ(GetByAddress(record, all), FrameExit::kSuccess) << LogCapture::Dump();
  EXPECT_EQ(std::string(record.Address), all);
  EXPECT_EQ(std::string(record.Postoffice), low);
  EXPECT_EQ(std::string(record.Mailbox), high);
  // Each byte alone, as its own row, comes back as itself.
  for (int b = 1; b <= 255; ++b) {
    const std::string value = "v" + std::string(1, static_cast<char>(b)) + "v";
    ASSERT_EQ(Add(value, "single", std::to_string(b)), FrameExit::kSuccess) << b;
    MemberRecord one;
    std::memset(&one, 0, sizeof one);
    ASSERT_EQ(Get(one,
                  [&](std::string& m) {
                    return AddTextCondition(m, "Postoffice", "single") & AddTextCondition(m, "Mailbox", std::to_string(b));
                  }),
              FrameExit::kSuccess)
        << b;
    EXPECT_EQ(std::string(one.Address), value) << b;
  }
}

TEST_P(InjectionTest, HostileValuesChangeNothingElse) {
  const std::vector<std::string> hostile = {
      "C:\\new\\table", "O\\'Brien", "ends with \\", "\\' OR 1=1 -- ", "' OR '1'='1", "'; DELETE FROM LIST_MEMBER; --",
      "\\", "\\\\'", "a\"b", "x' OR Address LIKE '%", "tab\there",
  };
  ASSERT_EQ(Add("sentinel@x"), FrameExit::kSuccess);
  for (const std::string& value : hostile) ASSERT_EQ(Add(value), FrameExit::kSuccess) << value << LogCapture::Dump();
  EXPECT_EQ(Count(), std::to_string(hostile.size() + 1));
  for (const std::string& value : hostile) {
    MemberRecord record;
    std::memset(&record, 0, sizeof record);
    ASSERT_EQ(GetByAddress(record, value), FrameExit::kSuccess) << value;
    EXPECT_EQ(std::string(record.Address), value);
  }
  // Removing each removes exactly its own row.
  size_t left = hostile.size() + 1;
  for (const std::string& value : hostile) {
    std::string match;
    AddTextCondition(match, "Address", value);
    ASSERT_EQ(RunCommand("DELETE FROM LIST_MEMBER WHERE (" + match + ");"), FrameExit::kSuccess) << value;
    EXPECT_EQ(Count(), std::to_string(--left)) << value;
  }
  MemberRecord record;
  EXPECT_EQ(GetByAddress(record, "sentinel@x"), FrameExit::kSuccess);
}

TEST_P(InjectionTest, PatternsMatchUnderscoreAndBackslashLiterally) {
  for (const char* address : {"a_b.example", "axb.example", "a\\b.example", "a\\xb.example", "ab.example"}) {
    ASSERT_EQ(Add(address), FrameExit::kSuccess) << address;
  }
  struct Case {
    const char* pattern;
    const char* found;  // the only row the pattern may match
  } cases[] = {
      {"a_b*", "a_b.example"},
      {"a\\b*", "a\\b.example"},
      {"a\\x*", "a\\xb.example"},
      {"ab*", "ab.example"},
  };
  for (const Case& c : cases) {
    // Every row the pattern matches, excluding those already seen.
    std::vector<std::string> seen;
    for (int guard = 0; guard < 6; ++guard) {
      MemberRecord record;
      std::memset(&record, 0, sizeof record);
      FrameExit exit = Get(record, [&](std::string& m) {
        AddTextCondition(m, "Postoffice", "po");
        for (const std::string& s : seen) m += " AND (Address <> " + QuoteText(s) + ")";
        return AddPatternCondition(m, "Address", c.pattern);
      });
      if (exit != FrameExit::kSuccess) break;
      seen.push_back(record.Address);
    }
    EXPECT_EQ(seen, std::vector<std::string>{c.found}) << c.pattern;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Engines, InjectionTest,
    ::testing::Combine(::testing::Values(Engine::kMariaDb, Engine::kMariaDbNoBackslashEscapes, Engine::kSqlite),
                       ::testing::Values(0, 1)),
    [](const auto& info) {
      return std::string(EngineName(std::get<0>(info.param))) + ModeName(std::get<1>(info.param));
    });

}  // namespace
}  // namespace tallowmere::provider::test
