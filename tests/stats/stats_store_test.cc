// The five value and flag exports, called in-process: where values land,
// what reads give back, the existence rule, the folder rule, and bad input
// that must change nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/host_info.h"
#include "statslog/stats/stats_store.h"
#include "stats/stats_fixture.h"
#include "tallowmere/statslog.h"

namespace tallowmere::stats::testing {
namespace {

constexpr int32_t kSystem = TALLOWMERE_SYSTEM_SCOPE;
constexpr int32_t kPostoffice = TALLOWMERE_POSTOFFICE_SCOPE;
constexpr int32_t kNested = TALLOWMERE_NESTED_SCOPE;

class StatsStoreTest : public StatsFixture {
 protected:
  // SetStatsString with a key the library may change.
  int32_t Set(const char* server, int32_t scope, const char* postoffice, const char* file, const char* section,
              std::string key, const char* value, bool flags = false) {
    std::vector<char> buffer(key.begin(), key.end());
    buffer.push_back('\0');
    return flags ? SetStatsStatusString(server, scope, postoffice, file, section, buffer.data(), value)
                 : SetStatsString(server, scope, postoffice, file, section, buffer.data(), value);
  }
  // GetStatsString into a 256-byte buffer; the text, or nullopt on result 0.
  std::optional<std::string> Get(const char* server, int32_t scope, const char* postoffice, const char* section,
                                 const char* file, const char* key, bool flags = false) {
    char buffer[256];
    std::memset(buffer, 'x', sizeof buffer);
    const int32_t found = flags ? GetStatsStatusString(server, scope, postoffice, section, file, key, buffer, 256)
                                : GetStatsString(server, scope, postoffice, section, file, key, buffer, 256);
    EXPECT_EQ(found == 0, buffer[0] == '\0');
    if (found == 0) return std::nullopt;
    return std::string(buffer);
  }
};

TEST_F(StatsStoreTest, ValuesAndFlagsLandInTheirTrees) {
  MakeDirectories("acme");
  struct Case {
    int32_t scope;
    const char* postoffice;
    bool flags;
    const char* file;
  } cases[] = {
      {kSystem, "", false, "System/STATSROOT/Servers/MX1/M2026M05D01.INI"},
      {kSystem, "acme", true, "System/STATSROOT/Flags/Servers/MX1/M2026M05D01.INI"},
      {kPostoffice, "acme", false, "acme/STATSROOT/Servers/MX1/M2026M05D01.INI"},
      {kPostoffice, "acme", true, "acme/STATSROOT/Flags/Servers/MX1/M2026M05D01.INI"},
      {kNested, "acme\\team", false, "acme/STATSROOT/Servers/MX1/team/M2026M05D01.INI"},
      {kNested, "acme\\team", true, "acme/STATSROOT/Flags/Servers/MX1/team/M2026M05D01.INI"},
      {7, "acme", false, "System/STATSROOT/Servers/MX1/M2026M05D01.INI"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ASSERT_EQ(Set("MX1", c.scope, c.postoffice, "M2026M05D01", "SMTP", "Hits", "42", c.flags), 1);
    EXPECT_EQ(ReadText(c.file), "[SMTP]\r\nHits=42\r\n");
    EXPECT_EQ(Get("MX1", c.scope, c.postoffice, "SMTP", "M2026M05D01", "Hits", c.flags), "42");
    fs::remove(Native(c.file));
  }
}

TEST_F(StatsStoreTest, ReadsMissAndCreateNothing) {
  EXPECT_EQ(Get("MX1", kSystem, "", "SMTP", "M2026M05D01", "Hits"), std::nullopt);
  EXPECT_EQ(Get("MX1", kPostoffice, "acme", "SMTP", "M2026M05D01", "Hits", true), std::nullopt);
  EXPECT_TRUE(Tree().empty());

  ASSERT_EQ(Set("MX1", kSystem, "", "F", "SMTP", "Empty", ""), 1);
  ASSERT_EQ(Set("MX1", kSystem, "", "F", "SMTP", "Full", "1"), 1);
  EXPECT_EQ(Get("MX1", kSystem, "", "SMTP", "F", "Empty"), std::nullopt);   // empty value: 0
  EXPECT_EQ(Get("MX1", kSystem, "", "SMTP", "F", "Missing"), std::nullopt);
  EXPECT_EQ(Get("MX1", kSystem, "", "Other", "F", "Full"), std::nullopt);
}

TEST_F(StatsStoreTest, EmptyKeyListsTheSection) {
  ASSERT_EQ(Set("MX1", kSystem, "", "F", "S", "a", "1"), 1);
  ASSERT_EQ(Set("MX1", kSystem, "", "F", "S", "b", "2"), 1);
  for (const char* key : {"", static_cast<const char*>(nullptr)}) {
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_EQ(GetStatsString("MX1", kSystem, "", "S", "F", key, buffer, sizeof buffer), 1);
    EXPECT_EQ(std::string(buffer, 5), std::string("a\0b\0\0", 5));
  }
}

TEST_F(StatsStoreTest, ResultBufferSizes) {
  ASSERT_EQ(Set("MX1", kSystem, "", "F", "S", "k", "abcdef"), 1);
  struct Case {
    int32_t size;
    int32_t result;
    const char* text;  // nullptr: the buffer stays untouched
  } cases[] = {
      {7, 1, "abcdef"}, {6, 1, "abcde"}, {2, 1, "a"}, {1, 0, ""}, {0, 0, nullptr}, {-5, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetStatsString("MX1", kSystem, "", "S", "F", "k", buffer, c.size), c.result);
    if (c.text == nullptr) {
      EXPECT_EQ(buffer[0], '#');
    } else {
      EXPECT_STREQ(buffer, c.text);
      EXPECT_EQ(buffer[std::max(c.size, 1)], '#');  // nothing written past the buffer
    }
  }
  EXPECT_EQ(GetStatsString("MX1", kSystem, "", "S", "F", "k", nullptr, 16), 0);
}

TEST_F(StatsStoreTest, EqualsSignsInKeysAreStoredAsColons) {
  char key[] = "x=y=z";
  ASSERT_EQ(SetStatsString("MX1", kSystem, "", "F", "S", key, "1"), 1);
  EXPECT_STREQ(key, "x:y:z");
  EXPECT_EQ(Get("MX1", kSystem, "", "S", "F", "x=y=z"), std::nullopt);
  EXPECT_EQ(Get("MX1", kSystem, "", "S", "F", "x:y:z"), "1");
}

TEST_F(StatsStoreTest, ExistenceRuleOfTheValuesTree) {
  // No directory for acme: values refused with nothing created, flags create it.
  EXPECT_EQ(Set("MX1", kPostoffice, "acme", "F", "S", "k", "1"), 0);
  EXPECT_TRUE(Tree().empty());
  EXPECT_EQ(Set("MX1", kPostoffice, "acme", "F", "S", "k", "1", true), 1);
  EXPECT_TRUE(Exists("acme/STATSROOT/Flags/Servers/MX1/F.INI"));
  // Now that acme exists, values go in.
  EXPECT_EQ(Set("MX1", kPostoffice, "acme", "F", "S", "k", "2"), 1);
  EXPECT_EQ(ReadText("acme/STATSROOT/Servers/MX1/F.INI"), "[S]\r\nk=2\r\n");
  // Nested scope: the rule applies to the postoffice part.
  EXPECT_EQ(Set("MX1", kNested, "other\\team", "F", "S", "k", "1"), 0);
  EXPECT_FALSE(Exists("other"));
}

TEST_F(StatsStoreTest, SystemPostofficeIsCreatedInAnyCaseAndIsOneBranch) {
  EXPECT_EQ(Set("MX1", kPostoffice, "SYSTEM", "F", "S", "a", "1"), 1);
  EXPECT_EQ(Set("MX1", kPostoffice, "system", "F", "S", "b", "2"), 1);
  EXPECT_EQ(Set("MX1", kSystem, "", "f", "s", "c", "3"), 1);
  EXPECT_EQ(Set("mx1", kPostoffice, "System", "F", "S", "d", "4", true), 1);
  const std::vector<std::string> tree = Tree();
  EXPECT_EQ(std::count_if(tree.begin(), tree.end(), [](const std::string& p) { return p.find('/') == std::string::npos; }),
            1);
  EXPECT_EQ(ReadText("SYSTEM/STATSROOT/Servers/MX1/F.INI"), "[S]\r\na=1\r\nb=2\r\nc=3\r\n");
  EXPECT_EQ(Get("mx1", kPostoffice, "sYsTeM", "s", "f", "C"), "3");
}

TEST_F(StatsStoreTest, FolderRule) {
  EXPECT_EQ(Set("MX1", kSystem, "", "Reports\\F", "S", "k", "1", true), 1);
  EXPECT_EQ(ReadText("System/STATSROOT/Flags/Servers/MX1/Reports/F.INI"), "[S]\r\nk=1\r\n");
  EXPECT_EQ(Get("MX1", kSystem, "", "S", "Reports/F", "k", true), "1");
  // Two folder levels: only the first is created, so the write fails...
  EXPECT_EQ(Set("MX1", kSystem, "", "A\\B\\F", "S", "k", "1"), 0);
  EXPECT_TRUE(Exists("System/STATSROOT/Servers/MX1/A"));
  EXPECT_FALSE(Exists("System/STATSROOT/Servers/MX1/A/B"));
  // ...unless the deeper directory exists already.
  MakeDirectories("System/STATSROOT/Servers/MX1/A/B");
  EXPECT_EQ(Set("MX1", kSystem, "", "A\\B\\F", "S", "k", "1"), 1);
  EXPECT_TRUE(Exists("System/STATSROOT/Servers/MX1/A/B/F.INI"));
}

TEST_F(StatsStoreTest, WritesReplaceAndRemove) {
  EXPECT_EQ(Set("MX1", kSystem, "", "F", "S", "k", "1"), 1);
  EXPECT_EQ(Set("MX1", kSystem, "", "F", "S", "k", "2"), 1);
  EXPECT_EQ(Set("MX1", kSystem, "", "F", "S", "j", "3"), 1);
  EXPECT_EQ(Get("MX1", kSystem, "", "S", "F", "k"), "2");
  EXPECT_EQ(Set("MX1", kSystem, "", "F", "S", "k", nullptr), 1);
  EXPECT_EQ(Get("MX1", kSystem, "", "S", "F", "k"), std::nullopt);
  EXPECT_EQ(ReadText("System/STATSROOT/Servers/MX1/F.INI"), "[S]\r\nj=3\r\n");
}

TEST_F(StatsStoreTest, EmptyServerMeansThisComputer) {
  const std::string host = platform::ComputerName();
  ASSERT_FALSE(host.empty());
  EXPECT_EQ(Set(nullptr, kSystem, "", "F", "S", "k", "1"), 1);
  EXPECT_EQ(Set("", kSystem, "", "F", "S", "j", "2"), 1);
  EXPECT_EQ(ReadText("System/STATSROOT/Servers/" + host + "/F.INI"), "[S]\r\nk=1\r\nj=2\r\n");
  EXPECT_EQ(Get(host.c_str(), kSystem, "", "S", "F", "j"), "2");
}

TEST_F(StatsStoreTest, BadInputChangesNothing) {
  MakeDirectories("acme");
  ASSERT_EQ(Set("MX1", kPostoffice, "acme", "F", "S", "k", "original"), 1);
  const std::vector<std::string> before = Tree();
  const std::string longText(2000, 'y');
  struct Case {
    const char* name;
    const char* server;
    int32_t scope;
    const char* postoffice;
    const char* file;
    const char* section;
    const char* key;  // nullptr: null key
    const char* value;
  } cases[] = {
      {"null key", "MX1", kPostoffice, "acme", "F", "S", nullptr, "x"},
      {"null section", "MX1", kPostoffice, "acme", "F", nullptr, "k", "x"},
      {"null file", "MX1", kPostoffice, "acme", nullptr, "S", "k", "x"},
      {"null postoffice", "MX1", kPostoffice, nullptr, "F", "S", "k", "x"},
      {"empty key", "MX1", kPostoffice, "acme", "F", "S", "", "x"},
      {"key starting with [", "MX1", kPostoffice, "acme", "F", "S", "[k", "x"},
      {"key starting with ;", "MX1", kPostoffice, "acme", "F", "S", ";k", "x"},
      {"key with blank ends", "MX1", kPostoffice, "acme", "F", "S", " k ", "x"},
      {"key with line feed", "MX1", kPostoffice, "acme", "F", "S", "k\nj", "x"},
      {"value with line feed", "MX1", kPostoffice, "acme", "F", "S", "k", "a\r\nb=c"},
      {"section with line feed", "MX1", kPostoffice, "acme", "F", "S\n[T]", "k", "x"},
      {"postoffice ..", "MX1", kPostoffice, "..", "F", "S", "k", "x"},
      {"postoffice escaping", "MX1", kPostoffice, "acme\\..\\..", "F", "S", "k", "x"},
      {"file escaping", "MX1", kPostoffice, "acme", "..\\..\\F", "S", "k", "x"},
      {"file absolute", "MX1", kPostoffice, "acme", "/tmp/F", "S", "k", "x"},
      {"server escaping", "..", kPostoffice, "acme", "F", "S", "k", "x"},
      {"server drive", "C:", kPostoffice, "acme", "F", "S", "k", "x"},
      {"server control", "MX\x1b", kPostoffice, "acme", "F", "S", "k", "x"},
      {"over-long server", longText.c_str(), kPostoffice, "acme", "F", "S", "k", "x"},
      {"over-long file", "MX1", kPostoffice, "acme", longText.c_str(), "S", "k", "x"},
      {"nested without level", "MX1", kNested, "acme", "F", "S", "k", "x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool flags : {false, true}) {
      std::vector<char> key;
      if (c.key != nullptr) key.assign(c.key, c.key + std::strlen(c.key) + 1);
      char* keyPointer = c.key == nullptr ? nullptr : key.data();
      const int32_t result = flags ? SetStatsStatusString(c.server, c.scope, c.postoffice, c.file, c.section, keyPointer, c.value)
                                   : SetStatsString(c.server, c.scope, c.postoffice, c.file, c.section, keyPointer, c.value);
      EXPECT_EQ(result, 0);
    }
  }
  EXPECT_EQ(Tree(), before);
  EXPECT_EQ(ReadText("acme/STATSROOT/Servers/MX1/F.INI"), "[S]\r\nk=original\r\n");
}

TEST_F(StatsStoreTest, ReadsOutsideTheTreeAreRefused) {
  // Values files above the mail root, where ".." would reach.
  fs::create_directories(base_ + "/STATSROOT/Servers/MX1");
  std::ofstream(base_ + "/STATSROOT/Servers/MX1/F.INI") << "[S]\r\nk=secret\r\n";
  fs::create_directories(base_ + "/x/STATSROOT/Servers/MX1");
  std::ofstream(base_ + "/x/STATSROOT/Servers/MX1/F.INI") << "[S]\r\nk=secret\r\n";
  EXPECT_EQ(Get("MX1", kPostoffice, "..", "S", "F", "k"), std::nullopt);
  EXPECT_EQ(Get("MX1", kPostoffice, "..\\x", "S", "F", "k"), std::nullopt);
  EXPECT_EQ(Get("..\\..\\..\\..\\STATSROOT\\Servers\\MX1", kSystem, "", "S", "F", "k"), std::nullopt);
  EXPECT_EQ(Get("MX1", kSystem, "", "S", "..\\..\\..\\..\\..\\STATSROOT\\Servers\\MX1\\F", "k"), std::nullopt);
  char buffer[8] = "x";
  EXPECT_EQ(GetStatsString("MX1", kSystem, "", nullptr, "F", "k", buffer, 8), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(GetStatsString("MX1", kSystem, "", "S", nullptr, "k", buffer, 8), 0);
  EXPECT_TRUE(Tree().empty());
}

TEST_F(StatsStoreTest, IncStatsCounterDoesNothing) {
  EXPECT_EQ(IncStatsCounter(0, 0, 0, 0, 0, 0, 0), 1);
  EXPECT_EQ(IncStatsCounter(-1, 7, INT32_MIN, INT32_MAX, 1, 2, 3), 1);
  EXPECT_TRUE(Tree().empty());
}

TEST_F(StatsStoreTest, MailRootDefaultsToTheDriveDirectory) {
  WriteRegistry("\"Other\"=\"x\"\n");
  ResetMailRootForTests();
  fs::create_directories(base_ + "/drives/d/Tallowmere/Postoffices");
  EXPECT_EQ(Set("MX1", kSystem, "", "F", "S", "k", "1"), 1);
  EXPECT_TRUE(fs::exists(base_ + "/drives/d/Tallowmere/Postoffices/System/STATSROOT/Servers/MX1/F.INI"));
  EXPECT_EQ(GetMailRoot(), "D:\\Tallowmere\\Postoffices");
}

TEST_F(StatsStoreTest, MailRootIsReadOnce) {
  EXPECT_EQ(GetMailRoot(), mailRoot_);
  WriteRegistry("\"Mail Root\"=\"/somewhere/else\"\n");
  EXPECT_EQ(GetMailRoot(), mailRoot_);
}

TEST_F(StatsStoreTest, BatchWriteIsOneRewriteAndAllOrNothing) {
  const StatsFile file{StatsTree::kValues, "MX1", kSystem, "", "F", "S"};
  ASSERT_TRUE(WriteStatsStrings(file, {{"a", "1"}, {"b=c", "2"}, {"d", std::nullopt}}));
  EXPECT_EQ(ReadText("System/STATSROOT/Servers/MX1/F.INI"), "[S]\r\na=1\r\nb:c=2\r\n");
  EXPECT_FALSE(WriteStatsStrings(file, {{"a", "9"}, {"[bad", "2"}}));
  EXPECT_EQ(ReadText("System/STATSROOT/Servers/MX1/F.INI"), "[S]\r\na=1\r\nb:c=2\r\n");
  EXPECT_EQ(ReadStatsValue(file, "A"), "1");
  const std::string longValue(5000, '7');
  ASSERT_TRUE(WriteStatsString(file, "long", longValue.c_str()));
  EXPECT_EQ(ReadStatsValue(file, "long"), longValue);
}

}  // namespace
}  // namespace tallowmere::stats::testing
