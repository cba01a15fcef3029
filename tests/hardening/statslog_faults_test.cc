// Faults and hostile input through the statistics library as a whole.
//
// Countdown: one log-processing call and one period summary are run with the
// 1st, 2nd, ... file operation failing (once, or for good as a full disk
// does), until no fault fires. After every run each INI file under the mail
// root parses, every value in it is either the one it had before the call or
// the one a fault-free call leaves, no file exists that the fault-free call
// would not make, and no temporary file is left.
//
// Hostile input: log-derived group keys and definition elements that try to
// leave the mail root ("..", absolute paths, drive letters, separators,
// control characters): nothing is created or changed outside it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/ini_file.h"
#include "stats/stats_fixture.h"
#include "statslog/logproc/process_delimited_log_file.h"
#include "tallowmere/statslog.h"

namespace tallowmere::stats::testing {
namespace {

namespace fs = std::filesystem;

// file (relative) → section → key → value, as the INI reader sees them.
using TreeValues = std::map<std::string, std::map<std::string, std::map<std::string, std::string>>>;

std::vector<std::string> NulList(const char* data, size_t n) {
  std::vector<std::string> names;
  for (size_t i = 0; i < n && data[i];) {
    std::string name(data + i);
    i += name.size() + 1;
    names.push_back(name);
  }
  return names;
}

struct Disarm {
  ~Disarm() { platform::DisarmFileFault(); }
};

class StatslogFaultTest : public StatsFixture {
 protected:
  // Every INI file below the mail root with its values; other files (and
  // hidden temporary files in particular) are reported in `others`.
  TreeValues ReadTree(std::vector<std::string>* others = nullptr) {
    platform::IniClearCache();
    TreeValues tree;
    for (const auto& entry : fs::recursive_directory_iterator(mailRoot_)) {
      if (entry.is_directory()) continue;
      std::string relative = fs::relative(entry.path(), mailRoot_).string();
      std::string name = entry.path().filename().string();
      bool ini = name.size() > 4 && (name.substr(name.size() - 4) == ".INI" || name.substr(name.size() - 4) == ".ini");
      if (!ini) {
        if (others) others->push_back(relative);
        continue;
      }
      std::vector<char> buffer(1 << 20);
      std::string path = entry.path().string();
      size_t n = platform::IniGetString(path, nullptr, nullptr, "", buffer.data(), buffer.size());
      auto& sections = tree[relative];
      for (const std::string& section : NulList(buffer.data(), n)) {
        std::vector<char> keys(1 << 20);
        size_t k = platform::IniGetString(path, section.c_str(), nullptr, "", keys.data(), keys.size());
        for (const std::string& key : NulList(keys.data(), k)) {
          std::vector<char> value(1 << 16);
          size_t v = platform::IniGetString(path, section.c_str(), key.c_str(), "", value.data(), value.size());
          // The time of the call differs from run to run; only its presence counts.
          sections[section][key] = key == "LastModified" ? "<time>" : std::string(value.data(), v);
        }
      }
      if (sections.empty()) sections["<empty file>"] = {};
    }
    return tree;
  }

  // Each file and value of `now` is as `before` or as `after` had it.
  void ExpectOldOrNew(const TreeValues& before, const TreeValues& after, const TreeValues& now) {
    for (const auto& [file, sections] : now) {
      bool known = before.count(file) || after.count(file);
      EXPECT_TRUE(known) << "unexpected file " << file;
      if (!known) continue;
      for (const auto& [section, keys] : sections) {
        for (const auto& [key, value] : keys) {
          auto find = [&](const TreeValues& tree) -> const std::string* {
            auto f = tree.find(file);
            if (f == tree.end()) return nullptr;
            auto s = f->second.find(section);
            if (s == f->second.end()) return nullptr;
            auto v = s->second.find(key);
            return v == s->second.end() ? nullptr : &v->second;
          };
          const std::string* old = find(before);
          const std::string* fresh = find(after);
          EXPECT_TRUE((old && *old == value) || (fresh && *fresh == value))
              << file << " [" << section << "] " << key << "=" << value;
        }
      }
    }
  }

  // Runs `call` with a countdown of faults; `reset` puts the tree back to its
  // starting state before each run.
  void Countdown(const std::function<void()>& reset, const std::function<void()>& call) {
    Disarm disarm;
    reset();
    TreeValues before = ReadTree();
    call();
    TreeValues after = ReadTree();
    ASSERT_NE(before, after) << "the call changed nothing: the countdown would show nothing";
    for (bool persistent : {false, true}) {
      bool done = false;
      uint64_t n = 1;
      for (; !done && n < 2000; ++n) {
        reset();
        platform::IniClearCache();
        platform::ArmFileFault(
            {.failAt = n, .error = ENOSPC, .operations = platform::kAllFileOperations, .persistent = persistent});
        call();
        done = platform::InjectedFileFaults() == 0;
        platform::DisarmFileFault();
        SCOPED_TRACE("fault at operation " + std::to_string(n) + (persistent ? " (for good)" : ""));
        std::vector<std::string> others;
        TreeValues now = ReadTree(&others);
        for (const std::string& other : others) ADD_FAILURE() << "left behind: " << other;
        ExpectOldOrNew(before, after, now);
        if (done) {
          EXPECT_EQ(now, after);
        }
        if (HasFailure()) return;
      }
      EXPECT_TRUE(done);
      std::printf("%s countdown: %llu runs\n", persistent ? "persistent" : "single", static_cast<unsigned long long>(n - 1));
    }
  }

