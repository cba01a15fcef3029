// libstatslog under concurrent callers, as hosts load it (linked to the
// shared library, public header only).
//
// Writers: 8 threads in each of 4 processes set values and flags in the same
// INI files at once, with readers beside them; afterwards every value written
// is there, with the value last written to it, and every file is well formed.
//
// Purges beside writers: nothing breaks, every file left is whole.
//
// Log processing beside summaries: the days of one month are processed while
// the month is summarised again and again; afterwards a last summary gives
// the same month (and the same day files) as the same calls made one after
// the other with nothing beside them.
//
// Under ThreadSanitizer (scripts/test.sh --thread) a data race fails the test.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tallowmere/statslog.h"

namespace {

namespace fs = std::filesystem;

// One mail root for the whole process: the library reads the mail root once
// and keeps it, so every test works in it under its own server name.
class World : public ::testing::Environment {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/tallowmere-concurrency-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    base = pattern;
    mailRoot = base + "/mail";
    fs::create_directories(mailRoot);
    fs::create_directories(base + "/drives");
    std::ofstream(base + "/registry.reg", std::ios::binary)
        << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere]\r\n\"Mail Root\"=\"" << mailRoot
        << "\"\r\n\r\n";
    setenv("TALLOWMERE_REGISTRY", (base + "/registry.reg").c_str(), 1);
    setenv("TALLOWMERE_DRIVES", (base + "/drives").c_str(), 1);
    setenv("TALLOWMERE_EVENTLOG", (base + "/events.jsonl").c_str(), 1);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(base, ignored);
  }
  static inline std::string base;
  static inline std::string mailRoot;
};
[[maybe_unused]] ::testing::Environment* const kWorld = ::testing::AddGlobalTestEnvironment(new World);

class StatsConcurrencyTest : public ::testing::Test {
 protected:
  static std::string ServerDir(const std::string& server) {
    return World::mailRoot + "/System/STATSROOT/Servers/" + server;
  }
  static std::string FlagsDir(const std::string& server) {
    return World::mailRoot + "/System/STATSROOT/Flags/Servers/" + server;
  }
};

using Sections = std::map<std::string, std::map<std::string, std::string>>;

// Parses an INI file strictly as the library writes it: CR LF line ends,
// "[section]" headers, "key=value" lines inside a section, no key twice in a
// section, no section twice. Returns false (with the reason) otherwise.
bool ParseWrittenIni(const std::string& path, Sections& sections, std::string& why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return why = "cannot open " + path, false;
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string text = buffer.str();
  if (text.empty()) return why = "empty file " + path, false;
  if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) return why = "no final line end: " + path, false;
  std::map<std::string, std::string>* current = nullptr;
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find("\r\n", at);
    const std::string line = text.substr(at, end - at);
    at = end + 2;
    if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos)
      return why = "stray line break in " + path, false;
    if (!line.empty() && line.front() == '[' && line.back() == ']') {
      const std::string name = line.substr(1, line.size() - 2);
      if (sections.count(name)) return why = "section [" + name + "] twice in " + path, false;
      current = &sections[name];
      continue;
    }
    const size_t eq = line.find('=');
    if (current == nullptr || eq == std::string::npos || eq == 0)
      return why = "malformed line '" + line + "' in " + path, false;
    if (!current->emplace(line.substr(0, eq), line.substr(eq + 1)).second)
      return why = "key twice: " + line + " in " + path, false;
  }
  return true;
}

// Every file below `dir`: INI files must parse; anything else (a temporary
// file left behind) is reported.
void ExpectOnlyWholeIniFiles(const std::string& dir, std::map<std::string, Sections>* out = nullptr) {
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_directory()) continue;
    const std::string name = entry.path().filename().string();
    if (name.size() < 4 || name.substr(name.size() - 4) != ".INI") {
      ADD_FAILURE() << "left behind: " << entry.path();
      continue;
    }
    Sections sections;
    std::string why;
    EXPECT_TRUE(ParseWrittenIni(entry.path().string(), sections, why)) << why;
    if (out) (*out)[fs::relative(entry.path(), dir).string()] = std::move(sections);
  }
}

