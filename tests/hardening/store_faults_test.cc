// Both store libraries, loaded as a host loads them, while their MariaDB
// server misbehaves under load from 8 host threads, in each connection mode:
// killed and started again, paused (SIGSTOP) for longer than the login
// time-out, and a listener that accepts connections and never answers. Every
// operation must return one of its documented results within the documented
// time bound, no thread may hang (a watchdog ends the process), operations
// succeed again once the server is back, and every row reads back exactly.
// Each test runs a MariaDB server of its own (scripts/test-services.sh).
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "stores/store_fixture.h"
#include "tallowmere/listprov.h"
#include "tallowmere/smtpprov.h"

namespace tallowmere::testing {
namespace {

using Clock = std::chrono::steady_clock;

// The library's documented time bounds, in seconds.
constexpr double kConnectBound = 5;     // CONN_TIMEOUT the library adds
constexpr double kRecoveryPause = 2;    // shared mode, after a failed connect
constexpr double kLockWait = 10;        // shared mode, ConnectionLock
constexpr double kRecyclePause = 20;    // shared mode, before re-opening
constexpr double kSlack = 3;            // scheduling on a busy 2-core machine
// The statement bound the stall test sets in its connection string (the
// library's own default, 30 s, would make the test last minutes).
constexpr int kStatementBound = 3;

// Longest one export may take with statements bounded by `statement` seconds.
double OperationBound(ConnectionMode mode, double statement) {
  const double connect = kConnectBound;
  if (mode == ConnectionMode::kPerCall) return connect + statement + kSlack;
  // Lock wait and connect at acquisition, the statement, then the lock wait,
  // pause and connect of a recycle.
  const double reconnect = connect + kRecoveryPause;
  return kLockWait + reconnect + statement + kLockWait + kRecyclePause + reconnect + kSlack;
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// Runs scripts/test-services.sh; its trimmed standard output.
std::string Services(const std::string& command, const std::string& name) {
  const std::string line = "'" + Env("TALLOWMERE_TEST_SERVICES_SCRIPT") + "' " + command + " '" +
                           Env("TALLOWMERE_TEST_SERVICES") + "' " + name + " 2>/dev/null";
  std::string output;
  if (FILE* pipe = popen(line.c_str(), "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    pclose(pipe);
  }
  while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) output.pop_back();
  return output;
}

// Ends the process when a test outlives its time: a hung thread cannot be
// joined, and a hang must fail the test rather than stall the run.
class Watchdog {
 public:
  Watchdog(int seconds, std::string what) : what_(std::move(what)) {
    thread_ = std::thread([this, seconds] {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!done_.wait_for(lock, std::chrono::seconds(seconds), [this] { return disarmed_; })) {
        std::fprintf(stderr, "HANG: %s did not finish within %d s\n", what_.c_str(), seconds);
        std::fflush(stderr);
        _exit(3);
      }
    });
  }
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      disarmed_ = true;
    }
    done_.notify_all();
    thread_.join();
  }

 private:
  std::string what_;
  std::mutex mutex_;
  std::condition_variable done_;
  bool disarmed_ = false;
  std::thread thread_;
};

std::atomic<int> loggedLines{0};
int32_t CountLine(int32_t, int32_t, int32_t, int32_t, const char*) {
  ++loggedLines;
  return 0;
}