  void ResetMailRoot(const std::function<void()>& populate) {
    fs::remove_all(mailRoot_);
    fs::create_directories(mailRoot_);
    populate();
  }

  std::string Definition(const std::string& logDirectory, const std::string& extra) {
    return "<REPORT><FILENAME>" + logDirectory + "/any.log</FILENAME><SERVER>MX1</SERVER>"
           "<PERIOD>D2013M11D27</PERIOD><LOGSCHEMA>SMTP</LOGSCHEMA><MINVERSION>1.0</MINVERSION>"
           "<GROUP>cs-username</GROUP><FIELDCOUNT>2</FIELDCOUNT>"
           "<FIELD ID=\"1\">Bytes:SUM(sc-bytes)</FIELD><FIELD ID=\"2\">Delivered:COUNT(cs-method=DATA)</FIELD>" +
           extra + "</REPORT>";
  }

  void WriteLog(const std::string& directory, const std::vector<std::string>& users) {
    fs::create_directories(directory);
    std::ofstream out(directory + "/ex131127.log", std::ios::binary);
    out << "#Version: 1.0\r\n#Fields: date time cs-username cs-method sc-bytes\r\n";
    int i = 0;
    for (const std::string& user : users) out << "2013-11-27 00:00:0" << (i++ % 10) << " " << user << " DATA 100\r\n";
  }
};

TEST_F(StatslogFaultTest, CountdownOverOneLogProcessingCall) {
  std::string logs = base_ + "/logs";
  WriteLog(logs, {"alice", "bob", "alice", "carol"});
  std::string definition = Definition(logs, "<RESULTTYPE>1</RESULTTYPE>");
  Countdown(
      [&] {
        ResetMailRoot([&] {
          // An older result for the same day, so that "old" means something.
          WriteText("System/STATSROOT/Servers/MX1/D2013M11D27.INI", "[SMTP]\r\nalice=1.000000,1.000000\r\nzed=5\r\n");
        });
      },
      [&] {
        char result[256];
        logproc::ProcessDelimitedLogFile(definition, result, sizeof result);
      });
}

TEST_F(StatslogFaultTest, CountdownOverOnePeriodSummary) {
  Countdown(
      [&] {
        ResetMailRoot([&] {
          for (int day : {1, 2, 15, 30}) {
            char name[64];
            std::snprintf(name, sizeof name, "System/STATSROOT/Servers/MX1/D2013M11D%02d.INI", day);
            WriteText(name, "[SMTP]\r\nalice=" + std::to_string(day) + ",1\r\nbob=2," + std::to_string(day) + "\r\n");
          }
          WriteText("System/STATSROOT/Servers/MX1/D2013M11.INI", "[SMTP]\r\nalice=999\r\n");
        });
      },
      [&] { GeneratePeriodSummary("MX1", 0, "", "SMTP", "D2013M11", 0, "", 0); });
}

// A day file or a log file that is there but cannot be read is not missing
// data: the call stores nothing (a month summarised without that day, or a
// day flagged [NODATA], would be wrong), and the next call, once the file
// reads, is whole.
TEST_F(StatslogFaultTest, UnreadableFilesAreNotMissingData) {
  Disarm disarm;
  for (int day = 1; day <= 30; ++day) {
    char name[64];
    std::snprintf(name, sizeof name, "System/STATSROOT/Servers/MX1/D2013M11D%02d.INI", day);
    WriteText(name, "[SMTP]\r\nalice=1\r\n");
  }
  const std::string monthFile = "System/STATSROOT/Servers/MX1/D2013M11.INI";
  for (const char* key : {"", "alice"}) {
    SCOPED_TRACE(std::string("key \"") + key + "\"");
    platform::IniClearCache();
    platform::ArmFileFault({.failAt = 3, .error = EIO, .operations = platform::kFileOpen});
    EXPECT_EQ(GeneratePeriodSummary("MX1", 0, "", "SMTP", "D2013M11", 0, key, 0), 0);
    platform::DisarmFileFault();
    ASSERT_EQ(platform::InjectedFileFaults(), 1u);
    const TreeValues tree = ReadTree();
    EXPECT_EQ(tree.count(monthFile), 0u) << "a month was written without one of its days";
    EXPECT_EQ(tree.count("System/STATSROOT/Flags/Servers/MX1/D2013M11.INI"), 0u) << "flags were written";
  }
  platform::IniClearCache();
  EXPECT_EQ(GeneratePeriodSummary("MX1", 0, "", "SMTP", "D2013M11", 0, "", 0), 1);
  EXPECT_EQ(ReadTree()[monthFile]["SMTP"]["alice"].substr(0, 3), "30.");

  // The log of a day: found, but it cannot be opened.
  const std::string logs = base_ + "/logs";
  WriteLog(logs, {"alice", "bob"});
  const std::string definition = Definition(logs, "<RESULTTYPE>1</RESULTTYPE>");
  const TreeValues before = ReadTree();
  char result[256];
  platform::ArmFileFault({.failAt = 1, .error = EACCES, .operations = platform::kFileOpen});
  logproc::ProcessDelimitedLogFile(definition, result, sizeof result);
  platform::DisarmFileFault();
  ASSERT_EQ(platform::InjectedFileFaults(), 1u);
  EXPECT_EQ(std::string(result), "<FAILURE>Log File Unreadable: [" + logs + "/ex131127.log]</FAILURE>");
  EXPECT_EQ(ReadTree(), before) << "an unreadable log changed the statistics";
  logproc::ProcessDelimitedLogFile(definition, result, sizeof result);
  EXPECT_EQ(result[0], '\0');
  EXPECT_EQ(ReadTree()["System/STATSROOT/Servers/MX1/D2013M11D27.INI"]["SMTP"]["bob"], "1.000000,100.000000,1.000000");
}

// Everything below `root` except the mail root: path → bytes (directories "").
std::map<std::string, std::string> Outside(const std::string& root, const std::string& mailRoot) {
  std::map<std::string, std::string> files;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    if (it->path() == mailRoot) {
      it.disable_recursion_pending();
      continue;
    }
    if (it->path().filename() == "events.jsonl") continue;  // the event log may grow
    std::string bytes;
    if (it->is_regular_file()) {
      std::ifstream in(it->path(), std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    files[it->path().string()] = bytes;
  }
  return files;
}

TEST_F(StatslogFaultTest, HostileNamesNeverReachOutsideTheMailRoot) {
  std::string logs = base_ + "/logs";
  std::string absolute = "/tmp/tallowmere-hostile-" + std::to_string(::getpid());
  std::vector<std::string> users = {"..",          "../..",          "..\\..\\outside", "/etc",
                                    absolute,      absolute + "\\x", "C:",              "C:\\x",
                                    "c:x",         "a/../../b",      "a\\..\\..\\b",    ".",
                                    "x\x01y",      "\\\\server\\share", "acme\\..",       "..\\drives\\c"};
  WriteLog(logs, users);
  MakeDirectories("acme");
  fs::create_directories(base_ + "/drives/c");
  auto before = Outside(base_, mailRoot_);

  char result[256];
  // Per-postoffice totals: group keys name postoffice directories.
  logproc::ProcessDelimitedLogFile(Definition(logs, ""), result, sizeof result);
  logproc::ProcessDelimitedLogFile(Definition(logs, "<RESULTTYPE>1</RESULTTYPE>"), result, sizeof result);
  for (const std::string& hostile : {std::string(".."), std::string("..\\.."), absolute, std::string("C:\\x"),
                                     std::string("a/../.."), std::string("x\ny")}) {
    // Host-given elements: the server, the status folder, the section.
    std::string def = Definition(logs, "<RESULTTYPE>1</RESULTTYPE>");
    for (const std::string& element : {std::string("<SERVER>MX1</SERVER>"), std::string("<LOGSCHEMA>SMTP</LOGSCHEMA>")}) {
      std::string changed = def;
      std::string tag = element.substr(1, element.find('>') - 1);
      changed.replace(changed.find(element), element.size(), "<" + tag + ">" + hostile + "</" + tag + ">");
      logproc::ProcessDelimitedLogFile(changed, result, sizeof result);
    }
    logproc::ProcessDelimitedLogFile(Definition(logs, "<STATSROOT>" + hostile + "</STATSROOT>"), result, sizeof result);
    char key[] = "k";
    SetStatsString(hostile.c_str(), 1, hostile.c_str(), hostile.c_str(), hostile.c_str(), key, "v");
    SetStatsStatusString(hostile.c_str(), 2, hostile.c_str(), hostile.c_str(), "S", key, "v");
    GeneratePeriodSummary(hostile.c_str(), 1, hostile.c_str(), "SMTP", ("D2013M11\\" + hostile).c_str(), 0, "", 0);
    GeneratePeriodSummary("MX1", 2, (hostile + "\\x").c_str(), "SMTP", "D2013M11", 0, "", 0);
  }

  EXPECT_EQ(Outside(base_, mailRoot_), before);
  EXPECT_FALSE(fs::exists(absolute));
  EXPECT_FALSE(fs::exists("/etc/STATSROOT"));
  EXPECT_FALSE(fs::exists("/STATSROOT"));
  // Inside the mail root nothing is a link, and every name is printable.
  for (const auto& entry : fs::recursive_directory_iterator(mailRoot_)) {
    EXPECT_FALSE(entry.is_symlink()) << entry.path();
    for (char c : entry.path().filename().string()) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << entry.path();
  }
}

}  // namespace
}  // namespace tallowmere::stats::testing
