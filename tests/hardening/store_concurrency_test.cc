// Both store libraries, loaded as a host loads them, called from 8 host
// threads at once on each engine and connection mode. Every thread adds,
// reads, edits, removes and enumerates rows of its own in all five tables,
// and edits its own column of one row that all threads share. Afterwards
// the database holds exactly what the calls that succeeded left: every row
// written is there with its last values, every removed row is gone, and no
// edit of the shared row is lost. Under ThreadSanitizer (scripts/test.sh
// --thread) a data race fails the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "stores/store_fixture.h"
#include "tallowmere/listprov.h"
#include "tallowmere/smtpprov.h"

namespace tallowmere::testing {
namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 12;

ListRecord ListNamed(const std::string& name) {
  auto r = NoListCriteria();
  Put(r.ListName, name);
  return r;
}
ListRecord NewList(const std::string& name, int seed) {
  auto r = NoListCriteria();
  Put(r.ListName, name);
  Put(r.AccountName, "account" + std::to_string(seed));
  Put(r.Description, "first " + name);
  Put(r.ListAddress, name + "@lists.example.com");
  r.ListType = r.Status = r.ReplyToMode = r.MaxMessageSize = r.PostingMode = r.SubScriptionMode = 0;
  r.DigestMode = r.DigestAnnotationMode = r.DigestAttachmentMode = r.FromAddressMode = 0;
  r.MaxMessageSize = seed;
  return r;
}

// The edit of the shared row: its texts as they are (an edit writes every
// text field), every integer -1 (kept) but the caller's own.
ListRecord SharedValues() {
  auto r = NoListCriteria();
  const auto row = NewList("shared", 0);
  std::memcpy(r.ListName, row.ListName, sizeof r.ListName);
  std::memcpy(r.AccountName, row.AccountName, sizeof r.AccountName);
  std::memcpy(r.Description, row.Description, sizeof r.Description);
  std::memcpy(r.ListAddress, row.ListAddress, sizeof r.ListAddress);
  return r;
}

// The column of the shared row that thread t edits, and where it sits in a record.
struct SharedColumn {
  const char* column;
  int32_t ListRecord::*field;
};
constexpr SharedColumn kSharedColumns[kThreads] = {
    {"ReplyToMode", &ListRecord::ReplyToMode},         {"MaxMessageSize", &ListRecord::MaxMessageSize},
    {"PostingMode", &ListRecord::PostingMode},         {"SubScriptionMode", &ListRecord::SubScriptionMode},
    {"DigestMode", &ListRecord::DigestMode},           {"DigestAnnotationMode", &ListRecord::DigestAnnotationMode},
    {"DigestAttachmentMode", &ListRecord::DigestAttachmentMode}, {"FromAddressMode", &ListRecord::FromAddressMode}};

SMTPDomainRecord Domain(const std::string& name, const std::string& account = "") {
  SMTPDomainRecord r;
  std::memset(&r, 0, sizeof r);
  Put(r.DomainName, name);
  Put(r.Account, account);
  r.Status = r.RedirectionStatus = r.RetainMode = r.PollForMessages = r.PollInterval = r.AliasMode = -1;
  return r;
}


// Collects the first few failures of all threads; gtest's own assertions
// would report each one, and a broken run makes thousands.
class Failures {
 public:
  void Check(bool ok, const std::string& what) {
    if (ok) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (++count_ <= 20) first_ += what + "\n";
  }
  int count() const { return count_; }
  const std::string& first() const { return first_; }

 private:
  std::mutex mutex_;
  int count_ = 0;
  std::string first_;
};

class StoreConcurrencyTest : public StoreTest {
 protected:
  StoreConcurrencyTest() : StoreTest("listprov") {}
  void SetUp() override {
    StoreTest::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    smtp_ = std::make_unique<StoreLibrary>("smtpprov", dir_.path() / "registry.reg");
    ASSERT_TRUE(smtp_->ok()) << smtp_->error();
    auto setLogging = smtp_->Get<int32_t (*)(int32_t, TallowmereLoggingCallback, int32_t, int32_t)>("SetLoggingFunction");
    ASSERT_NE(setLogging, nullptr);
    ASSERT_EQ(setLogging(4, CollectLine, 5, 6), 1);
    lists_ = ResolveFamily<ListRecord>(*lib_, "List");
    members_ = ResolveFamily<ListMemberRecord>(*lib_, "ListMember");
    domains_ = ResolveFamily<SMTPDomainRecord>(*smtp_, "SMTPDomain");
    access_ = ResolveFamily<SMTPAccessRecord>(*smtp_, "SMTPAccess");
    blacklist_ = ResolveFamily<SMTPBlacklistRecord>(*smtp_, "SMTPBlacklist");
  }
  void TearDown() override {
    smtp_.reset();
    StoreTest::TearDown();
  }

