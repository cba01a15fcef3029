// liblistprov end to end through its exports on real databases: both
// families, markers, duplicates, byte-exact texts, hostile values, the shared
// enumeration positions, over-width and NULL columns, bad host input.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <set>
#include <thread>
#include <vector>

#include "store_fixture.h"
#include "tallowmere/listprov.h"

namespace tallowmere::testing {
namespace {

using ListFn = int32_t (*)(ListRecord*);
using ListConstFn = int32_t (*)(const ListRecord*);
using ListEditFn = int32_t (*)(const ListRecord*, const ListRecord*);
using MemberFn = int32_t (*)(ListMemberRecord*);
using MemberConstFn = int32_t (*)(const ListMemberRecord*);
using MemberEditFn = int32_t (*)(const ListMemberRecord*, const ListMemberRecord*);

ListRecord ByName(const std::string& name) {
  auto r = NoListCriteria();
  Put(r.ListName, name);
  return r;
}

// Every field set to a value derived from `seed`.
ListRecord FullList(const std::string& name, int seed) {
  ListRecord r;
  std::memset(&r, 0, sizeof r);
  const std::string s = std::to_string(seed);
  Put(r.ListName, name);
  Put(r.AccountName, "account" + s);
  r.ListType = seed + 1;
  Put(r.ModeratorAddress, "moderator" + s + "@example.com");
  r.Status = seed + 2;
  Put(r.Description, "description " + s);
  r.HeaderAnnotationStatus = seed + 3;
  Put(r.HeaderAnnotation, "header " + s);
  r.FooterAnnotationStatus = seed + 4;
  Put(r.FooterAnnotation, "footer " + s);
  Put(r.ListAddress, name + "@lists.example.com");
  r.SubscribeMessageFileStatus = seed + 5;
  Put(r.SubscribeMessageFile, "subscribe" + s + ".txt");
  r.UnsubscribeMessageFileStatus = seed + 6;
  Put(r.UnsubscribeMessageFile, "unsubscribe" + s + ".txt");
  r.SubjectSuffixStatus = seed + 7;
  Put(r.SubjectSuffix, "suffix" + s);
  r.SubjectPrefixStatus = seed + 8;
  Put(r.SubjectPrefix, "[prefix" + s + "]");
  Put(r.Owner, "owner" + s);
  r.HelpMessageFileStatus = seed + 9;
  Put(r.HelpMessageFile, "help" + s + ".txt");
  r.RemovalMessageFileStatus = seed + 10;
  Put(r.RemovalMessageFile, "removal" + s + ".txt");
  r.ReplyToMode = seed + 11;
  r.MaxMessageSize = 1048576 + seed;
  r.PostingMode = seed + 12;
  r.SubScriptionMode = seed + 13;
  r.AuthenticationMode = -(seed + 14);  // negative values are ordinary values
  Put(r.Password, "secret" + s);
  r.DigestMode = seed + 15;
  Put(r.DigestMailbox, "digest" + s);
  r.DigestAnnotationMode = seed + 16;
  r.DigestAttachmentMode = seed + 17;
  r.DigestMessageSeparationMode = seed + 18;
  r.DigestSchedulingStatus = seed + 19;
  r.DigestSchedulingMode = seed + 20;
  r.DigestSchedulingInterval = 2147483647 - seed;
  r.FromAddressMode = seed + 21;
  return r;
}

// Compares two records field by field (texts up to their terminator).
void ExpectSameList(const ListRecord& a, const ListRecord& b) {
#define TEXT_EQ(f) EXPECT_EQ(Text(a.f), Text(b.f)) << #f
#define INT_EQ(f) EXPECT_EQ(a.f, b.f) << #f
  TEXT_EQ(ListName); TEXT_EQ(AccountName); INT_EQ(ListType); TEXT_EQ(ModeratorAddress); INT_EQ(Status);
  TEXT_EQ(Description); INT_EQ(HeaderAnnotationStatus); TEXT_EQ(HeaderAnnotation); INT_EQ(FooterAnnotationStatus);
  TEXT_EQ(FooterAnnotation); TEXT_EQ(ListAddress); INT_EQ(SubscribeMessageFileStatus);
  TEXT_EQ(SubscribeMessageFile); INT_EQ(UnsubscribeMessageFileStatus); TEXT_EQ(UnsubscribeMessageFile);
  INT_EQ(SubjectSuffixStatus); TEXT_EQ(SubjectSuffix); INT_EQ(SubjectPrefixStatus); TEXT_EQ(SubjectPrefix);
  TEXT_EQ(Owner); INT_EQ(HelpMessageFileStatus); TEXT_EQ(HelpMessageFile); INT_EQ(RemovalMessageFileStatus);
  TEXT_EQ(RemovalMessageFile); INT_EQ(ReplyToMode); INT_EQ(MaxMessageSize); INT_EQ(PostingMode);
  INT_EQ(SubScriptionMode); INT_EQ(AuthenticationMode); TEXT_EQ(Password); INT_EQ(DigestMode);
  TEXT_EQ(DigestMailbox); INT_EQ(DigestAnnotationMode); INT_EQ(DigestAttachmentMode);
  INT_EQ(DigestMessageSeparationMode); INT_EQ(DigestSchedulingStatus); INT_EQ(DigestSchedulingMode);
  INT_EQ(DigestSchedulingInterval); INT_EQ(FromAddressMode);
#undef TEXT_EQ
#undef INT_EQ
}

class ListStoreTest : public StoreTest {
 protected:
  ListStoreTest() : StoreTest("listprov") {}
  void SetUp() override {
    StoreTest::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    add = Fn<ListConstFn>("ListAdd");
    get = Fn<ListFn>("ListGet");
    edit = Fn<ListEditFn>("ListEdit");
    remove = Fn<ListConstFn>("ListRemove");
    findFirst = Fn<ListFn>("ListFindFirst");
    findNext = Fn<ListFn>("ListFindNext");
    memberAdd = Fn<MemberConstFn>("ListMemberAdd");
    memberGet = Fn<MemberFn>("ListMemberGet");
    memberEdit = Fn<MemberEditFn>("ListMemberEdit");
    memberRemove = Fn<MemberConstFn>("ListMemberRemove");
    memberFindFirst = Fn<MemberFn>("ListMemberFindFirst");
    memberFindNext = Fn<MemberFn>("ListMemberFindNext");
  }
  // Names returned by a whole enumeration with `criteria` put back before each call.
  std::vector<std::string> Enumerate(const ListRecord& criteria) {
    std::vector<std::string> names;
    ListRecord record = criteria;
    for (int32_t rc = findFirst(&record); rc == 1; rc = findNext(&record)) {
      names.push_back(Text(record.ListName));
      record = criteria;
    }
    return names;
  }

