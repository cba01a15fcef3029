// Both store libraries while their MariaDB server is killed and started
// again (a server of this test's own, from scripts/test-services.sh): every
// export returns its failure result and logs, nothing crashes, and the same
// loaded library works again once the server is back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "store_fixture.h"
#include "tallowmere/listprov.h"
#include "tallowmere/smtpprov.h"

namespace tallowmere::testing {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// Runs the services script; its trimmed standard output.
std::string Services(const std::string& arguments) {
  const std::string command = "'" + Env("TALLOWMERE_TEST_SERVICES_SCRIPT") + "' " + arguments + " 2>/dev/null";
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    pclose(pipe);
  }
  while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
  return output;
}

class StoreOutageTest : public ::testing::TestWithParam<ConnectionMode> {
 protected:
  void SetUp() override {
    if (Env("TALLOWMERE_TEST_SERVICES_SCRIPT").empty()) {
      if (!Env("TALLOWMERE_TEST_REQUIRE_SERVICES").empty()) FAIL() << "scripts/test-services.sh required but not run";
      GTEST_SKIP() << "needs scripts/test-services.sh";
    }
    name_ = "stores_outage_" + std::to_string(getpid());
    socket_ = Services("server-start '" + Env("TALLOWMERE_TEST_SERVICES") + "' " + name_);
    ASSERT_FALSE(socket_.empty());
    connection_ = "DRIVER=" + Env("TALLOWMERE_TEST_MARIADB_DRIVER") + ";SOCKET=" + socket_ +
                  ";DATABASE=tallowmere;UID=" + Env("TALLOWMERE_TEST_MARIADB_USER") +
                  ";PWD=" + Env("TALLOWMERE_TEST_MARIADB_PASSWORD") + ";CHARSET=latin1;CONN_TIMEOUT=5";
  }
  void TearDown() override {
    if (!name_.empty()) Services("server-kill '" + Env("TALLOWMERE_TEST_SERVICES") + "' " + name_);
  }
  void Kill() { Services("server-kill '" + Env("TALLOWMERE_TEST_SERVICES") + "' " + name_); }
  void Start() {
    ASSERT_EQ(Services("server-start '" + Env("TALLOWMERE_TEST_SERVICES") + "' " + name_), socket_);
  }

  TempDir dir_;
  std::string name_, socket_, connection_;
};

ListMemberRecord Member(const char* address) {
  ListMemberRecord r;
  std::memset(&r, 0, sizeof r);
  Put(r.Address, address);
  Put(r.Postoffice, "po");
  Put(r.Mailbox, "box");
  return r;
}

TEST_P(StoreOutageTest, ExportsFailWhileTheServerIsDownAndRecoverAfter) {
  const auto registry = dir_.path() / "registry.reg";
  WriteRegistry(registry, Engine::kMariaDb, GetParam(), connection_);
  StoreLibrary list("listprov", registry);
  StoreLibrary smtp("smtpprov", registry);
  ASSERT_TRUE(list.ok()) << list.error();
  ASSERT_TRUE(smtp.ok()) << smtp.error();
  using SetLogging = int32_t (*)(int32_t, TallowmereLoggingCallback, int32_t, int32_t);
  ASSERT_EQ(list.Get<SetLogging>("SetLoggingFunction")(0, CollectLine, 0, 0), 1);
  auto memberAdd = list.Get<int32_t (*)(const ListMemberRecord*)>("ListMemberAdd");
  auto memberGet = list.Get<int32_t (*)(ListMemberRecord*)>("ListMemberGet");
  auto memberFindFirst = list.Get<int32_t (*)(ListMemberRecord*)>("ListMemberFindFirst");
  auto accessGet = smtp.Get<int32_t (*)(SMTPAccessRecord*)>("SMTPAccessGet");
  auto accessFindFirst = smtp.Get<int32_t (*)(SMTPAccessRecord*)>("SMTPAccessFindFirst");
  auto domainGet = smtp.Get<int32_t (*)(SMTPDomainRecord*)>("SMTPDomainGet");
  auto domainAdd = smtp.Get<int32_t (*)(const SMTPDomainRecord*)>("SMTPDomainAdd");

  const auto kept = Member("kept@example.com");
  ASSERT_EQ(memberAdd(&kept), 1);
  TakeLoggedLines();

  Kill();
  // Per-call mode: no connection can be had. Shared mode: the first statement
  // on the dead connection is rejected (and the connection recycled), so only
  // per-call mode is run here; shared mode is covered by the load below.
  auto record = Member("kept@example.com");
  EXPECT_EQ(memberGet(&record), 0);
  EXPECT_EQ(memberAdd(&kept), 0);
  EXPECT_EQ(memberFindFirst(&record), 0);
  SMTPAccessRecord rule;
  std::memset(&rule, 0, sizeof rule);
  rule.Mode = 1;
  Put(rule.AddressMask, "192.0.2.1");
  EXPECT_EQ(accessGet(&rule), -1);        // no session
  EXPECT_EQ(accessFindFirst(&rule), -1);  // no session
  SMTPDomainRecord domain;
  std::memset(&domain, 0, sizeof domain);
  Put(domain.DomainName, "d.example");
  EXPECT_EQ(domainGet(&domain), 0);
  EXPECT_EQ(domainAdd(&domain), 0);
  const auto lines = TakeLoggedLines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const LoggedLine& line) {
    return line.text.rfind("TW-IXXXX: Database Command (SQLDriverConnect) Failed", 0) == 0;
  }));

  Start();
  record = Member("kept@example.com");
  EXPECT_EQ(memberGet(&record), 1);
  EXPECT_EQ(Text(record.Mailbox), "box");
  EXPECT_EQ(domainAdd(&domain), 1);
  EXPECT_EQ(domainGet(&domain), 1);
  EXPECT_EQ(accessGet(&rule), 0);  // connected, no such rule
}

TEST_F(StoreOutageTest, SharedModeLoadedWhileTheServerIsDownConnectsWhenItIsBack) {
  Kill();
  const auto registry = dir_.path() / "registry.reg";
  WriteRegistry(registry, Engine::kMariaDb, ConnectionMode::kShared, connection_);
  StoreLibrary list("listprov", registry);  // the load's connect fails; the load does not
  ASSERT_TRUE(list.ok()) << list.error();
  auto memberGet = list.Get<int32_t (*)(ListMemberRecord*)>("ListMemberGet");
  auto memberAdd = list.Get<int32_t (*)(const ListMemberRecord*)>("ListMemberAdd");
  auto record = Member("late@example.com");
  EXPECT_EQ(memberGet(&record), 0);
  Start();
  EXPECT_EQ(memberAdd(&record), 1);
  EXPECT_EQ(memberGet(&record), 1);
}

INSTANTIATE_TEST_SUITE_P(PerCall, StoreOutageTest, ::testing::Values(ConnectionMode::kPerCall));

}  // namespace
}  // namespace tallowmere::testing