// Rows are made from a name alone, so any row can be checked against it.
ListMemberRecord Member(const std::string& name) {
  ListMemberRecord r;
  std::memset(&r, 0, sizeof r);
  Put(r.Address, name + "@example.com");
  Put(r.Postoffice, "po-" + name);
  Put(r.Mailbox, "box-" + name);
  return r;
}
SMTPDomainRecord Domain(const std::string& name) {
  SMTPDomainRecord r;
  std::memset(&r, 0, sizeof r);
  Put(r.DomainName, name + ".example");
  r.Status = 1;
  r.RedirectionStatus = 0;
  Put(r.RedirectionHosts, "relay." + name + ".example");
  Put(r.Account, "acct-" + name);
  r.RetainMode = 2;
  r.PollForMessages = 0;
  Put(r.UpStreamHost, "up." + name + ".example");
  r.PollInterval = 60;
  r.AliasMode = 0;
  Put(r.AliasValue, "alias-" + name);
  return r;
}
SMTPAccessRecord Rule(int k) {
  SMTPAccessRecord r;
  std::memset(&r, 0, sizeof r);
  r.Mode = 1;
  Put(r.AddressMask, "192.0.2." + std::to_string(k));
  r.Status = 1;
  Put(r.Account, "acct-rule" + std::to_string(k));
  Put(r.AccessRight, "allow");
  return r;
}
bool SameMember(const ListMemberRecord& a, const ListMemberRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool SameDomain(const SMTPDomainRecord& a, const SMTPDomainRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The exports a host thread calls, from both loaded libraries.
struct Host {
  Host(const std::filesystem::path& registry) : list("listprov", registry), smtp("smtpprov", registry) {}
  bool Bind() {
    if (!list.ok() || !smtp.ok()) return false;
    using SetLogging = int32_t (*)(int32_t, TallowmereLoggingCallback, int32_t, int32_t);
    list.Get<SetLogging>("SetLoggingFunction")(1, CountLine, 2, 3);
    smtp.Get<SetLogging>("SetLoggingFunction")(1, CountLine, 2, 3);
    memberAdd = list.Get<decltype(memberAdd)>("ListMemberAdd");
    memberGet = list.Get<decltype(memberGet)>("ListMemberGet");
    memberFindFirst = list.Get<decltype(memberFindFirst)>("ListMemberFindFirst");
    domainAdd = smtp.Get<decltype(domainAdd)>("SMTPDomainAdd");
    domainGet = smtp.Get<decltype(domainGet)>("SMTPDomainGet");
    accessGet = smtp.Get<decltype(accessGet)>("SMTPAccessGet");
    accessAdd = smtp.Get<decltype(accessAdd)>("SMTPAccessAdd");
    return memberAdd && memberGet && memberFindFirst && domainAdd && domainGet && accessGet && accessAdd;
  }
  StoreLibrary list, smtp;
  int32_t (*memberAdd)(const ListMemberRecord*) = nullptr;
  int32_t (*memberGet)(ListMemberRecord*) = nullptr;
  int32_t (*memberFindFirst)(ListMemberRecord*) = nullptr;
  int32_t (*domainAdd)(const SMTPDomainRecord*) = nullptr;
  int32_t (*domainGet)(SMTPDomainRecord*) = nullptr;
  int32_t (*accessGet)(SMTPAccessRecord*) = nullptr;
  int32_t (*accessAdd)(const SMTPAccessRecord*) = nullptr;
};

constexpr int kThreads = 8;
constexpr int kRowsBefore = 8;

// One operation of the mix: runs it, says whether it succeeded, and adds a
// problem when its result is not one of the export's documented results or
// a successful read brought back anything but the stored row.
struct Outcome {
  int32_t result;
  bool success;
};
using Operation = std::function<Outcome(Host&, int thread, int round, std::string* problem)>;

std::vector<std::pair<const char*, Operation>> Operations() {
  auto allowed = [](int32_t result, std::initializer_list<int32_t> results, const char* what, std::string* problem) {
    if (std::find(results.begin(), results.end(), result) == results.end()) {
      *problem = std::string(what) + " returned " + std::to_string(result);
    }
  };
  return {
      {"ListMemberAdd",
       [=](Host& h, int t, int n, std::string* problem) {
         const auto row = Member("t" + std::to_string(t) + "n" + std::to_string(n));
         const int32_t r = h.memberAdd(&row);
         allowed(r, {0, 1}, "ListMemberAdd", problem);
         return Outcome{r, r == 1};
       }},
      {"ListMemberGet",
       [=](Host& h, int, int n, std::string* problem) {
         const auto stored = Member("before" + std::to_string(n % kRowsBefore));
         ListMemberRecord row;
         std::memset(&row, 0, sizeof row);
         std::memcpy(row.Address, stored.Address, sizeof row.Address);
         const int32_t r = h.memberGet(&row);
         allowed(r, {0, 1}, "ListMemberGet", problem);
         if (r == 1 && !SameMember(row, stored)) *problem = "ListMemberGet read a different row";
         if (r == 0 && !std::all_of(row.Postoffice, row.Postoffice + sizeof row.Postoffice,
                                    [](char c) { return c == 0; })) {
           *problem = "ListMemberGet failed but changed the record";
         }
         return Outcome{r, r == 1};
       }},
      {"ListMemberFindFirst",
       [=](Host& h, int, int, std::string* problem) {
         ListMemberRecord row;
         std::memset(&row, 0, sizeof row);
         const int32_t r = h.memberFindFirst(&row);
         allowed(r, {0, 1}, "ListMemberFindFirst", problem);
         // Every row is made from its name: the row found must be whole.
         const std::string address = Text(row.Address);
         const std::string name = address.substr(0, address.find('@'));
         if (r == 1 && !SameMember(row, Member(name))) *problem = "ListMemberFindFirst read a torn row: " + address;
         return Outcome{r, r == 1};
       }},
      {"SMTPDomainAdd",
       [=](Host& h, int t, int n, std::string* problem) {
         const auto row = Domain("t" + std::to_string(t) + "n" + std::to_string(n));
         const int32_t r = h.domainAdd(&row);
         allowed(r, {0, 1}, "SMTPDomainAdd", problem);
         return Outcome{r, r == 1};
       }},
      {"SMTPDomainGet",
       [=](Host& h, int, int n, std::string* problem) {
         const auto stored = Domain("before" + std::to_string(n % kRowsBefore));
         SMTPDomainRecord row;
         std::memset(&row, 0, sizeof row);
         std::memcpy(row.DomainName, stored.DomainName, sizeof row.DomainName);
         row.Status = row.RedirectionStatus = row.RetainMode = row.PollForMessages = row.PollInterval =
             row.AliasMode = -1;
         const int32_t r = h.domainGet(&row);
         allowed(r, {1, 0, -1}, "SMTPDomainGet", problem);
         if (r == 1 && !SameDomain(row, stored)) *problem = "SMTPDomainGet read a different row";
         return Outcome{r, r == 1};
       }},
      {"SMTPAccessGet",
       [=](Host& h, int, int n, std::string* problem) {
         const auto stored = Rule(n % kRowsBefore);
         SMTPAccessRecord row;
         std::memset(&row, 0, sizeof row);
         row.Mode = stored.Mode;
         std::memcpy(row.AddressMask, stored.AddressMask, sizeof row.AddressMask);
         row.Status = -1;
         const int32_t r = h.accessGet(&row);
         allowed(r, {1, 0, -1}, "SMTPAccessGet", problem);
         if (r == 1 && std::memcmp(&row, &stored, sizeof row) != 0) *problem = "SMTPAccessGet read a different row";
         return Outcome{r, r == 1};
       }},
  };
}

// What one host thread saw.
struct ThreadLog {
  std::vector<std::string> problems;
  double longest = 0;  // seconds, over every operation
  std::string longestWhat;
  int roundsAfterBack = 0;  // whole rounds that succeeded once the server was back
  std::set<std::string> addedMembers, addedDomains;  // names whose Add returned 1
};

enum Phase : int { kBefore, kFault, kBack, kStop };

// A connection mode, and whether the ODBC driver manager pools connections
// (its odbcinst.ini "Pooling"; the test services turn it on).
struct Setup {
  ConnectionMode mode;
  bool pooled;
};
void PrintTo(const Setup& setup, std::ostream* os) {
  *os << (setup.mode == ConnectionMode::kShared ? "shared" : "per-call") << (setup.pooled ? ", pooled" : "");
}

class StoreFaultTest : public ::testing::TestWithParam<Setup> {
 protected:
  void SetUp() override {
    if (Env("TALLOWMERE_TEST_SERVICES_SCRIPT").empty()) {
      if (!Env("TALLOWMERE_TEST_REQUIRE_SERVICES").empty()) FAIL() << "scripts/test-services.sh required but not run";
      GTEST_SKIP() << "needs scripts/test-services.sh";
    }
  }
  void TearDown() override {
    if (server_.empty()) return;
    Services("server-resume", server_);  // a paused server cannot stop
    Services("server-kill", server_);
    Services("server-remove", server_);
  }
  bool Shared() const { return GetParam().mode == ConnectionMode::kShared; }
  ConnectionMode Mode() const { return GetParam().mode; }
  // Without pooling: this process reads a copy of the services'
  // odbcinst.ini with "Pooling = No" (before anything here uses ODBC).
  void ApplyPooling() {
    if (GetParam().pooled) return;
    const std::filesystem::path original = std::filesystem::path(Env("ODBCSYSINI")) / "odbcinst.ini";
    std::ifstream in(original);
    std::ofstream out(dir_.path() / "odbcinst.ini");
    std::string line;
    while (std::getline(in, line)) out << (line.rfind("Pooling", 0) == 0 ? "Pooling = No" : line) << "\n";
    out.close();
    setenv("ODBCSYSINI", dir_.path().c_str(), 1);
  }

  // A private server; returns the connection string of its database.
  std::string StartServer(const std::string& tag, const std::string& extra) {
    server_ = "faults_" + tag + "_" + std::to_string(getpid());
    const std::string socket = Services("server-start", server_);
    EXPECT_FALSE(socket.empty());
    return "DRIVER=" + Env("TALLOWMERE_TEST_MARIADB_DRIVER") + ";SOCKET=" + socket + ";DATABASE=tallowmere;UID=" +
           Env("TALLOWMERE_TEST_MARIADB_USER") + ";PWD=" + Env("TALLOWMERE_TEST_MARIADB_PASSWORD") +
           ";CHARSET=latin1" + extra;
  }

  // 8 host threads run the operation mix until told to stop; `fault` makes
  // the server fail and `heal` brings it back. Checks results, time bounds,
  // recovery and every row.
  void RunUnderLoad(const std::string& connection, double statementBound, const std::function<void()>& fault,
                    double faultSeconds, const std::function<void()>& heal) {
    const auto registry = dir_.path() / "registry.reg";
    WriteRegistry(registry, Engine::kMariaDb, Mode(), connection);
    ApplyPooling();
    Host host(registry);
    ASSERT_TRUE(host.Bind()) << host.list.error() << host.smtp.error();
    for (int k = 0; k < kRowsBefore; ++k) {
      const auto member = Member("before" + std::to_string(k));
      const auto domain = Domain("before" + std::to_string(k));
      const auto rule = Rule(k);
      ASSERT_EQ(host.memberAdd(&member), 1);
      ASSERT_EQ(host.domainAdd(&domain), 1);
      ASSERT_EQ(host.accessAdd(&rule), 1);
    }

    const double bound = OperationBound(Mode(), statementBound);
    const auto operations = Operations();
    std::atomic<int> phase{kBefore};
    std::vector<ThreadLog> logs(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        ThreadLog& log = logs[t];
        for (int round = 0; phase != kStop; ++round) {
          const int startPhase = phase;
          bool all = true;
          for (const auto& [name, operation] : operations) {
            std::string problem;
            const int opPhase = phase;
            const auto start = Clock::now();
            const Outcome outcome = operation(host, t, round, &problem);
            // The fault is made only after the phase changes: an operation
            // that began and ended before that ran on a healthy server.
            const bool healthy = opPhase == kBefore && phase == kBefore;
            const double took = std::chrono::duration<double>(Clock::now() - start).count();
            if (took > log.longest) {
              log.longest = took;
              log.longestWhat = name;
            }
            if (took > bound) problem = std::string(name) + " took " + std::to_string(took) + " s";
            if (healthy && !outcome.success) problem = std::string(name) + " failed before the fault";
            if (!problem.empty() && log.problems.size() < 5) log.problems.push_back(problem);
            all = all && outcome.success;
            const std::string key = "t" + std::to_string(t) + "n" + std::to_string(round);
            if (outcome.success && std::strcmp(name, "ListMemberAdd") == 0) log.addedMembers.insert(key);
            if (outcome.success && std::strcmp(name, "SMTPDomainAdd") == 0) log.addedDomains.insert(key);
          }
          if (startPhase == kBack && phase == kBack && all) ++log.roundsAfterBack;
          // A failing host retries, but not in a tight loop.
          if (!all) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
      });
    }
    const auto began = Clock::now();
    auto seconds = [&began] { return std::chrono::duration<double>(Clock::now() - began).count(); };
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    phase = kFault;
    fault();
    const double faultAt = seconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(faultSeconds));
    heal();
    phase = kBack;
    const double backAt = seconds();
    // Every thread must complete whole rounds again. Shared mode: each
    // library re-opens its connection only after the recycle pause that its
    // first rejected statement started; threads meet smtpprov's dead
    // connection only after sitting out listprov's lock waits, so the two
    // recycles can run one after the other (measured: up to 35 s).
    const auto giveUp = Clock::now() + std::chrono::seconds(Shared() ? 75 : 30);
    auto recovered = [&] {
      return std::all_of(logs.begin(), logs.end(), [](const ThreadLog& l) { return l.roundsAfterBack >= 2; });
    };
    while (!recovered() && Clock::now() < giveUp) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const double recoveredAt = seconds();
    phase = kStop;
    for (std::thread& thread : threads) thread.join();

    double longest = 0;
    for (int t = 0; t < kThreads; ++t) {
      for (const std::string& problem : logs[t].problems) ADD_FAILURE() << "thread " << t << ": " << problem;
      EXPECT_GE(logs[t].roundsAfterBack, 2) << "thread " << t << " did not recover";
      longest = std::max(longest, logs[t].longest);
    }
    std::printf("fault at %.1f s, back at %.1f s, all threads recovered at %.1f s; longest operation %.2f s "
                "(bound %.0f s)\n",
                faultAt, backAt, recoveredAt, longest, bound);
    for (int t = 0; t < kThreads; ++t) std::printf("  thread %d: longest %.2f s (%s)\n", t, logs[t].longest, logs[t].longestWhat.c_str());
    RecordProperty("longest_operation_ms", static_cast<int>(longest * 1000));
    RecordProperty("recovered_after_ms", static_cast<int>((recoveredAt - backAt) * 1000));

    // The rows: the ones written before the fault and every one whose Add
    // returned 1 are there exactly once and whole; no row is torn.
    DirectOdbc db(connection);
    ASSERT_TRUE(db.ok()) << db.lastError();
    for (int k = 0; k < kRowsBefore; ++k) {
      const std::string name = "before" + std::to_string(k);
      EXPECT_EQ(db.QueryInt("SELECT COUNT(*) FROM LIST_MEMBER WHERE Address='" + name +
                            "@example.com' AND Postoffice='po-" + name + "' AND Mailbox='box-" + name + "'"),
                1);
      EXPECT_EQ(db.QueryInt("SELECT COUNT(*) FROM SMTP_ACCESS WHERE Mode=1 AND AddressMask='192.0.2." +
                            std::to_string(k) + "' AND Status=1 AND Account='acct-rule" + std::to_string(k) +
                            "' AND AccessRight='allow'"),
                1);
    }
    EXPECT_EQ(db.QueryInt("SELECT COUNT(*) FROM SMTP_ACCESS"), kRowsBefore);
    size_t members = kRowsBefore, domains = kRowsBefore;
    for (const ThreadLog& log : logs) {
      members += log.addedMembers.size();
      domains += log.addedDomains.size();
      for (const std::string& name : log.addedMembers) {
        EXPECT_EQ(db.QueryInt("SELECT COUNT(*) FROM LIST_MEMBER WHERE Address='" + name + "@example.com'"), 1)
            << name;
      }
      for (const std::string& name : log.addedDomains) {
        EXPECT_EQ(db.QueryInt("SELECT COUNT(*) FROM DOMAIN WHERE DomainName='" + name + ".example'"), 1) << name;
      }
    }
    // An Add cut off by the fault may have been carried out all the same;
    // beyond those, nothing was added, and every row is whole.
    EXPECT_GE(db.QueryInt("SELECT COUNT(*) FROM LIST_MEMBER"), static_cast<int64_t>(members));
    EXPECT_GE(db.QueryInt("SELECT COUNT(*) FROM DOMAIN"), static_cast<int64_t>(domains));
    EXPECT_EQ(db.QueryInt("SELECT COUNT(*) FROM LIST_MEMBER WHERE Address NOT LIKE '%@example.com' OR "
                          "Postoffice <> CONCAT('po-', SUBSTRING_INDEX(Address,'@',1)) OR "
                          "Mailbox <> CONCAT('box-', SUBSTRING_INDEX(Address,'@',1))"),
              0);
    EXPECT_EQ(db.QueryInt("SELECT COUNT(*) FROM DOMAIN WHERE "
                          "RedirectionHosts <> CONCAT('relay.', DomainName) OR "
                          "Account <> CONCAT('acct-', SUBSTRING_INDEX(DomainName,'.',1)) OR "
                          "UpStreamHost <> CONCAT('up.', DomainName) OR "
                          "AliasValue <> CONCAT('alias-', SUBSTRING_INDEX(DomainName,'.',1)) OR "
                          "Status <> 1 OR RetainMode <> 2 OR PollInterval <> 60"),
              0);
  }

  TempDir dir_;
  std::string server_;
};

