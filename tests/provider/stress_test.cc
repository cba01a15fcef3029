// Many threads at once in each connection mode, and recovery after the
// database server is killed and started again.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>
#include <tuple>

#include "provider/frame.h"
#include "provider/sql_text.h"
#include "provider_test_env.h"

namespace tallowmere::provider::test {
namespace {

std::string InsertMember(const std::string& address, const std::string& mailbox) {
  return "INSERT INTO LIST_MEMBER (Address,Postoffice,Mailbox) VALUES (" + QuoteText(address) + ",'po'," +
         QuoteText(mailbox) + ");";
}

std::string SelectMember(const std::string& address) {
  std::string match;
  AddTextCondition(match, "Address", address);
  return Settings().RowLimitHead + " ID,Address,Postoffice,Mailbox FROM LIST_MEMBER WHERE (" + match + ") " +
         Settings().RowLimitTail + ";";
}

class ConcurrencyTest : public ::testing::TestWithParam<std::tuple<Engine, int32_t>> {};

TEST_P(ConcurrencyTest, EightThreadsFiveHundredOperationsEach) {
  TALLOWMERE_REQUIRE_SERVICES();
  ScratchDatabase database(std::get<0>(GetParam()));
  LoadedProvider provider(database.providerName(), database.connectionString(), std::get<1>(GetParam()));
  constexpr int kThreads = 8;
  constexpr int kOperations = 500;
  std::atomic<int> wrong{0};
  std::vector<std::string> firstWrong(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      auto check = [&](bool ok, const std::string& what) {
        if (!ok && wrong++ < 20 && firstWrong[t].empty()) firstWrong[t] = what;
      };
      for (int i = 0; i < kOperations / 5; ++i) {
        const std::string address = "t" + std::to_string(t) + "n" + std::to_string(i) + "@x";
        check(RunCommand(InsertMember(address, "m")) == FrameExit::kSuccess, "insert " + address);
        MemberRecord record;
        std::memset(&record, 0, sizeof record);
        check(RunSingleRowRead(SelectMember(address), MemberTarget(record)) == FrameExit::kSuccess &&
                  std::string(record.Address) == address && std::string(record.Mailbox) == "m",
              "read " + address);
        check(RunCommand("UPDATE LIST_MEMBER SET Mailbox='u' WHERE (Address = '" + address + "');") ==
                  FrameExit::kSuccess,
              "update " + address);
        check(RunCommand("DELETE FROM LIST_MEMBER WHERE (Address = '" + address + "');") == FrameExit::kSuccess,
              "delete " + address);
        check(RunSingleRowRead(SelectMember(address), MemberTarget(record)) == FrameExit::kNoRow,
              "read deleted " + address);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::string first;
  for (const std::string& w : firstWrong) first += w.empty() ? "" : w + "; ";
  EXPECT_EQ(wrong.load(), 0) << first << "\n" << LogCapture::Dump().substr(0, 4000);
  EXPECT_EQ(tallowmere::testing::OdbcQuery(database.connectionString(), "SELECT COUNT(*) FROM LIST_MEMBER"),
            std::vector<std::string>{"0"});
}

INSTANTIATE_TEST_SUITE_P(Engines, ConcurrencyTest,
                         ::testing::Combine(::testing::Values(Engine::kMariaDb, Engine::kSqlite),
                                            ::testing::Values(0, 1)),
                         [](const auto& info) {
                           return std::string(EngineName(std::get<0>(info.param))) + ModeName(std::get<1>(info.param));
                         });

// Runs the services script and returns its standard output (trimmed).
std::string Script(const std::string& arguments) {
  const std::string command = "'" + tallowmere::testing::Env("TALLOWMERE_TEST_SERVICES_SCRIPT") + "' " + arguments;
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    if (pclose(pipe) != 0) ADD_FAILURE() << command << " failed";
  }
  while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
  return output;
}

class RecoveryTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(RecoveryTest, KilledServerFailsOperationsThenRecoversWhenBack) {
  TALLOWMERE_REQUIRE_SERVICES();
  const std::string dir = tallowmere::testing::Env("TALLOWMERE_TEST_SERVICES");
  const std::string name = "recovery_" + std::to_string(getpid()) + "_" + ModeName(GetParam());
  const std::string socket = Script("server-start '" + dir + "' " + name);
  ASSERT_FALSE(socket.empty());
  const std::string connection = "DRIVER=" + tallowmere::testing::Env("TALLOWMERE_TEST_MARIADB_DRIVER") +
                                 ";SOCKET=" + socket + ";DATABASE=tallowmere;UID=" +
                                 tallowmere::testing::Env("TALLOWMERE_TEST_MARIADB_USER") +
                                 ";PWD=" + tallowmere::testing::Env("TALLOWMERE_TEST_MARIADB_PASSWORD") +
                                 ";CHARSET=latin1;CONN_TIMEOUT=5";
  {
    LoadedProvider provider("MySQL", connection, GetParam());
    RunCommand("DELETE FROM LIST_MEMBER;");
    ASSERT_EQ(RunCommand(InsertMember("kept@x", "before")), FrameExit::kSuccess) << LogCapture::Dump();
    MemberRecord record;
    ASSERT_EQ(RunSingleRowRead(SelectMember("kept@x"), MemberTarget(record)), FrameExit::kSuccess);

    Script("server-kill '" + dir + "' " + name);
    LogCapture::Clear();
    for (int i = 0; i < 3; ++i) {
      EXPECT_NE(RunSingleRowRead(SelectMember("kept@x"), MemberTarget(record)), FrameExit::kSuccess);
      EXPECT_NE(RunCommand(InsertMember("lost" + std::to_string(i) + "@x", "down")), FrameExit::kSuccess);
    }
    EXPECT_GT(LogCapture::Count(kLogDiagnostic, "TW-IXXXX: "), 0u);

    ASSERT_EQ(Script("server-start '" + dir + "' " + name), socket);
    int attempts = 0;
    FrameExit exit = FrameExit::kNoSession;
    while (attempts < 20 && exit != FrameExit::kSuccess) {
      ++attempts;
      std::memset(&record, 0, sizeof record);
      exit = RunSingleRowRead(SelectMember("kept@x"), MemberTarget(record));
    }
    EXPECT_EQ(exit, FrameExit::kSuccess) << LogCapture::Dump();
    EXPECT_LE(attempts, 3);
    EXPECT_STREQ(record.Mailbox, "before");
    // Every operation works again.
    for (int i = 0; i < 20; ++i) {
      EXPECT_EQ(RunCommand(InsertMember("after" + std::to_string(i) + "@x", "after")), FrameExit::kSuccess);
    }
  }
  Script("server-stop '" + dir + "' " + name);
  Script("server-remove '" + dir + "' " + name);
}

INSTANTIATE_TEST_SUITE_P(Modes, RecoveryTest, ::testing::Values(0, 1),
                         [](const auto& info) { return std::string(ModeName(info.param)); });

}  // namespace
}  // namespace tallowmere::provider::test
