// The frame's exits and the connection manager against real MariaDB and
// SQLite, in both connection modes.
#include "provider/frame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <tuple>

#include "provider/connection.h"
#include "provider/sql_text.h"
#include "provider_test_env.h"

namespace tallowmere::provider::test {
namespace {

std::string Insert(const std::string& address, const std::string& postoffice = "po",
                   const std::string& mailbox = "mb") {
  return "INSERT INTO LIST_MEMBER (Address,Postoffice,Mailbox) VALUES (" + QuoteText(address) + "," +
         QuoteText(postoffice) + "," + QuoteText(mailbox) + ");";
}

std::string SelectByAddress(const std::string& address) {
  std::string match;
  AddTextCondition(match, "Address", address);
  return Settings().RowLimitHead + " ID,Address,Postoffice,Mailbox FROM LIST_MEMBER WHERE (" + match + ") " +
         Settings().RowLimitTail + ";";
}

MemberRecord Filled(char fill) {
  MemberRecord record;
  std::memset(&record, fill, sizeof record);
  record.Address[255] = record.Postoffice[127] = record.Mailbox[127] = '\0';
  return record;
}

class FrameTest : public ::testing::TestWithParam<std::tuple<Engine, int32_t>> {
 protected:
  void SetUp() override {
    TALLOWMERE_REQUIRE_SERVICES();
    database_ = std::make_unique<ScratchDatabase>(engine());
    provider_ = std::make_unique<LoadedProvider>(database_->providerName(), database_->connectionString(), mode());
  }
  void TearDown() override {
    provider_.reset();
    database_.reset();
  }
  Engine engine() const { return std::get<0>(GetParam()); }
  int32_t mode() const { return std::get<1>(GetParam()); }
  bool shared() const { return mode() == 0; }
  int32_t duplicateError() const { return engine() == Engine::kSqlite ? 19 : 1062; }
  std::vector<std::string> Rows(const std::string& query) {
    return tallowmere::testing::OdbcQuery(database_->connectionString(), query);
  }

