// Hostile text through every text field of the five record families, on
// MariaDB (default sql_mode and NO_BACKSLASH_ESCAPES) and SQLite, through the
// exports as a host calls them. Each value goes in as data (Add, Edit's new
// values) and must be stored and read back exactly, cut to width - 1 when it
// is longer than its field; and as a match value (Get, FindFirst/FindNext,
// Edit's criteria, Remove), where a call may touch exactly the rows its match
// rule selects. Around every call the rows of all five tables, read directly
// over ODBC, are compared with what they were before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <strings.h>

#include "stores/store_fixture.h"
#include "tallowmere/listprov.h"
#include "tallowmere/smtpprov.h"

namespace tallowmere::testing {
namespace {

// How a text field takes part in a match.
enum class Rule {
  kText,     // equality (the blacklist's target domain too: always the first condition)
  kPattern,  // equality when first; after the leading field a value with "*" is a LIKE pattern
  kMask,     // as kPattern, and in FindNext the address masks that cover the value
  kNone,     // never restricts; such a match is made through the leading field
};

struct TextField {
  const char* column;
  size_t offset;
  size_t width;
  Rule rule;
  bool shared;  // holds the same text in every row (so a leading condition on it selects them all)
};

// One record family: its library, exports, table and text fields. The
// leading field sits at offset 0 in every record (ListName, Address,
// DomainName, Mode, TargetDomainName); integers fill the rest of the record.
struct Family {
  const char* library;
  const char* prefix;
  const char* table;
  size_t recordSize;
  size_t leadSize;
  int32_t getRefused;  // Get's result when the match value cannot be written
  std::vector<TextField> texts;
};

#define TEXT(R, name, rule) TextField{#name, offsetof(R, name), sizeof(R::name), Rule::rule, false}
const Family kList{"listprov", "List", "LIST", sizeof(ListRecord), sizeof(ListRecord::ListName), 0,
                   {TEXT(ListRecord, ListName, kText), TEXT(ListRecord, AccountName, kText),
                    TEXT(ListRecord, ModeratorAddress, kText), TEXT(ListRecord, Description, kText),
                    TEXT(ListRecord, HeaderAnnotation, kText), TEXT(ListRecord, FooterAnnotation, kText),
                    TEXT(ListRecord, ListAddress, kText), TEXT(ListRecord, SubscribeMessageFile, kNone),
                    TEXT(ListRecord, UnsubscribeMessageFile, kNone), TEXT(ListRecord, SubjectSuffix, kNone),
                    TEXT(ListRecord, SubjectPrefix, kNone), TEXT(ListRecord, Owner, kNone),
                    TEXT(ListRecord, HelpMessageFile, kNone), TEXT(ListRecord, RemovalMessageFile, kNone),
                    TEXT(ListRecord, Password, kNone), TEXT(ListRecord, DigestMailbox, kNone)}};
const Family kListMember{"listprov", "ListMember", "LIST_MEMBER", sizeof(ListMemberRecord),
                         sizeof(ListMemberRecord::Address), 0,
                         {TEXT(ListMemberRecord, Address, kText), TEXT(ListMemberRecord, Postoffice, kText),
                          TEXT(ListMemberRecord, Mailbox, kText)}};
const Family kDomain{"smtpprov", "SMTPDomain", "DOMAIN", sizeof(SMTPDomainRecord),
                     sizeof(SMTPDomainRecord::DomainName), -1,
                     {TEXT(SMTPDomainRecord, DomainName, kText), TEXT(SMTPDomainRecord, RedirectionHosts, kText),
                      TEXT(SMTPDomainRecord, Account, kText), TEXT(SMTPDomainRecord, UpStreamHost, kNone),
                      TEXT(SMTPDomainRecord, AliasValue, kNone)}};
const Family kAccess{"smtpprov", "SMTPAccess", "SMTP_ACCESS", sizeof(SMTPAccessRecord), sizeof(int32_t), -1,
                     {TEXT(SMTPAccessRecord, AddressMask, kMask), TEXT(SMTPAccessRecord, Account, kText),
                      TEXT(SMTPAccessRecord, AccessRight, kText)}};
const Family kBlacklist{"smtpprov", "SMTPBlacklist", "SMTP_BLACKLIST", sizeof(SMTPBlacklistRecord),
                        sizeof(SMTPBlacklistRecord::TargetDomainName), -1,
                        {{"TargetDomainName", offsetof(SMTPBlacklistRecord, TargetDomainName),
                          sizeof(SMTPBlacklistRecord::TargetDomainName), Rule::kText, true},
                         TEXT(SMTPBlacklistRecord, BannedDomainName, kPattern),
                         TEXT(SMTPBlacklistRecord, Account, kText)}};
#undef TEXT
const Family* const kFamilies[] = {&kList, &kListMember, &kDomain, &kAccess, &kBlacklist};

// ---- Records as bytes -------------------------------------------------------

using Record = std::vector<char>;

char* At(Record& r, const TextField& f) { return r.data() + f.offset; }
const char* At(const Record& r, const TextField& f) { return r.data() + f.offset; }
// As a host writes a field: the bytes up to its width, terminated only when
// the value is shorter than that.
void Place(Record& r, const TextField& f, const std::string& value) {
  std::memset(At(r, f), 0, f.width);
  std::memcpy(At(r, f), value.data(), std::min(value.size(), f.width));
}
std::string Read(const Record& r, const TextField& f) { return std::string(At(r, f), strnlen(At(r, f), f.width)); }

bool InText(const Family& family, size_t offset) {
  return std::any_of(family.texts.begin(), family.texts.end(),
                     [&](const TextField& f) { return offset >= f.offset && offset < f.offset + f.width; });
}
Record WithIntegers(const Family& family, int32_t value) {
  Record r(family.recordSize, '\0');
  for (size_t at = 0; at < r.size(); at += sizeof value)
    if (!InText(family, at)) std::memcpy(r.data() + at, &value, sizeof value);
  return r;
}
// A plain row: every text "<column>-<tag>" (or "<column>-shared"), every integer 7.
Record Row(const Family& family, const std::string& tag) {
  Record r = WithIntegers(family, 7);
  for (const auto& f : family.texts) Place(r, f, std::string(f.column) + "-" + (f.shared ? "shared" : tag));
  return r;
}
// Criteria holding `value` in `field` only, and the leading field of `target`
// when `lead`.
Record Criteria(const Family& family, const TextField& field, const std::string& value, const Record& target,
                bool lead) {
  Record r = WithIntegers(family, -1);
  if (lead) std::memcpy(r.data(), target.data(), family.leadSize);
  Place(r, field, value);
  return r;
}
// Criteria that select the row of `row` by every match field but `field`.
Record SelectBy(const Record& row, const TextField& field) {
  Record r = row;
  std::memset(At(r, field), 0, field.width);
  return r;
}
// The record with every text field cleared after its terminator, so that two
// records holding the same values compare equal byte for byte.
Record Canonical(const Family& family, Record r) {
  for (const auto& f : family.texts) {
    const size_t length = strnlen(At(r, f), f.width);
    std::memset(At(r, f) + length, 0, f.width - length);
  }
  return r;
}
void ExpectSameRecord(const Family& family, const Record& got, const Record& expected) {
  for (const auto& f : family.texts) {
    EXPECT_EQ(strnlen(At(got, f), f.width), Read(expected, f).size()) << f.column << " not terminated where expected";
    EXPECT_EQ(::testing::PrintToString(Read(got, f)), ::testing::PrintToString(Read(expected, f))) << f.column;
  }
  EXPECT_TRUE(Canonical(family, got) == Canonical(family, expected)) << "integer fields differ";
}

// ---- The exports, typed by record --------------------------------------------

// Calls through the family's exports on byte records of the right size.
struct Calls {
  virtual ~Calls() = default;
  virtual int32_t Add(const Record& r) = 0;
  virtual int32_t Get(Record& r) = 0;
  virtual int32_t Edit(const Record& match, const Record& values) = 0;
  virtual int32_t Remove(const Record& r) = 0;
  virtual int32_t FindFirst(Record& r) = 0;
  virtual int32_t FindNext(Record& r) = 0;
};

template <typename R>
class TypedCalls : public Calls {
 public:
  TypedCalls(const StoreLibrary& lib, const std::string& prefix) : x_(ResolveFamily<R>(lib, prefix)) {}
  int32_t Add(const Record& r) override {
    const R record = In(r);
    return x_.add(&record);
  }
  int32_t Get(Record& r) override { return Out(r, x_.get); }
  int32_t Edit(const Record& m, const Record& v) override {
    const R match = In(m), values = In(v);
    return x_.edit(&match, &values);
  }
  int32_t Remove(const Record& r) override {
    const R record = In(r);
    return x_.remove(&record);
  }
  int32_t FindFirst(Record& r) override { return Out(r, x_.findFirst); }
  int32_t FindNext(Record& r) override { return Out(r, x_.findNext); }

