#include "store_fixture.h"

#include <cstdlib>

// LeakSanitizer: the ODBC driver manager keeps a character-set converter
// per connection (iconv) for connections that are still pooled or open when
// the leak check runs, which is before the loaded libraries' unload.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() { return "leak:iconv_open\n"; }

namespace tallowmere::testing {
namespace {

// Never destroyed: a library still loaded when the process exits logs its
// closing lines from its destructor, after this file's statics would be gone.
struct LineStore {
  std::mutex mutex;
  std::vector<LoggedLine> lines;
};
LineStore& Lines() {
  static LineStore* store = new LineStore;
  return *store;
}

}  // namespace

int32_t CollectLine(int32_t, int32_t, int32_t, int32_t level, const char* text) {
  std::lock_guard<std::mutex> lock(Lines().mutex);
  Lines().lines.push_back({level, text ? text : ""});
  return 0;
}

std::vector<LoggedLine> TakeLoggedLines() {
  std::lock_guard<std::mutex> lock(Lines().mutex);
  return std::exchange(Lines().lines, {});
}

void StoreTest::SetUp() {
  if (!BackendAvailable(engine())) {
    if (std::getenv("TALLOWMERE_TEST_REQUIRE_SERVICES")) FAIL() << "MariaDB test server required but not started";
    GTEST_SKIP() << "no MariaDB test server: run the tests through scripts/test.sh (scripts/test-services.sh)";
  }
  std::string error;
  auto connection = CreateTestDatabase(engine(), &error);
  ASSERT_TRUE(connection) << error;
  connection_ = *connection;
  if (engine() == Engine::kSqlite) connection_ += sqliteOptions_;
  const auto registry = dir_.path() / "registry.reg";
  WriteRegistry(registry, engine(), GetParam().mode, connection_);
  lib_ = std::make_unique<StoreLibrary>(library_, registry);
  ASSERT_TRUE(lib_->ok()) << lib_->error();
  auto setLogging = lib_->Get<int32_t (*)(int32_t, TallowmereLoggingCallback, int32_t, int32_t)>("SetLoggingFunction");
  ASSERT_NE(setLogging, nullptr);
  ASSERT_EQ(setLogging(1, CollectLine, 2, 3), 1);
  db_ = std::make_unique<DirectOdbc>(connection_);
  ASSERT_TRUE(db_->ok()) << db_->lastError();
  TakeLoggedLines();
}

void StoreTest::TearDown() {
  if (connection_.empty()) return;
  lib_.reset();
  db_.reset();
  DropTestDatabase(engine(), connection_);
}

std::vector<std::string> EveryByteIn(size_t width) {
  std::vector<std::string> pieces;
  std::string piece;
  for (int b = 1; b <= 255; ++b) {
    piece += static_cast<char>(b);
    if (piece.size() == width - 1) pieces.push_back(std::exchange(piece, {}));
  }
  if (!piece.empty()) pieces.push_back(piece);
  return pieces;
}

ListRecord NoListCriteria() {
  ListRecord r;
  std::memset(&r, 0, sizeof r);
  for (auto* i : {&r.ListType, &r.Status, &r.HeaderAnnotationStatus, &r.FooterAnnotationStatus,
                  &r.SubscribeMessageFileStatus, &r.UnsubscribeMessageFileStatus, &r.SubjectSuffixStatus,
                  &r.SubjectPrefixStatus, &r.HelpMessageFileStatus, &r.RemovalMessageFileStatus, &r.ReplyToMode,
                  &r.MaxMessageSize, &r.PostingMode, &r.SubScriptionMode, &r.AuthenticationMode, &r.DigestMode,
                  &r.DigestAnnotationMode, &r.DigestAttachmentMode, &r.DigestMessageSeparationMode,
                  &r.DigestSchedulingStatus, &r.DigestSchedulingMode, &r.DigestSchedulingInterval,
                  &r.FromAddressMode})
    *i = -1;
  return r;
}

ListMemberRecord Member(const std::string& address, const std::string& postoffice, const std::string& mailbox) {
  ListMemberRecord r;
  std::memset(&r, 0, sizeof r);
  Put(r.Address, address);
  Put(r.Postoffice, postoffice);
  Put(r.Mailbox, mailbox);
  return r;
}

SMTPAccessRecord Rule(int32_t mode, const std::string& mask, int32_t status, const std::string& account,
                      const std::string& right) {
  SMTPAccessRecord r;
  std::memset(&r, 0, sizeof r);
  r.Mode = mode;
  Put(r.AddressMask, mask);
  r.Status = status;
  Put(r.Account, account);
  Put(r.AccessRight, right);
  return r;
}

SMTPBlacklistRecord Entry(const std::string& target, const std::string& banned, int32_t status,
                          const std::string& account) {
  SMTPBlacklistRecord r;
  std::memset(&r, 0, sizeof r);
  Put(r.TargetDomainName, target);
  Put(r.BannedDomainName, banned);
  r.Status = status;
  Put(r.Account, account);
  return r;
}

const std::vector<std::string>& HostileValues() {
  static const std::vector<std::string> values = {
      "O'Brien",
      "x') OR ('1'='1",
      "\\' OR 1=1 -- ",
      "'; DELETE FROM LIST; --",
      "C:\\new\\table\\",
      "ends with \\",
      "%_*[x]\"",
      "a''b",
  };
  return values;
}

}  // namespace tallowmere::testing