  int32_t Add(const ListRecord& r) { return add(&r); }
  int32_t Edit(const ListRecord& m, const ListRecord& v) { return edit(&m, &v); }
  int32_t Remove(const ListRecord& m) { return remove(&m); }
  int32_t MemberAdd(const ListMemberRecord& r) { return memberAdd(&r); }
  int32_t MemberEdit(const ListMemberRecord& m, const ListMemberRecord& v) { return memberEdit(&m, &v); }
  int32_t MemberRemove(const ListMemberRecord& m) { return memberRemove(&m); }

  ListConstFn add = nullptr, remove = nullptr;
  ListFn get = nullptr, findFirst = nullptr, findNext = nullptr;
  ListEditFn edit = nullptr;
  MemberConstFn memberAdd = nullptr, memberRemove = nullptr;
  MemberFn memberGet = nullptr, memberFindFirst = nullptr, memberFindNext = nullptr;
  MemberEditFn memberEdit = nullptr;
};

TEST_P(ListStoreTest, RoundTripOfEveryField) {
  const auto stored = FullList("staff", 7);
  ASSERT_EQ(add(&stored), 1);
  ASSERT_EQ(Add(FullList("other", 9)), 1);

  ListRecord found = ByName("staff");
  ASSERT_EQ(get(&found), 1);
  ExpectSameList(found, stored);

  // Fields 12 to 39 never restrict a match; "(Nil)" and -1 are not given.
  ListRecord criteria = ByName("other");
  Put(criteria.Owner, "nobody");
  criteria.PostingMode = 999;
  Put(criteria.AccountName, "(Nil)");
  ASSERT_EQ(get(&criteria), 1);
  ExpectSameList(criteria, FullList("other", 9));

  // Every match field alone finds the row it belongs to.
  ListRecord byStatus = NoListCriteria();
  byStatus.Status = stored.Status;
  ASSERT_EQ(get(&byStatus), 1);
  EXPECT_EQ(Text(byStatus.ListName), "staff");
  ListRecord byAddress = NoListCriteria();
  Put(byAddress.ListAddress, "other@lists.example.com");
  ASSERT_EQ(get(&byAddress), 1);
  EXPECT_EQ(Text(byAddress.ListName), "other");
}

TEST_P(ListStoreTest, NoCriteriaAndTheZeroFilledRecordTrap) {
  auto row = FullList("first", 1);
  row.ListType = row.Status = row.HeaderAnnotationStatus = row.FooterAnnotationStatus = 0;
  ASSERT_EQ(add(&row), 1);
  const auto second = FullList("second", 2);
  ASSERT_EQ(add(&second), 1);

  ListRecord none = NoListCriteria();
  ASSERT_EQ(get(&none), 1);  // whichever row the database yields first
  EXPECT_TRUE(Text(none.ListName) == "first" || Text(none.ListName) == "second");

  // A zero-filled record still asks for ListType, Status and the two
  // annotation statuses to be 0.
  ListRecord zero;
  std::memset(&zero, 0, sizeof zero);
  Put(zero.ListName, "second");
  const ListRecord before = zero;
  EXPECT_EQ(get(&zero), 0);
  EXPECT_EQ(std::memcmp(&zero, &before, sizeof zero), 0) << "a read that found nothing changed the record";
  Put(zero.ListName, "first");
  ASSERT_EQ(get(&zero), 1);
  EXPECT_EQ(Text(zero.AccountName), "account1");
}

TEST_P(ListStoreTest, DuplicateAddsKeepOneRow) {
  const auto list = FullList("dup", 3);
  ASSERT_EQ(add(&list), 1);
  EXPECT_EQ(add(&list), 1);
  EXPECT_EQ(Count("LIST"), 1);
  const auto member = Member("a@example.com", "po", "dup");
  ASSERT_EQ(memberAdd(&member), 1);
  EXPECT_EQ(memberAdd(&member), 1);
  EXPECT_EQ(Count("LIST_MEMBER"), 1);
}

TEST_P(ListStoreTest, EditAndRemoveOfBothFamilies) {
  ASSERT_EQ(Add(FullList("a", 1)), 1);
  ASSERT_EQ(Add(FullList("b", 2)), 1);

  // Matching nothing: 0, nothing changes.
  auto values = FullList("renamed", 5);
  EXPECT_EQ(Edit(ByName("missing"), values), 0);
  EXPECT_EQ(Remove(ByName("missing")), 0);
  EXPECT_EQ(Count("LIST"), 2);

  // Status -1 keeps the status; texts are always written, "(Nil)" literally.
  values.Status = -1;
  Put(values.Description, "");
  Put(values.Owner, "(Nil)");
  ASSERT_EQ(Edit(ByName("a"), values), 1);
  ListRecord found = ByName("renamed");
  ASSERT_EQ(get(&found), 1);
  EXPECT_EQ(found.Status, 1 + 2);
  EXPECT_EQ(Text(found.Description), "");
  EXPECT_EQ(Text(found.Owner), "(Nil)");
  EXPECT_EQ(found.PostingMode, 5 + 12);

  // An edit that changes nothing still matched its row.
  EXPECT_EQ(Edit(ByName("renamed"), values), 1);

  // No match field given: every row (without the unique index on the name,
  // which two rows of one name would break).
  DropIndex("LIST", "UX_LIST_Name");
  ListRecord all = NoListCriteria();
  auto owner = NoListCriteria();
  Put(owner.ListName, "same");
  EXPECT_EQ(edit(&all, &owner), 1);
  EXPECT_EQ(db_->QueryInt("SELECT COUNT(*) FROM LIST WHERE ListName = 'same'"), 2);
  EXPECT_EQ(remove(&all), 1);
  EXPECT_EQ(Count("LIST"), 0);

  const auto m1 = Member("one@example.com", "po", "list");
  const auto m2 = Member("two@example.com", "po", "list");
  ASSERT_EQ(memberAdd(&m1), 1);
  ASSERT_EQ(memberAdd(&m2), 1);
  auto emptyAddress = Member("", "po2", "list2");
  EXPECT_EQ(MemberEdit(Member("none@example.com", "", ""), emptyAddress), 0);
  ASSERT_EQ(MemberEdit(Member("one@example.com", "", ""), emptyAddress), 1);
  auto found2 = Member("", "po2", "list2");
  ASSERT_EQ(memberGet(&found2), 1);
  EXPECT_EQ(Text(found2.Address), "");
  EXPECT_EQ(MemberRemove(Member("", "nowhere", "")), 0);
  EXPECT_EQ(MemberRemove(Member("", "", "")), 1);
  EXPECT_EQ(Count("LIST_MEMBER"), 0);
}

TEST_P(ListStoreTest, EveryByteAndHostileValuesStoreAndMatchExactly) {
  // Every byte 1..255 in every text field of the member family, and in the
  // list's name (a match field) and description.
  for (const auto& piece : EveryByteIn(128)) {
    SCOPED_TRACE(::testing::PrintToString(piece));
    const auto member = Member(piece, piece, piece);
    ASSERT_EQ(memberAdd(&member), 1);
    auto found = Member(piece, piece, piece);
    ASSERT_EQ(memberGet(&found), 1);
    EXPECT_EQ(Text(found.Address), piece);
    EXPECT_EQ(Text(found.Postoffice), piece);
    EXPECT_EQ(Text(found.Mailbox), piece);
    auto list = FullList(piece, 4);
    Put(list.Description, piece + piece);
    ASSERT_EQ(add(&list), 1);
    auto foundList = ByName(piece);
    ASSERT_EQ(get(&foundList), 1);
    EXPECT_EQ(Text(foundList.ListName), piece);
    EXPECT_EQ(Text(foundList.Description), piece + piece);
  }
  const int64_t lists = Count("LIST");
  const int64_t members = Count("LIST_MEMBER");

  for (const auto& value : HostileValues()) {
    SCOPED_TRACE(value);
    // As a match value, a hostile text matches nothing and changes nothing.
    auto values = FullList("changed", 1);
    EXPECT_EQ(Edit(ByName(value), values), 0);
    EXPECT_EQ(Remove(ByName(value)), 0);
    EXPECT_EQ(MemberRemove(Member(value, "", "")), 0);
    EXPECT_EQ(Count("LIST"), lists);
    EXPECT_EQ(Count("LIST_MEMBER"), members);
    // As data, it is stored and found intact.
    auto list = FullList(value, 2);
    Put(list.Password, value);
    ASSERT_EQ(add(&list), 1);
    auto found = ByName(value);
    ASSERT_EQ(get(&found), 1);
    EXPECT_EQ(Text(found.ListName), value);
    EXPECT_EQ(Text(found.Password), value);
    ASSERT_EQ(Remove(ByName(value)), 1);
    EXPECT_EQ(Count("LIST"), lists);
  }
}

TEST_P(ListStoreTest, EnumerationInAscendingIdWithCriteriaPutBack) {
  for (const char* name : {"e1", "e2", "x", "e3"}) {
    auto list = FullList(name, 1);
    if (std::string(name) == "x") list.Status = 77;
    ASSERT_EQ(add(&list), 1);
  }
  auto criteria = NoListCriteria();
  criteria.Status = 3;
  EXPECT_EQ(Enumerate(criteria), (std::vector<std::string>{"e1", "e2", "e3"}));
  EXPECT_EQ(Enumerate(NoListCriteria()), (std::vector<std::string>{"e1", "e2", "x", "e3"}));

  // The call that finds nothing leaves the record holding its criteria.
  auto record = criteria;
  ASSERT_EQ(findFirst(&record), 1);
  record = criteria;
  ASSERT_EQ(findNext(&record), 1);
  record = criteria;
  ASSERT_EQ(findNext(&record), 1);
  record = criteria;
  const auto before = record;
  EXPECT_EQ(findNext(&record), 0);
  EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);