 private:
  // Records pass through a properly typed copy, as a host would hold them.
  static R In(const Record& r) {
    R copy;
    std::memcpy(&copy, r.data(), sizeof copy);
    return copy;
  }
  static int32_t Out(Record& r, int32_t (*fn)(R*)) {
    R copy;
    std::memcpy(&copy, r.data(), sizeof copy);
    const int32_t rc = fn(&copy);
    std::memcpy(r.data(), &copy, sizeof copy);
    return rc;
  }
  FamilyExports<R> x_;
};

// ---- Rows read directly --------------------------------------------------------

struct TableRows {
  std::vector<std::string> columns;
  std::map<int64_t, std::vector<std::optional<std::string>>> rows;  // by ID (the first column)
};
using Snapshot = std::map<std::string, TableRows>;

std::string Show(const std::vector<std::optional<std::string>>& row) {
  std::string text;
  for (const auto& column : row) text += (column ? ::testing::PrintToString(*column) : "NULL") + " ";
  return text;
}

// ---- The match rule, as far as the test rows need it ------------------------

size_t CountOf(const std::string& text, char c) { return static_cast<size_t>(std::count(text.begin(), text.end(), c)); }

// Whether a LIKE pattern built from `value` ("*" and "%" match any run, every
// other character itself, ASCII letters in either case) covers `text`.
bool GlobCovers(std::string_view value, std::string_view text) {
  if (value.empty()) return text.empty();
  if (value[0] == '*' || value[0] == '%') {
    for (size_t skip = 0; skip <= text.size(); ++skip)
      if (GlobCovers(value.substr(1), text.substr(skip))) return true;
    return false;
  }
  return !text.empty() && std::tolower(static_cast<unsigned char>(value[0])) ==
                              std::tolower(static_cast<unsigned char>(text[0])) &&
         GlobCovers(value.substr(1), text.substr(1));
}

struct MatchPlan {
  bool like = false;         // Get, Edit and Remove compare with LIKE
  bool writable = true;      // the condition fits the builders' limit
  bool findSeesRow = true;   // FindNext's rule selects the row holding the value
};

MatchPlan PlanFor(const TextField& f, const std::string& stored, bool lead) {
  MatchPlan plan;
  const bool patternAfterLead = lead && (f.rule == Rule::kPattern || f.rule == Rule::kMask);
  plan.like = patternAfterLead && stored.find('*') != std::string::npos;
  // Apostrophes doubled; in a LIKE pattern "_" and "\" are escaped too.
  const size_t written = stored.size() + CountOf(stored, '\'') +
                         (plan.like ? CountOf(stored, '_') + CountOf(stored, '\\') : 0);
  plan.writable = f.rule == Rule::kNone || written <= 2047;
  // FindNext expands the value as an address; a value holding ":" is read as
  // an IPv6 address, whose alternatives are all written in the full form.
  plan.findSeesRow =
      plan.writable && !(f.rule == Rule::kMask && lead && stored.find(':') != std::string::npos);
  return plan;
}

// A value like `stored` that a correct match must not take for it: each "_"
// (a LIKE wildcard if left unescaped) becomes "X", or else the first character
// changes.
std::string Twin(const std::string& stored) {
  std::string twin = stored;
  if (twin.find('_') != std::string::npos) {
    std::replace(twin.begin(), twin.end(), '_', 'X');
  } else {
    twin[0] = twin[0] == '#' ? '!' : '#';
  }
  return twin;
}

std::string Repeat(const std::string& unit, size_t length) {
  std::string text;
  while (text.size() < length) text += unit;
  return text.substr(0, length);
}

// The values every text field receives.
std::vector<std::string> ValuesFor(const TextField& f) {
  std::vector<std::string> values = HostileValues();
  values.insert(values.end(), {
                                  "' OR ''='",
                                  "x'; DROP TABLE SMTP_ACCESS; -- ",
                                  "x'); UPDATE DOMAIN SET Account='owned'; #",
                                  "/*'*/ OR 1=1 /*",
                                  "\\'; DELETE FROM LIST_MEMBER; -- \\",
                                  "\\\\'' OR 1=1 #",
                                  "%",
                                  "_",
                                  "a%b_c\\_\\%",
                                  "'\n;\r\t\x1a\x7f",
                                  // Address-shaped, for the masks FindNext builds from a value.
                                  "192.0.2.7') OR ('1'='1",
                                  "'.''.'''.*",
                                  "2001:db8::1') OR ('1'='1",
                                  "::ffff:192.0.2.7'; DELETE FROM SMTP_ACCESS; --",
                              });
  // Longer than the field: plain, and cut just after an apostrophe or a backslash.
  values.push_back(std::string(f.width + 10, 'x'));
  values.push_back(Repeat("'\\", f.width + 10));
  values.push_back(Repeat("\\'", f.width + 10));
  for (const auto& piece : EveryByteIn(f.width)) values.push_back(piece);
  return values;
}

// ---- The test ------------------------------------------------------------------

std::vector<Backend> PerCallBackends() {
  return {{Engine::kMariaDb, ConnectionMode::kPerCall, "MariaDbPerCall", {}},
          {Engine::kMariaDbNoBackslashEscapes, ConnectionMode::kPerCall, "MariaDbNbePerCall", {}},
          {Engine::kSqlite, ConnectionMode::kPerCall, "SqlitePerCall", {}}};
}

class StoreHostileInputTest : public StoreTest {
 protected:
  // Thousands of writes, none of them about durability: SQLite need not wait
  // for the disk after each.
  StoreHostileInputTest() : StoreTest("listprov") { sqliteOptions_ = ";SyncPragma=OFF"; }