TEST_P(StoreFaultTest, ServerKilledAndRestartedUnderLoad) {
  Watchdog watchdog(Shared() ? 200 : 90, "ServerKilledAndRestartedUnderLoad");
  const std::string connection = StartServer("kill", "");
  // Statements on a killed server fail at once; the statement bound is the
  // library's default.
  RunUnderLoad(
      connection, 30, [this] { Services("server-kill", server_); }, 2.0,
      [this] { EXPECT_FALSE(Services("server-start", server_).empty()); });
}

TEST_P(StoreFaultTest, ServerPausedBeyondTheLoginTimeOutUnderLoad) {
  Watchdog watchdog(Shared() ? 200 : 90, "ServerPausedBeyondTheLoginTimeOutUnderLoad");
  const std::string bound = std::to_string(kStatementBound);
  const std::string connection = StartServer("pause", ";READ_TIMEOUT=" + bound + ";WRITE_TIMEOUT=" + bound);
  RunUnderLoad(
      connection, kStatementBound, [this] { Services("server-pause", server_); }, kConnectBound + 2,
      [this] { Services("server-resume", server_); });
}

// A TCP listener on the loopback that accepts every connection and never
// sends a byte.
class SilentListener {
 public:
  SilentListener() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd_, 64) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] {
      while (true) {
        const int client = accept(fd_, nullptr, nullptr);
        if (client < 0) return;  // the listening socket was shut down
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
          close(client);
          return;
        }
        clients_.push_back(client);
        ++accepted_;
      }
    });
  }
  ~SilentListener() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    for (int client : clients_) close(client);
    if (fd_ >= 0) close(fd_);
  }
  int port() const { return port_; }
  int accepted() {
    std::lock_guard<std::mutex> lock(mutex_);
    return accepted_;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<int> clients_;
  int accepted_ = 0;
  bool stopping_ = false;
};