  // Without putting the criteria back, the next call matches every match
  // field of the row just returned, so it finds no further row.
  record = criteria;
  ASSERT_EQ(findFirst(&record), 1);
  EXPECT_EQ(findNext(&record), 0);
}

TEST_P(ListStoreTest, EnumerationPositionIsSharedPerTable) {
  for (const char* name : {"s1", "s2", "s3"}) ASSERT_EQ(Add(FullList(name, 1)), 1);
  for (const char* address : {"m1", "m2"}) ASSERT_EQ(MemberAdd(Member(address, "po", "l")), 1);

  auto a = NoListCriteria();
  ASSERT_EQ(findFirst(&a), 1);
  EXPECT_EQ(Text(a.ListName), "s1");
  a = NoListCriteria();
  ASSERT_EQ(findNext(&a), 1);
  EXPECT_EQ(Text(a.ListName), "s2");
  // A FindFirst of a second enumeration restarts the first one too.
  auto b = NoListCriteria();
  ASSERT_EQ(findFirst(&b), 1);
  EXPECT_EQ(Text(b.ListName), "s1");
  a = NoListCriteria();
  ASSERT_EQ(findNext(&a), 1);
  EXPECT_EQ(Text(a.ListName), "s2");

  // The member table has its own position: enumerating it does not move LIST's.
  auto m = Member("", "", "");
  ASSERT_EQ(memberFindFirst(&m), 1);
  EXPECT_EQ(Text(m.Address), "m1");
  a = NoListCriteria();
  ASSERT_EQ(findNext(&a), 1);
  EXPECT_EQ(Text(a.ListName), "s3");
  m = Member("", "", "");
  ASSERT_EQ(memberFindNext(&m), 1);
  EXPECT_EQ(Text(m.Address), "m2");
  m = Member("", "", "");
  EXPECT_EQ(memberFindNext(&m), 0);
}

TEST_P(ListStoreTest, ConcurrentEnumerationsShareOnePositionSafely) {
  constexpr int kRows = 30;
  std::set<std::string> stored;
  for (int i = 0; i < kRows; ++i) {
    stored.insert("c" + std::to_string(i));
    ASSERT_EQ(Add(FullList("c" + std::to_string(i), i)), 1);
  }
  // Two threads walk the table at once through the one position: their rows
  // interleave, but every row returned is a stored row, both walks end, and
  // afterwards the position stands at the end of the table.
  std::vector<std::string> seen[2];
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&, t] {
      auto record = NoListCriteria();
      int32_t rc = findFirst(&record);
      for (int calls = 0; rc == 1 && calls < kRows * 4; ++calls) {
        seen[t].push_back(Text(record.ListName));
        record = NoListCriteria();
        rc = findNext(&record);
      }
      EXPECT_EQ(rc, 0) << "enumeration did not end";
    });
  }
  for (auto& thread : threads) thread.join();
  for (const auto& names : seen)
    for (const auto& name : names) EXPECT_TRUE(stored.count(name)) << name;
  auto record = NoListCriteria();
  EXPECT_EQ(findNext(&record), 0);
}