  void SetUp() override {
    StoreTest::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    smtp_ = std::make_unique<StoreLibrary>("smtpprov", dir_.path() / "registry.reg");
    ASSERT_TRUE(smtp_->ok()) << smtp_->error();
    calls_[&kList] = std::make_unique<TypedCalls<ListRecord>>(*lib_, kList.prefix);
    calls_[&kListMember] = std::make_unique<TypedCalls<ListMemberRecord>>(*lib_, kListMember.prefix);
    calls_[&kDomain] = std::make_unique<TypedCalls<SMTPDomainRecord>>(*smtp_, kDomain.prefix);
    calls_[&kAccess] = std::make_unique<TypedCalls<SMTPAccessRecord>>(*smtp_, kAccess.prefix);
    calls_[&kBlacklist] = std::make_unique<TypedCalls<SMTPBlacklistRecord>>(*smtp_, kBlacklist.prefix);
    ASSERT_FALSE(HasFailure());
    // Two rows in every table that no call of the test may touch.
    for (const Family* family : kFamilies) {
      for (const char* tag : {"b1", "b2"}) ASSERT_EQ(calls_[family]->Add(Row(*family, tag)), 1) << family->table;
      ASSERT_EQ(StoreTest::Count(family->table), 2) << family->table;
    }
  }