  // One host thread's work: `kRounds` rounds over every table.
  void Work(int t, Failures& f) {
    const std::string tag = "t" + std::to_string(t);
    const std::string postoffice = "po" + tag;
    const std::string owner = "owner" + tag;
    std::vector<std::string> myDomains;  // this thread's live domains, in the order added
    for (int i = 0; i < kRounds; ++i) {
      const std::string n = tag + "n" + std::to_string(i);
      const bool removed = i % 3 == 0;

      // LIST: add, read back, edit, read back the edit, maybe remove.
      const auto list = NewList("list" + n, i);
      f.Check(lists_.add(&list) == 1, "ListAdd " + n);
      auto got = ListNamed("list" + n);
      f.Check(lists_.get(&got) == 1 && Text(got.Description) == "first list" + n && got.MaxMessageSize == i,
              "ListGet " + n);
      // An edit writes every text field and every integer that is not -1.
      auto values = NewList("list" + n, i);
      Put(values.Description, "edited list" + n);
      const auto byName = ListNamed("list" + n);
      f.Check(lists_.edit(&byName, &values) == 1, "ListEdit " + n);
      got = ListNamed("list" + n);
      f.Check(lists_.get(&got) == 1 && Text(got.Description) == "edited list" + n, "ListGet edited " + n);
      if (removed) {
        got = ListNamed("list" + n);
        f.Check(lists_.remove(&got) == 1, "ListRemove " + n);
        f.Check(lists_.get(&got) == 0, "ListGet removed " + n);
      }

      // The shared row: this thread's own column, set to the round number.
      auto mine = SharedValues();
      mine.*kSharedColumns[t].field = i;
      const auto shared = ListNamed("shared");
      f.Check(lists_.edit(&shared, &mine) == 1, "ListEdit shared " + n);

      // LIST_MEMBER: the same cycle, then an enumeration of this thread's
      // postoffice. The position is one for the whole library, so other
      // threads' walks move it: a walk may skip rows, but every row it
      // returns is one of this thread's, and it ends.
      const auto member = Member(n + "@example.com", postoffice, "box");
      f.Check(members_.add(&member) == 1, "ListMemberAdd " + n);
      auto values2 = Member(n + "@example.com", postoffice, "edited" + n);
      f.Check(members_.edit(&member, &values2) == 1, "ListMemberEdit " + n);
      auto gotMember = Member(n + "@example.com", "", "");
      f.Check(members_.get(&gotMember) == 1 && Text(gotMember.Mailbox) == "edited" + n, "ListMemberGet " + n);
      if (removed) {
        gotMember = Member(n + "@example.com", "", "");
        f.Check(members_.remove(&gotMember) == 1, "ListMemberRemove " + n);
        f.Check(members_.get(&gotMember) == 0, "ListMemberGet removed " + n);
      }
      auto walk = Member("", postoffice, "");
      int32_t rc = members_.findFirst(&walk);
      for (int calls = 0; rc == 1; ++calls) {
        f.Check(Text(walk.Postoffice) == postoffice && Text(walk.Mailbox).rfind("edited" + tag + "n", 0) == 0,
                "ListMember walk " + n + " returned " + Text(walk.Address));
        if (calls > kRounds * kThreads) {
          f.Check(false, "ListMember walk " + n + " does not end");
          break;
        }
        walk = Member("", postoffice, "");
        rc = members_.findNext(&walk);
      }

      // DOMAIN: the cycle, then a walk by this thread's account. Positions
      // are per thread, so the walk returns exactly this thread's live
      // domains in the order they were added.
      const std::string domainName = "d" + n + ".example";
      const auto domain = Domain(domainName, owner);
      f.Check(domains_.add(&domain) == 1, "SMTPDomainAdd " + n);
      auto domainValues = Domain(domainName, owner);
      domainValues.PollInterval = 1000 + i;
      f.Check(domains_.edit(&domain, &domainValues) == 1, "SMTPDomainEdit " + n);
      auto gotDomain = Domain(domainName);
      f.Check(domains_.get(&gotDomain) == 1 && gotDomain.PollInterval == 1000 + i, "SMTPDomainGet " + n);
      myDomains.push_back(domainName);
      if (i % 3 == 1) {
        gotDomain = Domain(domainName);
        f.Check(domains_.remove(&gotDomain) == 1, "SMTPDomainRemove " + n);
        myDomains.pop_back();
      }
      std::vector<std::string> walked;
      auto byOwner = Domain("", owner);
      auto record = byOwner;
      for (int32_t r = domains_.findFirst(&record); r == 1 && walked.size() <= myDomains.size();
           r = domains_.findNext(&record)) {
        walked.push_back(Text(record.DomainName));
        record = byOwner;
      }
      f.Check(walked == myDomains, "SMTPDomain walk " + n);

      // SMTP_BLACKLIST and SMTP_ACCESS: add, read, edit, maybe remove.
      const std::string target = tag + ".example";
      const std::string banned = "b" + std::to_string(i) + ".example";
      const auto entry = Entry(target, banned, 1);
      f.Check(blacklist_.add(&entry) == 1, "SMTPBlacklistAdd " + n);
      auto entryValues = Entry(target, banned, 100 + i);
      f.Check(blacklist_.edit(&entry, &entryValues) == 1, "SMTPBlacklistEdit " + n);
      auto gotEntry = Entry(target, banned);
      f.Check(blacklist_.get(&gotEntry) == 1 && gotEntry.Status == 100 + i, "SMTPBlacklistGet " + n);
      gotEntry = Entry(target, banned);
      if (i % 3 == 2) f.Check(blacklist_.remove(&gotEntry) == 1, "SMTPBlacklistRemove " + n);

      const std::string mask = "10." + std::to_string(t) + "." + std::to_string(i) + ".*";
      const auto rule = Rule(1, mask, 1, owner);
      f.Check(access_.add(&rule) == 1, "SMTPAccessAdd " + n);
      auto byAddress = Rule(1, "10." + std::to_string(t) + "." + std::to_string(i) + ".7");
      f.Check(access_.findFirst(&byAddress) == 1 && Text(byAddress.AddressMask) == mask, "SMTPAccessFindFirst " + n);
      auto ruleValues = Rule(-1, mask, 200 + i, owner);
      f.Check(access_.edit(&rule, &ruleValues) == 1, "SMTPAccessEdit " + n);
      const auto ruleMatch = Rule(1, mask);
      if (removed) f.Check(access_.remove(&ruleMatch) == 1, "SMTPAccessRemove " + n);
    }
  }