TEST_P(ListStoreTest, TextsBeyondTheFieldArriveCutAndTerminated) {
  // Widen the columns behind the library's back so that the database holds
  // texts as long as, and longer than, the record fields.
  if (!Sqlite()) {
    ASSERT_TRUE(db_->Exec("ALTER TABLE LIST_MEMBER MODIFY Address VARCHAR(600), MODIFY Mailbox VARCHAR(600)"))
        << db_->lastError();
  }
  struct Case {
    size_t addressLength;
    size_t mailboxLength;
  } cases[] = {{255, 127}, {256, 128}, {257, 129}, {500, 300}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.addressLength);
    ASSERT_TRUE(db_->Exec("DELETE FROM LIST_MEMBER"));
    ASSERT_TRUE(db_->Exec("INSERT INTO LIST_MEMBER (Address,Postoffice,Mailbox) VALUES ('" +
                          std::string(c.addressLength, 'a') + "','po','" + std::string(c.mailboxLength, 'm') + "')"))
        << db_->lastError();
    ListMemberRecord found;
    std::memset(&found, 0x5A, sizeof found);  // a single NUL in each field before the fetch
    found.Address[0] = found.Mailbox[0] = '\0';  // not given
    Put(found.Postoffice, "po");
    ASSERT_EQ(memberGet(&found), 1);
    EXPECT_EQ(Text(found.Address), std::string(std::min<size_t>(c.addressLength, 255), 'a'));
    EXPECT_EQ(Text(found.Mailbox), std::string(std::min<size_t>(c.mailboxLength, 127), 'm'));
    EXPECT_EQ(strnlen(found.Address, sizeof found.Address), std::min<size_t>(c.addressLength, 255));
  }
}

