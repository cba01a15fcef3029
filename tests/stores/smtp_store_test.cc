// libsmtpprov end to end through its exports on real databases: domains,
// access rules found by IPv4 and IPv6 address, blacklist patterns, result
// codes of each table, per-thread enumeration positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "store_fixture.h"
#include "tallowmere/smtpprov.h"

namespace tallowmere::testing {
namespace {

template <typename R>
using Fn1 = int32_t (*)(R*);
template <typename R>
using FnConst = int32_t (*)(const R*);
template <typename R>
using FnEdit = int32_t (*)(const R*, const R*);

// The six exports of one family, resolved by prefix ("SMTPDomain").
template <typename R>
struct Family {
  FnConst<R> add;
  Fn1<R> get;
  FnEdit<R> edit;
  FnConst<R> remove;
  Fn1<R> findFirst;
  Fn1<R> findNext;
  int32_t Add(const R& r) const { return add(&r); }
  int32_t Edit(const R& m, const R& v) const { return edit(&m, &v); }
  int32_t Remove(const R& m) const { return remove(&m); }
};

SMTPDomainRecord Domain(const std::string& name, int32_t status = -1) {
  SMTPDomainRecord r;
  std::memset(&r, 0, sizeof r);
  Put(r.DomainName, name);
  r.Status = r.RedirectionStatus = status;
  r.RetainMode = r.PollForMessages = r.PollInterval = r.AliasMode = -1;
  return r;
}
SMTPDomainRecord FullDomain(const std::string& name, int seed) {
  SMTPDomainRecord r;
  std::memset(&r, 0, sizeof r);
  Put(r.DomainName, name);
  r.Status = seed;
  r.RedirectionStatus = seed + 1;
  Put(r.RedirectionHosts, "mx1." + name + ";mx2." + name);
  Put(r.Account, "account" + std::to_string(seed));
  r.RetainMode = 1;
  r.PollForMessages = 0;
  Put(r.UpStreamHost, "upstream." + name);
  r.PollInterval = 300 + seed;
  r.AliasMode = 2;
  Put(r.AliasValue, "alias." + name);
  return r;
}

class SmtpStoreTest : public StoreTest {
 protected:
  SmtpStoreTest() : StoreTest("smtpprov") {}
  void SetUp() override {
    StoreTest::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    domains = Resolve<SMTPDomainRecord>("SMTPDomain");
    access = Resolve<SMTPAccessRecord>("SMTPAccess");
    blacklist = Resolve<SMTPBlacklistRecord>("SMTPBlacklist");
  }
  template <typename R>
  Family<R> Resolve(const std::string& prefix) {
    return {Fn<FnConst<R>>((prefix + "Add").c_str()),      Fn<Fn1<R>>((prefix + "Get").c_str()),
            Fn<FnEdit<R>>((prefix + "Edit").c_str()),      Fn<FnConst<R>>((prefix + "Remove").c_str()),
            Fn<Fn1<R>>((prefix + "FindFirst").c_str()), Fn<Fn1<R>>((prefix + "FindNext").c_str())};
  }
  // Masks of the access rules an enumeration with `criteria` returns.
  std::vector<std::string> Masks(const SMTPAccessRecord& criteria) {
    std::vector<std::string> masks;
    auto record = criteria;
    for (int32_t rc = access.findFirst(&record); rc == 1; rc = access.findNext(&record)) {
      masks.push_back(Text(record.AddressMask));
      record = criteria;
    }
    return masks;
  }