  std::unique_ptr<StoreLibrary> smtp_;
  FamilyExports<ListRecord> lists_{};
  FamilyExports<ListMemberRecord> members_{};
  FamilyExports<SMTPDomainRecord> domains_{};
  FamilyExports<SMTPAccessRecord> access_{};
  FamilyExports<SMTPBlacklistRecord> blacklist_{};
};

TEST_P(StoreConcurrencyTest, EightThreadsLoseNoRowAndNoUpdate) {
  const auto shared = NewList("shared", 0);
  ASSERT_EQ(lists_.add(&shared), 1);

  Failures failures;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back([this, t, &failures] { Work(t, failures); });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.count(), 0) << failures.first();

  // What the database holds afterwards, row by row.
  auto q = [&](const std::string& sql) { return db_->QueryText(sql).value_or("<none>"); };
  int wrong = 0;
  auto expect = [&](const std::string& got, const std::string& want, const std::string& what) {
    if (got != want && ++wrong <= 20) ADD_FAILURE() << what << ": '" << got << "', expected '" << want << "'";
  };
  int lists = 1, members = 0, domains = 0, entries = 0, rules = 0;
  for (int t = 0; t < kThreads; ++t) {
    const std::string tag = "t" + std::to_string(t);
    for (int i = 0; i < kRounds; ++i) {
      const std::string n = tag + "n" + std::to_string(i);
      const bool removed = i % 3 == 0;
      expect(q("SELECT Description FROM LIST WHERE ListName='list" + n + "'"), removed ? "<none>" : "edited list" + n,
             "LIST " + n);
      expect(q("SELECT Mailbox FROM LIST_MEMBER WHERE Address='" + n + "@example.com'"),
             removed ? "<none>" : "edited" + n, "LIST_MEMBER " + n);
      expect(q("SELECT PollInterval FROM DOMAIN WHERE DomainName='d" + n + ".example'"),
             i % 3 == 1 ? "<none>" : std::to_string(1000 + i), "DOMAIN " + n);
      expect(q("SELECT Status FROM SMTP_BLACKLIST WHERE TargetDomainName='" + tag + ".example' AND BannedDomainName='b" +
               std::to_string(i) + ".example'"),
             i % 3 == 2 ? "<none>" : std::to_string(100 + i), "SMTP_BLACKLIST " + n);
      expect(q("SELECT Status FROM SMTP_ACCESS WHERE AddressMask='10." + std::to_string(t) + "." + std::to_string(i) +
               ".*'"),
             removed ? "<none>" : std::to_string(200 + i), "SMTP_ACCESS " + n);
      lists += !removed;
      members += !removed;
      domains += i % 3 != 1;
      entries += i % 3 != 2;
      rules += !removed;
    }
    expect(q(std::string("SELECT ") + kSharedColumns[t].column + " FROM LIST WHERE ListName='shared'"),
           std::to_string(kRounds - 1), std::string("shared row, column ") + kSharedColumns[t].column);
  }
  EXPECT_EQ(wrong, 0);
  // Nothing else was written.
  EXPECT_EQ(Count("LIST"), lists);
  EXPECT_EQ(Count("LIST_MEMBER"), members);
  EXPECT_EQ(Count("DOMAIN"), domains);
  EXPECT_EQ(Count("SMTP_BLACKLIST"), entries);
  EXPECT_EQ(Count("SMTP_ACCESS"), rules);
}

std::vector<Backend> Backends() {
  std::vector<Backend> backends;
  for (const Backend& backend : AllBackends())
    if (backend.engine != Engine::kMariaDbNoBackslashEscapes) backends.push_back(backend);
  return backends;
}

INSTANTIATE_TEST_SUITE_P(Backends, StoreConcurrencyTest, ::testing::ValuesIn(Backends()), BackendName);

}  // namespace
}  // namespace tallowmere::testing
