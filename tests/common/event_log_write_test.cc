// The event-log report operation, read back from the JSON-lines file.
#include "common/event_log_write.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/last_error.h"

namespace tallowmere {

const char* const kLibraryDescription = "Tallowmere Database Provider";

namespace {

namespace fs = std::filesystem;

class EventLogWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/event_log_write_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    path_ = dir_ + "/events.jsonl";
    setenv("TALLOWMERE_EVENTLOG", path_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("TALLOWMERE_EVENTLOG");
    fs::remove_all(dir_);
  }
  std::vector<nlohmann::json> Entries() const {
    std::vector<nlohmann::json> entries;
    std::ifstream in(path_, std::ios::binary);
    for (std::string line; std::getline(in, line);) entries.push_back(nlohmann::json::parse(line));
    return entries;
  }
  std::string dir_;
  std::string path_;
};

TEST_F(EventLogWriteTest, EntriesCarrySourceTypeIdAndBothStrings) {
  const std::string longSource(300, 's');
  struct Case {
    uint16_t type;
    const char* source;
    uint32_t id;
    const char* text;
    int lastError;
    std::string expectedSource;
    std::string expectedFirst;
    std::string expectedText;
  } cases[] = {
      {1, "Tallowmere", 10000, "Database failure", 2, "Tallowmere",
       "Tallowmere Database Provider error: 2", "Database failure"},
      {4, "", 0x40000001, "Removal failed", 13, "Tallowmere",
       "Tallowmere Database Provider error: 13", "Removal failed"},
      {2, nullptr, 5, nullptr, -1, "Tallowmere", "Tallowmere Database Provider error: -1", ""},
      {1, "Custom", 1, "x", 0, "Custom", "Tallowmere Database Provider error: 0", "x"},
      {1, longSource.c_str(), 1, "x", 0, std::string(255, 's'),
       "Tallowmere Database Provider error: 0", "x"},
  };
  for (const auto& c : cases) {
    platform::SetLastError(c.lastError);
    WriteEventLog(c.type, c.source, "category", c.id, c.text);
  }
  auto entries = Entries();
  ASSERT_EQ(entries.size(), std::size(cases));
  for (size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(entries[i]["source"], cases[i].expectedSource);
    EXPECT_EQ(entries[i]["type"], cases[i].type);
    EXPECT_EQ(entries[i]["id"], cases[i].id);
    EXPECT_EQ(entries[i]["strings"][0], cases[i].expectedFirst);
    EXPECT_EQ(entries[i]["strings"][1], cases[i].expectedText);
  }
}

}  // namespace
}  // namespace tallowmere