  Family<SMTPDomainRecord> domains{};
  Family<SMTPAccessRecord> access{};
  Family<SMTPBlacklistRecord> blacklist{};
};

TEST_P(SmtpStoreTest, DomainRoundTripAndMarkers) {
  const auto stored = FullDomain("d.example", 1);
  ASSERT_EQ(domains.Add(stored), 1);
  ASSERT_EQ(domains.Add(FullDomain("e.example", 4)), 1);
  EXPECT_EQ(domains.Add(stored), 1);  // duplicate: success, no second row
  EXPECT_EQ(Count("DOMAIN"), 2);

  auto found = Domain("d.example");
  Put(found.AliasValue, "never a criterion");
  ASSERT_EQ(domains.get(&found), 1);
  EXPECT_EQ(Text(found.DomainName), "d.example");
  EXPECT_EQ(found.Status, 1);
  EXPECT_EQ(found.RedirectionStatus, 2);
  EXPECT_EQ(Text(found.RedirectionHosts), "mx1.d.example;mx2.d.example");
  EXPECT_EQ(Text(found.Account), "account1");
  EXPECT_EQ(found.RetainMode, 1);
  EXPECT_EQ(found.PollForMessages, 0);
  EXPECT_EQ(Text(found.UpStreamHost), "upstream.d.example");
  EXPECT_EQ(found.PollInterval, 301);
  EXPECT_EQ(found.AliasMode, 2);
  EXPECT_EQ(Text(found.AliasValue), "alias.d.example");

  // PollInterval -1 is kept; empty texts are stored empty.
  auto values = FullDomain("d.example", 1);
  values.PollInterval = -1;
  Put(values.UpStreamHost, "");
  Put(values.AliasValue, "");
  ASSERT_EQ(domains.Edit(Domain("d.example"), values), 1);
  found = Domain("d.example");
  ASSERT_EQ(domains.get(&found), 1);
  EXPECT_EQ(found.PollInterval, 301);
  EXPECT_EQ(Text(found.UpStreamHost), "");
  EXPECT_EQ(Text(found.AliasValue), "");

  // Matching nothing: 0 for both.
  EXPECT_EQ(domains.Edit(Domain("none.example"), values), 0);
  EXPECT_EQ(domains.Remove(Domain("none.example")), 0);
  auto missing = Domain("none.example");
  EXPECT_EQ(domains.get(&missing), 0);

  // A RedirectionHosts criterion of 2047 characters matches like a short one.
  auto longHosts = FullDomain("long.example", 9);
  Put(longHosts.RedirectionHosts, std::string(2047, 'h'));
  ASSERT_EQ(domains.Add(longHosts), 1);
  auto byHosts = Domain("");
  Put(byHosts.RedirectionHosts, std::string(2047, 'h'));
  ASSERT_EQ(domains.get(&byHosts), 1);
  EXPECT_EQ(Text(byHosts.DomainName), "long.example");

  // No criteria: Remove empties the table.
  EXPECT_EQ(domains.Remove(Domain("")), 1);
  EXPECT_EQ(Count("DOMAIN"), 0);
}

TEST_P(SmtpStoreTest, AccessRulesCoveringAnIPv4Address) {
  ASSERT_EQ(access.Add(Rule(1, "192.0.2.*", 0, "acc", "allow")), 1);
  ASSERT_EQ(access.Add(Rule(1, "192.*.*.*", 0, "acc", "deny")), 1);
  ASSERT_EQ(access.Add(Rule(1, "198.51.100.*", 0, "acc", "deny")), 1);
  ASSERT_EQ(access.Add(Rule(2, "192.0.2.7", 0, "acc", "allow")), 1);
  ASSERT_EQ(access.Add(Rule(1, "192.0.2.7", 5, "acc", "allow")), 1);
  EXPECT_EQ(db_->QueryInt("SELECT COUNT(*) FROM SMTP_ACCESS WHERE Mode = 1 AND Status = 0"), 3);

  EXPECT_EQ(Masks(Rule(1, "192.0.2.7")), (std::vector<std::string>{"192.0.2.*", "192.*.*.*", "192.0.2.7"}));
  EXPECT_EQ(Masks(Rule(1, "192.0.2.7", 0)), (std::vector<std::string>{"192.0.2.*", "192.*.*.*"}));
  EXPECT_EQ(Masks(Rule(1, "10.0.0.1")), std::vector<std::string>{});
  // Mode -1: the mask is compared literally.
  EXPECT_EQ(Masks(Rule(-1, "192.0.2.7")), (std::vector<std::string>{"192.0.2.7", "192.0.2.7"}));
  EXPECT_EQ(Masks(Rule(-1, "192.0.2.*")), (std::vector<std::string>{"192.0.2.*"}));

  // Get, Edit and Remove take the mask as a pattern after a first condition.
  auto byPattern = Rule(1, "192.0.2.*");
  ASSERT_EQ(access.get(&byPattern), 1);
  EXPECT_TRUE(Text(byPattern.AddressMask) == "192.0.2.*" || Text(byPattern.AddressMask) == "192.0.2.7");
  auto literal = Rule(-1, "192.0.2.*");
  ASSERT_EQ(access.get(&literal), 1);
  EXPECT_EQ(Text(literal.AddressMask), "192.0.2.*");
  auto noLiteral = Rule(-1, "198.51.*");
  EXPECT_EQ(access.get(&noLiteral), 0);

  ASSERT_EQ(access.Edit(Rule(2, "192.0.2.7"), Rule(-1, "192.0.2.8", -1, "acc2", "deny")), 1);
  EXPECT_EQ(db_->QueryInt("SELECT Mode FROM SMTP_ACCESS WHERE AddressMask = '192.0.2.8'"), 2);
  // Remove: no match gives -1, a match 1.
  EXPECT_EQ(access.Remove(Rule(7, "192.0.2.8")), -1);
  EXPECT_EQ(access.Remove(Rule(2, "192.0.2.*")), 1);
  EXPECT_EQ(Count("SMTP_ACCESS"), 4);
}

TEST_P(SmtpStoreTest, AccessRulesCoveringAnIPv6Address) {
  ASSERT_EQ(access.Add(Rule(1, "2001:0db8:0000:0000:0000:0000:0000:*")), 1);
  ASSERT_EQ(access.Add(Rule(1, "2001:db8::*")), 1);  // short form: never found by address
  ASSERT_EQ(access.Add(Rule(1, "2001:0db8:*:*:*:*:*:*")), 1);
  ASSERT_EQ(access.Add(Rule(1, "*:*:*:*:*:*:*:*")), 1);
  ASSERT_EQ(access.Add(Rule(1, "2001:0db9:*:*:*:*:*:*")), 1);
  ASSERT_EQ(access.Add(Rule(1, "2001:0db8:0000:0000:0000:0000:0000:0001")), 1);
  const std::vector<std::string> covering = {"2001:0db8:0000:0000:0000:0000:0000:*", "2001:0db8:*:*:*:*:*:*",
                                             "*:*:*:*:*:*:*:*", "2001:0db8:0000:0000:0000:0000:0000:0001"};
  EXPECT_EQ(Masks(Rule(1, "2001:db8::1")), covering);
  EXPECT_EQ(Masks(Rule(1, "2001:DB8:0:0:0:0:0:1")), covering);
  // An address that does not parse expands as 0000:...: only the catch-all.
  EXPECT_EQ(Masks(Rule(1, "::ffff:1.2.3.4")), std::vector<std::string>{"*:*:*:*:*:*:*:*"});
}

TEST_P(SmtpStoreTest, UnderscoreInPatternsIsLiteral) {
  ASSERT_EQ(access.Add(Rule(1, "a_b.example")), 1);
  ASSERT_EQ(access.Add(Rule(1, "axb.example")), 1);
  auto rule = Rule(1, "a_b*");
  ASSERT_EQ(access.get(&rule), 1);
  EXPECT_EQ(Text(rule.AddressMask), "a_b.example");
  EXPECT_EQ(access.Remove(Rule(1, "a_b*")), 1);
  auto gone = Rule(1, "a_b*");
  EXPECT_EQ(access.get(&gone), 0);
  EXPECT_EQ(Count("SMTP_ACCESS"), 1);

  ASSERT_EQ(blacklist.Add(Entry("t.example", "x_y.example")), 1);
  ASSERT_EQ(blacklist.Add(Entry("t.example", "xzy.example")), 1);
  EXPECT_EQ(blacklist.Remove(Entry("t.example", "x_y*")), 1);
  EXPECT_EQ(Count("SMTP_BLACKLIST"), 1);
  EXPECT_EQ(db_->QueryText("SELECT BannedDomainName FROM SMTP_BLACKLIST"), std::string("xzy.example"));
}

TEST_P(SmtpStoreTest, BlacklistPatterns) {
  ASSERT_EQ(blacklist.Add(Entry("t.example", "spam.example", 1, "acc")), 1);
  ASSERT_EQ(blacklist.Add(Entry("*.example", "*.example", 2, "acc")), 1);
  EXPECT_EQ(db_->QueryText("SELECT Status FROM SMTP_BLACKLIST WHERE TargetDomainName = 't.example'"),
            std::string("1"));

  struct Case {
    SMTPBlacklistRecord criteria;
    int32_t result;
    std::string banned;  // of the row found
  } cases[] = {
      {Entry("t.example", "*.example"), 1, "spam.example"},
      {Entry("*.example", ""), 1, "*.example"},     // the target is always literal
      {Entry("", "*.example"), 1, "*.example"},     // first condition: literal too
      {Entry("", "spam.example"), 1, "spam.example"},
      {Entry("u.example", "*.example"), 0, ""},
      {Entry("t.example", "*.org"), 0, ""},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(Text(c.criteria.TargetDomainName) + " / " + Text(c.criteria.BannedDomainName));
    EXPECT_EQ(blacklist.get(&c.criteria), c.result);
    if (c.result == 1) {
      EXPECT_EQ(Text(c.criteria.BannedDomainName), c.banned);
    }
  }

  // Edit with Status -1 keeps the status and rewrites the texts; with no
  // criteria it rewrites every row (the unique index would forbid that).
  DropIndex("SMTP_BLACKLIST", "UX_SMTP_BLACKLIST");
  ASSERT_EQ(blacklist.Edit(Entry("t.example", ""), Entry("t2.example", "ham.example", -1, "")), 1);
  auto edited = Entry("t2.example", "");
  ASSERT_EQ(blacklist.get(&edited), 1);
  EXPECT_EQ(edited.Status, 1);
  EXPECT_EQ(Text(edited.Account), "");
  ASSERT_EQ(blacklist.Edit(Entry("", ""), Entry("all.example", "all.example", 3, "x")), 1);
  EXPECT_EQ(db_->QueryInt("SELECT COUNT(*) FROM SMTP_BLACKLIST WHERE Status = 3 AND Account = 'x'"), 2);
  EXPECT_EQ(blacklist.Edit(Entry("none.example", ""), Entry("a", "b")), 0);
  EXPECT_EQ(blacklist.Remove(Entry("none.example", "")), 0);
}

TEST_P(SmtpStoreTest, EveryByteAndHostileValues) {
  for (const auto& piece : EveryByteIn(64)) {
    SCOPED_TRACE(::testing::PrintToString(piece));
    ASSERT_EQ(access.Add(Rule(3, piece, 0, piece, piece)), 1);
    auto found = Rule(-1, piece, -1, piece, piece);
    ASSERT_EQ(access.get(&found), 1);
    EXPECT_EQ(Text(found.AddressMask), piece);
    EXPECT_EQ(Text(found.Account), piece);
    EXPECT_EQ(Text(found.AccessRight), piece);
    ASSERT_EQ(blacklist.Add(Entry(piece, piece + piece, 0, piece)), 1);
    auto entry = Entry(piece, "", -1, piece);
    ASSERT_EQ(blacklist.get(&entry), 1);
    EXPECT_EQ(Text(entry.BannedDomainName), piece + piece);
    ASSERT_EQ(domains.Add(FullDomain(piece, 1)), 1);
    auto domain = Domain(piece);
    ASSERT_EQ(domains.get(&domain), 1);
    EXPECT_EQ(Text(domain.UpStreamHost), "upstream." + piece);
  }
  const auto rules = Count("SMTP_ACCESS");
  for (const auto& value : HostileValues()) {
    SCOPED_TRACE(value);
    EXPECT_EQ(access.Remove(Rule(9, value)), -1);
    EXPECT_EQ(blacklist.Remove(Entry(value, value)), 0);
    EXPECT_EQ(domains.Remove(Domain(value)), 0);
    EXPECT_EQ(Count("SMTP_ACCESS"), rules);
    ASSERT_EQ(access.Add(Rule(4, value, 0, value, "r")), 1);
    auto found = Rule(-1, value);
    ASSERT_EQ(access.findFirst(&found), 1);
    EXPECT_EQ(Text(found.AddressMask), value);
    EXPECT_EQ(access.Remove(Rule(-1, value)), 1);
  }
}

TEST_P(SmtpStoreTest, EnumerationPositionsArePerThread) {
  constexpr int kRows = 25;
  for (int i = 0; i < kRows; ++i) ASSERT_EQ(domains.Add(FullDomain("d" + std::to_string(i) + ".example", i)), 1);
  std::vector<std::string> expected;
  for (int i = 0; i < kRows; ++i) expected.push_back("d" + std::to_string(i) + ".example");

  // Two threads walk the whole table at the same time, each with its own
  // position: each sees every row once, in ascending ID.
  std::vector<std::string> seen[2];
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&, t] {
      auto record = Domain("");
      for (int32_t rc = domains.findFirst(&record); rc == 1; rc = domains.findNext(&record)) {
        seen[t].push_back(Text(record.DomainName));
        record = Domain("");
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(seen[0], expected);
  EXPECT_EQ(seen[1], expected);

  // Interleaved in one thread, with another thread's FindFirst in between.
  auto record = Domain("");
  ASSERT_EQ(domains.findFirst(&record), 1);
  std::thread([&] {
    auto other = Domain("");
    EXPECT_EQ(domains.findFirst(&other), 1);
    EXPECT_EQ(Text(other.DomainName), "d0.example");
  }).join();
  record = Domain("");
  ASSERT_EQ(domains.findNext(&record), 1);
  EXPECT_EQ(Text(record.DomainName), "d1.example");

  // A new thread starts at 0 for every family.
  ASSERT_EQ(access.Add(Rule(1, "10.*.*.*")), 1);
  ASSERT_EQ(blacklist.Add(Entry("t", "b")), 1);
  std::thread([&] {
    auto rule = Rule(-1, "");
    EXPECT_EQ(access.findNext(&rule), 1);
    auto entry = Entry("", "");
    EXPECT_EQ(blacklist.findNext(&entry), 1);
    auto domain = Domain("");
    EXPECT_EQ(domains.findNext(&domain), 1);
    EXPECT_EQ(Text(domain.DomainName), "d0.example");
  }).join();
}

TEST_P(SmtpStoreTest, RejectedStatementsGiveEachTablesResult) {
  if (SkipRejectionInSharedMode()) GTEST_SKIP() << "a rejection recycles the shared connection (20 s)";
  // Take the tables away behind the library's back: every statement is rejected.
  for (const char* table : {"DOMAIN", "SMTP_ACCESS", "SMTP_BLACKLIST"})
    ASSERT_TRUE(db_->Exec(std::string("DROP TABLE ") + table)) << db_->lastError();
  auto domain = Domain("d");
  auto rule = Rule(1, "10.0.0.1");
  auto entry = Entry("t", "b");
  struct Case {
    const char* what;
    int32_t result;
    int32_t expected;
  } cases[] = {
      {"SMTPDomainAdd", domains.Add(domain), 0},        {"SMTPDomainGet", domains.get(&domain), -1},
      {"SMTPDomainEdit", domains.Edit(domain, domain), 0}, {"SMTPDomainRemove", domains.Remove(domain), 0},
      {"SMTPDomainFindFirst", domains.findFirst(&domain), 0},
      {"SMTPAccessAdd", access.Add(rule), 0},           {"SMTPAccessGet", access.get(&rule), -1},
      {"SMTPAccessEdit", access.Edit(rule, rule), 0},   {"SMTPAccessRemove", access.Remove(rule), -1},
      {"SMTPAccessFindFirst", access.findFirst(&rule), -1},
      {"SMTPBlacklistAdd", blacklist.Add(entry), 0},    {"SMTPBlacklistGet", blacklist.get(&entry), -1},
      {"SMTPBlacklistEdit", blacklist.Edit(entry, entry), 0},
      {"SMTPBlacklistRemove", blacklist.Remove(entry), 0},
      {"SMTPBlacklistFindFirst", blacklist.findFirst(&entry), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.result, c.expected) << c.what;
  // The access FindNext reports the failed execution with the statement.
  const auto lines = TakeLoggedLines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const LoggedLine& line) {
    return line.level == 9 && line.text.rfind("TW-IXXXX: SQLExecDirect Failed: -1. SELECT ", 0) == 0 &&
           line.text.find("FROM SMTP_ACCESS WHERE ((Mode = 1) AND ((AddressMask = '10.*.*.*')") != std::string::npos;
  }));
}

TEST_P(SmtpStoreTest, NullRecordsAndNoOpExports) {
  EXPECT_EQ(domains.add(nullptr), 0);
  EXPECT_EQ(domains.get(nullptr), 0);
  EXPECT_EQ(domains.edit(nullptr, nullptr), 0);
  EXPECT_EQ(domains.remove(nullptr), 0);
  EXPECT_EQ(domains.findFirst(nullptr), 0);
  EXPECT_EQ(access.add(nullptr), 0);
  EXPECT_EQ(access.get(nullptr), 0);
  EXPECT_EQ(access.remove(nullptr), 0);
  EXPECT_EQ(access.findNext(nullptr), 0);
  EXPECT_EQ(blacklist.add(nullptr), 0);
  EXPECT_EQ(blacklist.findNext(nullptr), 0);
  EXPECT_EQ(Fn<int32_t (*)()>("Initialize")(), 1);
  EXPECT_EQ(Fn<int32_t (*)()>("UnInitialize")(), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, SmtpStoreTest, ::testing::ValuesIn(AllBackends()), BackendName);

}  // namespace
}  // namespace tallowmere::testing