std::string Get(bool flag, const std::string& server, const std::string& file, const std::string& section,
                const std::string& key) {
  char value[256] = "";
  auto read = flag ? GetStatsStatusString : GetStatsString;
  read(server.c_str(), 0, "", section.c_str(), file.c_str(), key.c_str(), value, sizeof value);
  return value;
}

TEST_F(StatsConcurrencyTest, WritersInThreadsAndProcessesLoseNoValue) {
  constexpr int kProcesses = 4, kThreads = 8, kKeys = 24;
  const std::string server = "WRITERS";
  // Values go to two files (one of them in a folder), flags to one; each
  // writer also overwrites one key that every writer shares.
  const std::vector<std::string> valueFiles = {"D2026M12D11", "Reports\\Totals"};
  auto keyOf = [](int p, int t, int i) {
    return "p" + std::to_string(p) + "t" + std::to_string(t) + "k" + std::to_string(i);
  };
  auto valueOf = [](int p, int t, int i) { return std::to_string(p * 100000 + t * 1000 + i) + ",1"; };

  // Each process runs its writer threads; a thread counts its failed calls.
  auto writers = [&](int p) {
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        for (int i = 0; i < kKeys; ++i) {
          std::string key = keyOf(p, t, i);
          const std::string value = valueOf(p, t, i);
          const std::string& file = valueFiles[static_cast<size_t>(i) % valueFiles.size()];
          if (SetStatsString(server.c_str(), 0, "", file.c_str(), "SMTP", key.data(), value.c_str()) != 1) ++failed;
          key = keyOf(p, t, i);
          if (SetStatsStatusString(server.c_str(), 0, "", "D2026M12D11", "State", key.data(), value.c_str()) != 1)
            ++failed;
          char shared[] = "shared";
          if (SetStatsString(server.c_str(), 0, "", "D2026M12D11", "SMTP", shared, value.c_str()) != 1) ++failed;
        }
      });
    }
    for (auto& thread : threads) thread.join();
    return failed.load();
  };

  // Children are forked before this process starts any thread of its own.
  std::vector<pid_t> children;
  for (int p = 1; p < kProcesses; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) ::_exit(writers(p) == 0 ? 0 : 1);
    children.push_back(pid);
  }
  // Beside this process's writers, two readers: a value is either not there
  // yet or the one written (each key but "shared" is written once), and a
  // key list holds only written keys.
  std::atomic<bool> writing{true};
  std::atomic<int> wrongReads{0}, reads{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 2; ++r) {
    readers.emplace_back([&, r] {
      for (int n = r; writing.load(); n += 7) {
        const int p = n % kProcesses, t = (n / kProcesses) % kThreads, i = (n / (kProcesses * kThreads)) % kKeys;
        const std::string& file = valueFiles[static_cast<size_t>(i) % valueFiles.size()];
        const std::string value = Get(false, server, file, "SMTP", keyOf(p, t, i));
        if (!value.empty() && value != valueOf(p, t, i)) ++wrongReads;
        char keys[1 << 16];
        const int32_t listed = GetStatsStatusString(server.c_str(), 0, "", "State", "D2026M12D11", "", keys, sizeof keys);
        for (const char* key = keys; listed == 1 && *key; key += std::strlen(key) + 1)
          if (std::string(key).rfind('p', 0) != 0) ++wrongReads;
        ++reads;
      }
    });
  }
  EXPECT_EQ(writers(0), 0);
  writing = false;
  for (auto& reader : readers) reader.join();
  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(wrongReads.load(), 0) << "of " << reads.load() << " reads";
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer process failed, status " << status;
  }

  std::set<std::string> written;
  for (int p = 0; p < kProcesses; ++p)
    for (int t = 0; t < kThreads; ++t)
      for (int i = 0; i < kKeys; ++i) written.insert(valueOf(p, t, i));
  int missing = 0;
  for (int p = 0; p < kProcesses; ++p) {
    for (int t = 0; t < kThreads; ++t) {
      for (int i = 0; i < kKeys; ++i) {
        const std::string key = keyOf(p, t, i);
        const std::string& file = valueFiles[static_cast<size_t>(i) % valueFiles.size()];
        const std::string value = Get(false, server, file, "SMTP", key);
        const std::string flag = Get(true, server, "D2026M12D11", "State", key);
        if (value != valueOf(p, t, i) || flag != valueOf(p, t, i)) {
          if (++missing <= 10) ADD_FAILURE() << key << ": value '" << value << "', flag '" << flag << "'";
        }
      }
    }
  }
  EXPECT_EQ(missing, 0);
  EXPECT_TRUE(written.count(Get(false, server, "D2026M12D11", "SMTP", "shared")));

  // The files hold exactly what was written, and nothing else is left.
  std::map<std::string, Sections> files;
  ExpectOnlyWholeIniFiles(ServerDir(server), &files);
  ExpectOnlyWholeIniFiles(FlagsDir(server));
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files["D2026M12D11.INI"]["SMTP"].size(), 1 + kProcesses * kThreads * ((kKeys + 1) / 2));
  EXPECT_EQ(files["Reports/Totals.INI"]["SMTP"].size(), static_cast<size_t>(kProcesses * kThreads * (kKeys / 2)));
}