TEST_P(ListStoreTest, NullColumnFailsTheRead) {
  const bool altered =
      Sqlite() ? db_->Exec("DROP TABLE LIST_MEMBER") &&
                     db_->Exec("CREATE TABLE LIST_MEMBER (ID INTEGER PRIMARY KEY AUTOINCREMENT, Address TEXT, "
                               "Postoffice TEXT, Mailbox TEXT)")
               : db_->Exec("ALTER TABLE LIST_MEMBER MODIFY Mailbox VARCHAR(127) NULL");
  ASSERT_TRUE(altered) << db_->lastError();
  ASSERT_TRUE(db_->Exec("INSERT INTO LIST_MEMBER (Address,Postoffice,Mailbox) VALUES ('n@example.com','po',NULL)"))
      << db_->lastError();
  auto record = Member("n@example.com", "", "");
  const auto before = record;
  EXPECT_EQ(memberGet(&record), 0);
  EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);
  EXPECT_EQ(memberFindFirst(&record), 0);
}

TEST_P(ListStoreTest, UnterminatedHostFieldsAreReadWithinTheirWidth) {
  ListMemberRecord member;
  std::memset(&member, 'z', sizeof member);  // no terminator in any field
  ASSERT_EQ(memberAdd(&member), 1);
  EXPECT_EQ(db_->QueryText("SELECT Address FROM LIST_MEMBER"), std::string(255, 'z'));
  EXPECT_EQ(db_->QueryText("SELECT Mailbox FROM LIST_MEMBER"), std::string(127, 'z'));
  ListMemberRecord match;
  std::memset(&match, 'z', sizeof match);
  EXPECT_EQ(memberGet(&match), 1);
  EXPECT_EQ(strnlen(match.Mailbox, sizeof match.Mailbox), 127u);
  EXPECT_EQ(memberRemove(&match), 1);
  EXPECT_EQ(Count("LIST_MEMBER"), 0);
}