  Snapshot Snap() {
    Snapshot snapshot;
    for (const Family* family : kFamilies) {
      auto& table = snapshot[family->table];
      for (auto& row : db_->QueryRows(std::string("SELECT * FROM ") + family->table + " ORDER BY ID", &table.columns))
        table.rows[std::stoll(row.at(0).value())] = std::move(row);
      EXPECT_FALSE(table.columns.empty()) << family->table << ": " << db_->lastError();
    }
    return snapshot;
  }

  // What a call may change in its own table: rows removed, rows now holding
  // the values of a record, one row added with the values of a record.
  struct Change {
    std::set<int64_t> removed;
    std::map<int64_t, const Record*> changed;
    const Record* added = nullptr;
  };
  static Change Nothing() { return Change{}; }
  static Change Added(const Record& r) { return Change{{}, {}, &r}; }
  static Change Changed(int64_t id, const Record& r) { return Change{{}, {{id, &r}}, nullptr}; }
  static Change Removed(int64_t id) { return Change{{id}, {}, nullptr}; }

  // Compares a new snapshot with the one before the call; every other table
  // and every other row must be as it was. Returns the added row's ID (0 when
  // none) and makes `before` the new snapshot.
  int64_t ExpectOnly(const Family& family, Snapshot& before, const Change& change) {
    Snapshot after = Snap();
    int64_t added = 0;
    for (const auto& [name, table] : before) {
      const auto& now = after[name];
      if (name != family.table) {
        EXPECT_TRUE(table.rows == now.rows) << "rows of " << name << " changed";
        continue;
      }
      for (const auto& [id, row] : table.rows) {
        const auto it = now.rows.find(id);
        if (change.removed.count(id)) {
          EXPECT_TRUE(it == now.rows.end()) << name << " row " << id << " was not removed";
        } else if (it == now.rows.end()) {
          ADD_FAILURE() << name << " row " << id << " vanished: " << Show(row);
        } else if (auto c = change.changed.find(id); c != change.changed.end()) {
          ExpectRowHolds(family, now.columns, it->second, *c->second, row);
        } else {
          EXPECT_TRUE(it->second == row) << name << " row " << id << " changed: " << Show(row) << "-> "
                                         << Show(it->second);
        }
      }
      for (const auto& [id, row] : now.rows) {
        if (table.rows.count(id)) continue;
        if (change.added && added == 0 && !table.rows.empty()) {
          added = id;
          ExpectRowHolds(family, now.columns, row, *change.added, table.rows.begin()->second);
        } else {
          ADD_FAILURE() << name << " gained row " << id << ": " << Show(row);
        }
      }
    }
    if (change.added) {
      EXPECT_NE(added, 0) << "no row added to " << family.table;
    }
    before = std::move(after);
    return added;
  }