// Purges beside writers. Purges take no lock: a purge may delete a file just
// written, and a writer that re-creates a directory makes a removal fail
// (reported, result 0). Neither may crash, race or leave a broken tree: every
// file left is whole, no temporary file stays, and afterwards a purge with
// nothing beside it and new writes work as always.
TEST_F(StatsConcurrencyTest, PurgesBesideWritersLeaveOnlyWholeFiles) {
  constexpr int kWriters = 4, kDays = 10, kRounds = 4;
  const std::string server = "PURGED";
  auto dayFile = [](int day) {
    char name[16];
    std::snprintf(name, sizeof name, "D2026M12D%02d", day);
    return std::string(name);
  };
  std::atomic<int> writing{kWriters};
  std::atomic<int> badResults{0}, purges{0};
  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      for (int round = 0; round < kRounds; ++round) {
        for (int day = 1; day <= kDays; ++day) {
          std::string key = "w" + std::to_string(w);
          const int32_t rc = SetStatsString(server.c_str(), 0, "", dayFile(day).c_str(), "SMTP", key.data(),
                                            std::to_string(round).c_str());
          if (rc != 0 && rc != 1) ++badResults;
        }
      }
      --writing;
    });
  }
  threads.emplace_back([&] {
    for (int n = 0; writing.load() > 0; ++n) {
      const int32_t rc = n % 4 == 3 ? PurgeEntireStatsCache() : PurgeStatsCacheBeforeDate("D2026M12D05");
      if (rc != 0 && rc != 1) ++badResults;
      ++purges;
    }
  });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(badResults.load(), 0);
  EXPECT_GT(purges.load(), 0);
  if (fs::exists(World::mailRoot + "/System/STATSROOT")) ExpectOnlyWholeIniFiles(World::mailRoot + "/System/STATSROOT");

  // Afterwards, alone: the date purge removes days 1 to 5 and keeps the rest.
  for (int day = 1; day <= kDays; ++day) {
    std::string key = "after";
    ASSERT_EQ(SetStatsString(server.c_str(), 0, "", dayFile(day).c_str(), "SMTP", key.data(), "1"), 1) << day;
  }
  EXPECT_EQ(PurgeStatsCacheBeforeDate("D2026M12D05"), 1);
  for (int day = 1; day <= kDays; ++day)
    EXPECT_EQ(Get(false, server, dayFile(day), "SMTP", "after"), day <= 5 ? "" : "1") << day;
  ExpectOnlyWholeIniFiles(World::mailRoot + "/System/STATSROOT");
}

// Log processing and summaries of the same month at the same time.
class ProcessingBesideSummaryTest : public StatsConcurrencyTest {
 protected:
  static constexpr int kDays = 6;

  // A W3C log for each of the first kDays days of November 2013; each day
  // has its own users and byte counts.
  void WriteLogs() {
    logs_ = World::base + "/logs";
    fs::create_directories(logs_);
    const std::vector<std::string> users = {"alice", "bob", "carol", "dave", "erin"};
    for (int day = 1; day <= kDays; ++day) {
      char name[32];
      std::snprintf(name, sizeof name, "/ex1311%02d.log", day);
      std::ofstream out(logs_ + name, std::ios::binary);
      out << "#Version: 1.0\r\n#Fields: date time cs-username cs-method sc-bytes\r\n";
      for (int line = 0; line < 40; ++line) {
        const std::string& user = users[static_cast<size_t>(line * day) % users.size()];
        out << "2013-11-" << (day < 10 ? "0" : "") << day << " 00:00:" << (line % 60 < 10 ? "0" : "") << line % 60
            << " " << user << " " << (line % 3 ? "DATA" : "RCPT") << " " << 100 * day + line << "\r\n";
      }
    }
  }