using SilentListenerTest = StoreFaultTest;

TEST_P(SilentListenerTest, EveryOperationFailsWithinTheConnectBound) {
  Watchdog watchdog(90, "EveryOperationFailsWithinTheConnectBound");
  SilentListener listener;
  ASSERT_NE(listener.port(), 0);
  // No time-out of its own in the connection string: the library's connect
  // bound is what ends each attempt.
  const std::string connection = "DRIVER=" + Env("TALLOWMERE_TEST_MARIADB_DRIVER") +
                                 ";SERVER=127.0.0.1;PORT=" + std::to_string(listener.port()) +
                                 ";DATABASE=tallowmere;UID=u;PWD=p;CHARSET=latin1";
  const auto registry = dir_.path() / "registry.reg";
  WriteRegistry(registry, Engine::kMariaDb, Mode(), connection);
  auto loadStart = Clock::now();
  Host host(registry);  // shared mode: each load tries to connect once
  const double loadTook = std::chrono::duration<double>(Clock::now() - loadStart).count();
  ASSERT_TRUE(host.Bind());
  // Shared mode: a failed connect holds ConnectionLock for the connect and
  // its recovery pause, so a second thread of the same library waits for the
  // first; one thread per library keeps the test short. Per-call mode: four.
  const int perLibrary = Shared() ? 1 : 2;
  struct Result {
    const char* what;
    int32_t result;
    double took;
  };
  std::vector<Result> results(2 * perLibrary);
  std::vector<std::thread> threads;
  for (int i = 0; i < 2 * perLibrary; ++i) {
    threads.emplace_back([&, i] {
      const auto start = Clock::now();
      Result& r = results[i];
      const bool list = i < perLibrary;
      if (list && i % 2 == 0) {
        const auto row = Member("silent");
        r = {"ListMemberAdd", host.memberAdd(&row), 0};
      } else if (list) {
        auto row = Member("silent");
        r = {"ListMemberGet", host.memberGet(&row), 0};
      } else if (i % 2 == 0) {
        SMTPAccessRecord row = Rule(1);
        r = {"SMTPAccessGet", host.accessGet(&row), 0};
      } else {
        const auto row = Domain("silent");
        r = {"SMTPDomainAdd", host.domainAdd(&row), 0};
      }
      r.took = std::chrono::duration<double>(Clock::now() - start).count();
    });
  }
  for (std::thread& thread : threads) thread.join();
  // The failure results: no session.
  const double bound = kConnectBound + (Shared() ? kRecoveryPause : 0) + kSlack;
  std::printf("load took %.2f s (both libraries)\n", loadTook);
  for (const Result& r : results) {
    std::printf("  %s: %d after %.2f s\n", r.what, r.result, r.took);
    EXPECT_EQ(r.result, std::strcmp(r.what, "SMTPAccessGet") == 0 ? -1 : 0) << r.what;
    EXPECT_LE(r.took, bound) << r.what;
    EXPECT_GE(r.took, kConnectBound - 0.5) << r.what << ": the listener should have been waited for";
  }
  EXPECT_LE(loadTook, Shared() ? 2 * bound : kSlack);
  EXPECT_GE(listener.accepted(), static_cast<int>(results.size()));
}

std::string SetupName(const ::testing::TestParamInfo<Setup>& info) {
  return std::string(info.param.mode == ConnectionMode::kShared ? "Shared" : "PerCall") +
         (info.param.pooled ? "" : "Unpooled");
}

INSTANTIATE_TEST_SUITE_P(Modes, StoreFaultTest,
                         ::testing::Values(Setup{ConnectionMode::kShared, true},
                                           Setup{ConnectionMode::kPerCall, false}),
                         SetupName);
// Per-call mode with the driver manager's connection pool on, under a killed
// or paused server, crashes today inside the MariaDB driver's SQLFreeHandle,
// called by unixODBC's SQLDriverConnect while connections of the dead server
// sit in its pool. Listed in docs/faults.md; run these with
// --gtest_also_run_disabled_tests.
INSTANTIATE_TEST_SUITE_P(DISABLED_Pooled, StoreFaultTest, ::testing::Values(Setup{ConnectionMode::kPerCall, true}),
                         SetupName);
INSTANTIATE_TEST_SUITE_P(Modes, SilentListenerTest,
                         ::testing::Values(Setup{ConnectionMode::kPerCall, true}, Setup{ConnectionMode::kShared, true}),
                         SetupName);

}  // namespace
}  // namespace tallowmere::testing