  // A row holds the texts of `expected` exactly, and the integers of
  // `reference` (every row of the test has the same integers).
  static void ExpectRowHolds(const Family& family, const std::vector<std::string>& columns,
                             const std::vector<std::optional<std::string>>& row, const Record& expected,
                             const std::vector<std::optional<std::string>>& reference) {
    for (size_t c = 1; c < columns.size(); ++c) {
      const auto field = std::find_if(family.texts.begin(), family.texts.end(), [&](const TextField& f) {
        return strcasecmp(f.column, columns[c].c_str()) == 0;
      });
      if (field == family.texts.end()) {
        EXPECT_EQ(row[c], reference[c]) << columns[c];
      } else {
        EXPECT_EQ(::testing::PrintToString(row[c].value_or("NULL")), ::testing::PrintToString(Read(expected, *field)))
            << columns[c] << " as stored";
      }
    }
  }

  void EveryValueThroughEveryTextField(const Family& family);
  void OneValue(const Family& family, const TextField& f, const std::string& value, int n);

  std::unique_ptr<StoreLibrary> smtp_;
  std::map<const Family*, std::unique_ptr<Calls>> calls_;
};

// Failures recorded so far in the running test.
int Failures() { return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count(); }

void StoreHostileInputTest::EveryValueThroughEveryTextField(const Family& family) {
  int n = 0;
  for (const auto& f : family.texts) {
    const int before = Failures();
    for (const auto& value : ValuesFor(f)) {
      SCOPED_TRACE(std::string(family.table) + "." + f.column + " = " + ::testing::PrintToString(value));
      OneValue(family, f, value, ++n);
      if (Failures() != before) break;  // the first failing value of a field tells enough
    }
  }
}

void StoreHostileInputTest::OneValue(const Family& family, const TextField& f, const std::string& value, int n) {
  Calls& x = *calls_[&family];
  const int failuresBefore = Failures();
  const std::string stored = value.substr(0, f.width - 1);
  const std::string tag = std::to_string(n);
  Record target = Row(family, "c" + tag);  // the value as the host passes it
  Place(target, f, value);
  Record expected = target;                // as stored: cut and terminated
  Place(expected, f, stored);
  const Record other = Row(family, "n" + tag);

  std::vector<bool> leads = {false};
  if (f.rule == Rule::kNone) leads = {true};
  if (f.rule == Rule::kPattern || f.rule == Rule::kMask) leads = {false, true};

  // The plain rows of the test must lie outside every pattern made of the value.
  for (bool lead : leads) {
    if (!PlanFor(f, stored, lead).like) continue;
    for (const char* tag2 : {"b1", "b2"})
      ASSERT_FALSE(GlobCovers(stored, Read(Row(family, tag2), f))) << "test value reaches a plain row";
  }

  Snapshot rows = Snap();
  // As data: stored exactly, nothing else changes.
  ASSERT_EQ(x.Add(target), 1);
  int64_t id = ExpectOnly(family, rows, Added(expected));
  if (Failures() != failuresBefore) return;

  // A near twin of the value, added after it, so that FindNext meets it too.
  int64_t twinId = 0;
  const std::string twin = Twin(stored);
  const bool twinOutside = std::none_of(leads.begin(), leads.end(), [&](bool lead) {
    return PlanFor(f, stored, lead).like && GlobCovers(stored, twin);
  });
  if (f.rule != Rule::kNone && twinOutside) {
    Record twinRow = Row(family, "w" + tag);
    Place(twinRow, f, twin);
    ASSERT_EQ(x.Add(twinRow), 1);
    twinId = ExpectOnly(family, rows, Added(twinRow));
  }

  for (size_t v = 0; v < leads.size(); ++v) {
    const bool lead = leads[v];
    SCOPED_TRACE(lead ? "after the leading field" : "alone");
    if (v > 0) {
      ASSERT_EQ(x.Add(target), 1);
      id = ExpectOnly(family, rows, Added(expected));
    }
    const MatchPlan plan = PlanFor(f, stored, lead);
    const Record criteria = Criteria(family, f, value, target, lead);

    // As a match value of the reads: they find the row and change nothing.
    Record got = criteria;
    int32_t rc = x.Get(got);
    if (plan.writable) {
      EXPECT_EQ(rc, 1) << "Get";
      if (rc == 1) ExpectSameRecord(family, got, expected);
    } else {
      EXPECT_EQ(rc, family.getRefused) << "Get";
      EXPECT_TRUE(got == criteria) << "Get changed the record";
    }
    got = criteria;
    rc = x.FindFirst(got);
    if (plan.findSeesRow) {
      EXPECT_EQ(rc, 1) << "FindFirst";
      if (rc == 1) ExpectSameRecord(family, got, expected);
      got = criteria;
      EXPECT_EQ(x.FindNext(got), 0) << "FindNext found a second row";
    } else {
      EXPECT_EQ(rc, 0) << "FindFirst";
      EXPECT_TRUE(got == criteria) << "FindFirst changed the record";
    }
    ExpectOnly(family, rows, Nothing());

    // As Edit's criteria: exactly the one row takes the new values.
    if (plan.writable) {
      EXPECT_EQ(x.Edit(criteria, other), 1) << "Edit";
      ExpectOnly(family, rows, Changed(id, other));
    } else {
      EXPECT_EQ(x.Edit(criteria, other), 0) << "Edit";
      ExpectOnly(family, rows, Nothing());
      EXPECT_EQ(x.Edit(SelectBy(target, f), other), 1) << "Edit";
      ExpectOnly(family, rows, Changed(id, other));
    }
    // As Edit's new value: stored exactly again.
    EXPECT_EQ(x.Edit(SelectBy(other, f), target), 1) << "Edit";
    ExpectOnly(family, rows, Changed(id, expected));

    // As Remove's criteria: exactly the one row goes.
    if (plan.writable) {
      EXPECT_EQ(x.Remove(criteria), 1) << "Remove";
    } else {
      EXPECT_EQ(x.Remove(criteria), 0) << "Remove";
      ExpectOnly(family, rows, Nothing());
      EXPECT_EQ(x.Remove(SelectBy(target, f)), 1) << "Remove";
    }
    ExpectOnly(family, rows, Removed(id));
    if (Failures() != failuresBefore) return;
  }
  if (twinId != 0) {
    ASSERT_TRUE(db_->Exec(std::string("DELETE FROM ") + family.table + " WHERE ID = " + std::to_string(twinId)))
        << db_->lastError();
  }
}

TEST_P(StoreHostileInputTest, Lists) { EveryValueThroughEveryTextField(kList); }
TEST_P(StoreHostileInputTest, ListMembers) { EveryValueThroughEveryTextField(kListMember); }
TEST_P(StoreHostileInputTest, SmtpDomains) { EveryValueThroughEveryTextField(kDomain); }
TEST_P(StoreHostileInputTest, SmtpAccessRules) { EveryValueThroughEveryTextField(kAccess); }
TEST_P(StoreHostileInputTest, SmtpBlacklist) { EveryValueThroughEveryTextField(kBlacklist); }

INSTANTIATE_TEST_SUITE_P(Backends, StoreHostileInputTest, ::testing::ValuesIn(PerCallBackends()), BackendName);

}  // namespace
}  // namespace tallowmere::testing