  std::string Definition(const std::string& server, int day) const {
    char period[16];
    std::snprintf(period, sizeof period, "D2013M11D%02d", day);
    return "<REPORT><FILENAME>" + logs_ + "/any.log</FILENAME><SERVER>" + server + "</SERVER><PERIOD>" + period +
           "</PERIOD><LOGSCHEMA>SMTP</LOGSCHEMA><MINVERSION>1.0</MINVERSION><GROUP>cs-username</GROUP>"
           "<FIELDCOUNT>2</FIELDCOUNT><FIELD ID=\"1\">Bytes:SUM(sc-bytes)</FIELD>"
           "<FIELD ID=\"2\">Delivered:COUNT(cs-method=DATA)</FIELD><RESULTTYPE>1</RESULTTYPE></REPORT>";
  }

  void Process(const std::string& server, int day) const {
    char result[256] = "";
    const int32_t size = sizeof result;
    EXPECT_EQ(ProcessDelimitedLogFile(Definition(server, day).c_str(), 0, result, &size), 0);
    EXPECT_STREQ(result, "") << "day " << day;
  }

  static int32_t Summary(const std::string& server) {
    return GeneratePeriodSummary(server.c_str(), 0, "", "SMTP", "D2013M11", 0, "", 0);
  }

  // Values files of a server, and its flags files without the time of the
  // last change (which differs from run to run).
  static std::map<std::string, Sections> Tree(const std::string& server) {
    std::map<std::string, Sections> tree, flags;
    ExpectOnlyWholeIniFiles(ServerDir(server), &tree);
    ExpectOnlyWholeIniFiles(FlagsDir(server), &flags);
    for (auto& [file, sections] : flags) {
      for (auto& [section, keys] : sections) keys.erase("LastModified");
      tree["flags/" + file] = sections;
    }
    return tree;
  }

  std::string logs_;
};

TEST_F(ProcessingBesideSummaryTest, SummaryAfterwardsEqualsOneMadeWithNothingBesideIt) {
  WriteLogs();
  constexpr int kRounds = 3;
  const std::string busy = "BUSY", quiet = "QUIET";

  // Two threads process the days (odd and even days, each day kRounds times)
  // while two others summarise the month until the processing is over.
  std::atomic<int> processing{2};
  std::atomic<int> summaries{0};
  std::vector<std::thread> threads;
  for (int first : {1, 2}) {
    threads.emplace_back([&, first] {
      for (int round = 0; round < kRounds; ++round)
        for (int day = first; day <= kDays; day += 2) Process(busy, day);
      --processing;
    });
  }
  for (int s = 0; s < 2; ++s) {
    threads.emplace_back([&] {
      do {
        const int32_t state = Summary(busy);
        EXPECT_TRUE(state == 1 || state == -1 || state == -2) << state;
        ++summaries;
      } while (processing.load() > 0);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_GE(summaries.load(), 2);
  const int32_t busyState = Summary(busy);

  // The same calls, one after the other.
  for (int round = 0; round < kRounds; ++round)
    for (int day = 1; day <= kDays; ++day) Process(quiet, day);
  const int32_t quietState = Summary(quiet);

  EXPECT_EQ(busyState, quietState);
  EXPECT_EQ(quietState, -1);  // six days of thirty
  const auto busyTree = Tree(busy);
  const auto quietTree = Tree(quiet);
  EXPECT_EQ(busyTree, quietTree);
  // The comparison means something: the month holds every user's total.
  ASSERT_TRUE(quietTree.count("D2013M11.INI"));
  EXPECT_EQ(quietTree.at("D2013M11.INI").at("SMTP").size(), 5u);
  EXPECT_EQ(quietTree.size(), static_cast<size_t>(2 * (kDays + 1)));  // days and month, values and flags
}

}  // namespace