  std::unique_ptr<ScratchDatabase> database_;
  std::unique_ptr<LoadedProvider> provider_;
};

TEST_P(FrameTest, CommandsAndTheirExits) {
  EXPECT_EQ(RunCommand(Insert("a@x")), FrameExit::kSuccess) << LogCapture::Dump();
  EXPECT_EQ(Rows("SELECT Address FROM LIST_MEMBER"), std::vector<std::string>{"a@x"});

  // A duplicate key is tolerated with one level-10 line; no second row.
  LogCapture::Clear();
  EXPECT_EQ(RunCommand(Insert("a@x")), FrameExit::kSuccess);
  EXPECT_EQ(LogCapture::Count(kLogTolerated, "TW-IXXXX: Native error " + std::to_string(duplicateError()) + ".\n"),
            1u)
      << LogCapture::Dump();
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM LIST_MEMBER"), std::vector<std::string>{"1"});

  // A syntax error is rejected, not taken for a duplicate.
  LogCapture::Clear();
  EXPECT_EQ(RunCommand("INSERT INTO LIST_MEMBER (Address) VALUE ('x' ;"), FrameExit::kRejected);
  EXPECT_EQ(LogCapture::Count(kLogDiagnostic, "TW-IXXXX: Getting error details.\n"), 1u);
  EXPECT_EQ(LogCapture::Count(kLogDiagnostic, "TW-IXXXX: Database Connection Failed, Native Error: "), 1u)
      << LogCapture::Dump();
  EXPECT_EQ(LogCapture::Count(kLogTolerated, ""), 0u);
  if (shared()) {
    // The shared connection was recycled: closed and opened again.
    EXPECT_EQ(LogCapture::Count(kLogDiagnostic, "TW-IXXXX: Closed DB Connection\n"), 1u) << LogCapture::Dump();
    EXPECT_EQ(LogCapture::Count(kLogOpenConnection, "TW-IXXXX: Open DB Connection"), 1u);
  }
  // ...and the frame works on afterwards.
  EXPECT_EQ(RunCommand(Insert("b@x")), FrameExit::kSuccess) << LogCapture::Dump();
}

TEST_P(FrameTest, MatchedNothingTakesTheNoDataPath) {
  ASSERT_EQ(RunCommand(Insert("a@x")), FrameExit::kSuccess);
  LogCapture::Clear();
  EXPECT_EQ(RunCommand("UPDATE LIST_MEMBER SET Mailbox='z' WHERE (Address = 'none');"), FrameExit::kRejected);
  EXPECT_EQ(RunCommand("DELETE FROM LIST_MEMBER WHERE (Address = 'none');"), FrameExit::kRejected);
  EXPECT_EQ(LogCapture::Count(kLogDiagnostic, "Getting error details"), 0u) << LogCapture::Dump();
  EXPECT_EQ(LogCapture::Count(kLogDiagnostic, "Closed DB Connection\n"), shared() ? 0u : 2u);
  // A row that matched but is left unchanged still counts as matched.
  EXPECT_EQ(RunCommand("UPDATE LIST_MEMBER SET Mailbox='mb' WHERE (Address = 'a@x');"), FrameExit::kSuccess);
  EXPECT_EQ(RunCommand("UPDATE LIST_MEMBER SET Mailbox='z' WHERE (Address = 'a@x');"), FrameExit::kSuccess);
  EXPECT_EQ(RunCommand("DELETE FROM LIST_MEMBER WHERE (Address = 'a@x');"), FrameExit::kSuccess);
  // Statements without a row count (DDL) run with requireMatch off.
  RunOptions options;
  options.requireMatch = false;
  EXPECT_EQ(RunCommand("CREATE TABLE scratch_t (x INT);", options), FrameExit::kSuccess);
  EXPECT_EQ(RunCommand("DROP TABLE scratch_t;", options), FrameExit::kSuccess);
}

TEST_P(FrameTest, SingleRowReads) {
  ASSERT_EQ(RunCommand(Insert("a@x", "post", "box")), FrameExit::kSuccess);
  const std::string id = Rows("SELECT ID FROM LIST_MEMBER").at(0);

  MemberRecord record = Filled('Q');
  int32_t gotId = -5;
  EXPECT_EQ(RunSingleRowRead(SelectByAddress("a@x"), MemberTarget(record, &gotId)), FrameExit::kSuccess);
  EXPECT_STREQ(record.Address, "a@x");
  EXPECT_STREQ(record.Postoffice, "post");
  EXPECT_STREQ(record.Mailbox, "box");
  EXPECT_EQ(std::to_string(gotId), id);

  // No row: the record and the id stay as they were.
  MemberRecord untouched = Filled('Q');
  MemberRecord before = untouched;
  gotId = -5;
  EXPECT_EQ(RunSingleRowRead(SelectByAddress("nobody"), MemberTarget(untouched, &gotId)), FrameExit::kNoRow);
  EXPECT_EQ(std::memcmp(&untouched, &before, sizeof before), 0);
  EXPECT_EQ(gotId, -5);

  // A NULL column fails the fetch (no indicator is bound), leaving the record.
  const std::string withNull = Settings().RowLimitHead + " ID,Address,NULL,Mailbox FROM LIST_MEMBER " +
                               Settings().RowLimitTail + ";";
  EXPECT_EQ(RunSingleRowRead(withNull, MemberTarget(untouched)), FrameExit::kNoRow);
  EXPECT_EQ(std::memcmp(&untouched, &before, sizeof before), 0);

  // A statement the database rejects.
  EXPECT_EQ(RunSingleRowRead("SELECT ID,Nope FROM LIST_MEMBER;", MemberTarget(untouched)), FrameExit::kRejected);
}

TEST_P(FrameTest, LongTextsEndWithinTheirField) {
  // Bound to 16 bytes, a 40-character value arrives as its first 15 characters.
  const std::string longAddress(40, 'L');
  ASSERT_EQ(RunCommand(Insert(longAddress, std::string(127, 'P'))), FrameExit::kSuccess);
  struct Narrow {
    char Address[16];
    char Postoffice[128];
    char guard[16];
  } record;
  std::memset(&record, 'Z', sizeof record);
  const ResultColumn columns[] = {{ResultColumn::kText, offsetof(Narrow, Address), 16},
                                  {ResultColumn::kText, offsetof(Narrow, Postoffice), 128}};
  RowTarget target;
  target.record = &record;
  target.recordSize = sizeof record;
  target.columns = columns;
  EXPECT_EQ(RunSingleRowRead(Settings().RowLimitHead + " ID,Address,Postoffice FROM LIST_MEMBER " +
                                 Settings().RowLimitTail + ";",
                             target),
            FrameExit::kSuccess);
  EXPECT_EQ(std::string(record.Address), std::string(15, 'L'));
  EXPECT_EQ(std::string(record.Postoffice), std::string(127, 'P'));
  EXPECT_EQ(std::string(record.guard, 16), std::string(16, 'Z'));
}

TEST_P(FrameTest, OpenAndCloseLinesPerOperation) {
  LogCapture::Clear();
  for (int i = 0; i < 3; ++i) ASSERT_EQ(RunCommand(Insert("u" + std::to_string(i))), FrameExit::kSuccess);
  if (shared()) {
    EXPECT_EQ(LogCapture::Count(kLogOpenConnection, ""), 0u);
    EXPECT_EQ(LogCapture::Count(kLogDiagnostic, "Closed DB Connection"), 0u);
  } else {
    EXPECT_EQ(LogCapture::Count(kLogOpenConnection, "TW-IXXXX: Open DB Connection (DSN:"), 3u);
    EXPECT_EQ(LogCapture::Count(kLogDiagnostic, "TW-IXXXX: Closed DB Connection\n"), 3u) << LogCapture::Dump();
  }
}

TEST_P(FrameTest, ExecuteQuery) {
  DbSession session;
  ASSERT_EQ(AcquireSession(session), 1);
  LogCapture::Clear();
  EXPECT_EQ(ExecuteQuery(session, Insert("d@x").c_str()), 1);
  EXPECT_EQ(ExecuteQuery(session, "DELETE FROM LIST_MEMBER;"), 1);
  EXPECT_EQ(LogCapture::Count(kLogDiagnostic, "TW-IXXXX: Executing Query: DELETE FROM LIST_MEMBER;\n"), 1u);
  EXPECT_EQ(ExecuteQuery(session, Insert("e@x").c_str()), 1);
  EXPECT_EQ(ExecuteQuery(session, Insert("e@x").c_str()), 1);  // duplicate tolerated
  EXPECT_EQ(ExecuteQuery(session, "NOT SQL AT ALL"), 0);
  ReleaseSession(session);
  EXPECT_EQ(Rows("SELECT Address FROM LIST_MEMBER"), std::vector<std::string>{"e@x"});
}

INSTANTIATE_TEST_SUITE_P(Engines, FrameTest,
                         ::testing::Combine(::testing::Values(Engine::kMariaDb, Engine::kSqlite),
                                            ::testing::Values(0, 1)),
                         [](const auto& info) {
                           return std::string(EngineName(std::get<0>(info.param))) + ModeName(std::get<1>(info.param));
                         });

// --- Connection failures ---

class ConnectFailureTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(ConnectFailureTest, ServerThatIsNotThereFailsEveryOperation) {
  TALLOWMERE_REQUIRE_SERVICES();
  tallowmere::testing::TempDir dir;
  const std::string eventLog = dir.path() + "/events.jsonl";
  setenv("TALLOWMERE_EVENTLOG", eventLog.c_str(), 1);
  LoadedProvider provider("MySQL",
                          "DRIVER=MariaDB;SOCKET=" + dir.path() + "/nothing.sock;UID=u;PWD=secret;CONN_TIMEOUT=5",
                          GetParam(), /*eventLogStatus=*/1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(RunCommand("DELETE FROM LIST_MEMBER;"), FrameExit::kNoSession);
  const std::string log = LogCapture::Dump();
  EXPECT_EQ(LogCapture::Count(kLogDiagnostic, "TW-IXXXX: Database Command (SQLDriverConnect) Failed; Error: -1; "
                                              "Native Error: "),
            3u)
      << log;
  EXPECT_EQ(log.find("secret"), std::string::npos) << log;
  EXPECT_EQ(LogCapture::Count(kLogOpenConnection, "PWD=****;CONN_TIMEOUT=5; USER:)\n"), 3u) << log;
  if (GetParam() == 0) {
    EXPECT_EQ(LogCapture::Count(kLogDiagnostic, "TW-IXXXX: Timeout occurred Opening DB Connection\n"), 3u);
  } else {
    EXPECT_EQ(LogCapture::Count(kLogDiagnostic, "TW-IXXXX: Closed DB Connection, but it was already closed.\n"), 3u);
  }
  // "Event Log Status" 1: only the first failure after load is written.
  std::ifstream in(eventLog);
  std::string line;
  size_t entries = 0;
  while (std::getline(in, line)) entries += line.find("SQLDriverConnect") != std::string::npos;
  EXPECT_EQ(entries, 1u);
  unsetenv("TALLOWMERE_EVENTLOG");
}

INSTANTIATE_TEST_SUITE_P(Modes, ConnectFailureTest, ::testing::Values(0, 1),
                         [](const auto& info) { return std::string(ModeName(info.param)); });

TEST(EventLogStatusTest, ZeroNeverTwoAlways) {
  TALLOWMERE_REQUIRE_SERVICES();
  for (uint32_t status : {0u, 2u, 9u}) {
    tallowmere::testing::TempDir dir;
    const std::string eventLog = dir.path() + "/events.jsonl";
    setenv("TALLOWMERE_EVENTLOG", eventLog.c_str(), 1);
    {
      LoadedProvider provider("MySQL", "DRIVER=MariaDB;SOCKET=" + dir.path() + "/none.sock", 1, status);
      for (int i = 0; i < 3; ++i) RunCommand("DELETE FROM LIST_MEMBER;");
    }
    std::ifstream in(eventLog);
    std::string line;
    size_t entries = 0;
    while (std::getline(in, line)) entries += line.find("SQLDriverConnect") != std::string::npos;
    EXPECT_EQ(entries, status == 2 ? 3u : 0u) << status;
    unsetenv("TALLOWMERE_EVENTLOG");
  }
}

}  // namespace
}  // namespace tallowmere::provider::test
