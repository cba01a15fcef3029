// Event log: the JSON-lines file, its escaping, and concurrent appends.
#include "platform/event_log.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

namespace tallowmere::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class EventLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/event_log_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    path_ = dir_ + "/events.jsonl";
    setenv("TALLOWMERE_EVENTLOG", path_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("TALLOWMERE_EVENTLOG");
    fs::remove_all(dir_);
  }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::ifstream in(path_, std::ios::binary);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  std::string dir_;
  std::string path_;
};

TEST_F(EventLogTest, EntryIsOneJsonLine) {
  ASSERT_TRUE(ReportEvent("Tallowmere", kEventError, 10000, "Tallowmere Database Provider error: 2",
                          "Database failure"));
  ASSERT_TRUE(ReportEvent("Other", kEventInformation, 0x40000001, "", ""));
  auto lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  auto first = nlohmann::json::parse(lines[0]);
  EXPECT_EQ(first["source"], "Tallowmere");
  EXPECT_EQ(first["type"], 1);
  EXPECT_EQ(first["id"], 10000);
  EXPECT_EQ(first["strings"], nlohmann::json::array({"Tallowmere Database Provider error: 2",
                                                     "Database failure"}));
  auto second = nlohmann::json::parse(lines[1]);
  EXPECT_EQ(second["source"], "Other");
  EXPECT_EQ(second["type"], 4);
  EXPECT_EQ(second["id"], 0x40000001u);
  EXPECT_EQ(second["strings"], nlohmann::json::array({"", ""}));
}

TEST_F(EventLogTest, EmptySourceWritesNothing) {
  EXPECT_FALSE(ReportEvent("", kEventError, 1, "a", "b"));
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(EventLogTest, NoFileWithoutTheVariable) {
  unsetenv("TALLOWMERE_EVENTLOG");
  EXPECT_TRUE(ReportEvent("Tallowmere", kEventWarning, 1, "a", "b"));
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(EventLogTest, UnwritableFileIsIgnored) {
  setenv("TALLOWMERE_EVENTLOG", (dir_ + "/no/such/dir/x.jsonl").c_str(), 1);
  EXPECT_TRUE(ReportEvent("Tallowmere", kEventWarning, 1, "a", "b"));
}

// Text in, the string JSON must give back (as UTF-8).
struct EscapeCase {
  std::string text;
  std::string decoded;
};

const EscapeCase kEscapes[] = {
    {"plain", "plain"},
    {"quote \" and backslash \\", "quote \" and backslash \\"},
    {"line\nfeed\r\ttab", "line\nfeed\r\ttab"},
    {"nul\0byte"s, "nul\0byte"s},
    {"\x01\x1f\x7f", "\x01\x1f\x7f"},
    {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},  // UTF-8 kept
    {"caf\xE9 \x80 \x9F", "caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8"},  // 1252 bytes converted
    {"\x81\x8D", "\xC2\x81\xC2\x8D"},  // bytes 1252 leaves undefined
    {"\xC3", "\xC3\x83"},              // a cut UTF-8 sequence
    {"\xC0\xAF", "\xC3\x80\xC2\xAF"},  // an overlong one
    {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},  // an encoded surrogate
    {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},  // above U+10FFFF
};

TEST_F(EventLogTest, StringsAreEscapedAsJsonRequires) {
  for (const auto& c : kEscapes) {
    ASSERT_TRUE(ReportEvent(c.text, kEventWarning, 7, c.text, c.text));
  }
  auto lines = Lines();
  ASSERT_EQ(lines.size(), std::size(kEscapes));
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    for (char ch : lines[i]) EXPECT_GE(static_cast<unsigned char>(ch), 0x20);  // no raw controls
    nlohmann::json entry;
    ASSERT_NO_THROW(entry = nlohmann::json::parse(lines[i]));
    EXPECT_EQ(entry["source"].get<std::string>(), kEscapes[i].decoded);
    EXPECT_EQ(entry["strings"][0].get<std::string>(), kEscapes[i].decoded);
    EXPECT_EQ(entry["strings"][1].get<std::string>(), kEscapes[i].decoded);
  }
}

// Lines of concurrent threads in several processes never interleave.
TEST_F(EventLogTest, ConcurrentWritersNeverInterleave) {
  constexpr int kProcesses = 3, kThreads = 4, kEntries = 100;
  auto writeMany = [](int process) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([process, t] {
        const std::string filler(3000 + 100 * t, static_cast<char>('a' + t));
        for (int i = 0; i < kEntries; ++i) {
          ReportEvent("Tallowmere", kEventError, static_cast<uint32_t>(process * 1000 + t),
                      std::to_string(i), filler);
        }
      });
    }
    for (auto& th : threads) th.join();
  };
  std::vector<pid_t> children;
  for (int p = 1; p < kProcesses; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      writeMany(p);
      _exit(0);
    }
    children.push_back(pid);
  }
  writeMany(0);
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  auto lines = Lines();
  ASSERT_EQ(lines.size(), static_cast<size_t>(kProcesses * kThreads * kEntries));
  std::map<uint32_t, int> perWriter;
  for (const auto& line : lines) {
    auto entry = nlohmann::json::parse(line);
    const uint32_t id = entry["id"];
    const std::string filler = entry["strings"][1];
    const int t = static_cast<int>(id % 1000);
    EXPECT_EQ(filler, std::string(3000 + 100 * t, static_cast<char>('a' + t)));
    ++perWriter[id];
  }
  EXPECT_EQ(perWriter.size(), static_cast<size_t>(kProcesses * kThreads));
  for (auto& [id, count] : perWriter) EXPECT_EQ(count, kEntries) << id;
}

}  // namespace
}  // namespace tallowmere::platform