TEST_P(ListStoreTest, NullRecordsAreRefused) {
  const auto list = FullList("kept", 1);
  ASSERT_EQ(add(&list), 1);
  EXPECT_EQ(add(nullptr), 0);
  EXPECT_EQ(get(nullptr), 0);
  EXPECT_EQ(edit(nullptr, &list), 0);
  EXPECT_EQ(edit(&list, nullptr), 0);
  EXPECT_EQ(remove(nullptr), 0);
  EXPECT_EQ(findFirst(nullptr), 0);
  EXPECT_EQ(findNext(nullptr), 0);
  EXPECT_EQ(memberAdd(nullptr), 0);
  EXPECT_EQ(memberGet(nullptr), 0);
  EXPECT_EQ(memberEdit(nullptr, nullptr), 0);
  EXPECT_EQ(memberRemove(nullptr), 0);
  EXPECT_EQ(memberFindFirst(nullptr), 0);
  EXPECT_EQ(memberFindNext(nullptr), 0);
  EXPECT_EQ(Count("LIST"), 1);
}

TEST_P(ListStoreTest, LoggingLinesPerConnectionMode) {
  auto record = ByName("nothing");
  EXPECT_EQ(get(&record), 0);
  const auto lines = TakeLoggedLines();
  int opens = 0, closes = 0;
  for (const auto& line : lines) {
    if (line.level == 8 && line.text.rfind("TW-IXXXX: Open DB Connection", 0) == 0) ++opens;
    if (line.level == 9 && line.text == "TW-IXXXX: Closed DB Connection\n") ++closes;
  }
  EXPECT_EQ(opens, Shared() ? 0 : 1);
  EXPECT_EQ(closes, Shared() ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, ListStoreTest, ::testing::ValuesIn(AllBackends()), BackendName);

}  // namespace
}  // namespace tallowmere::testing
