// Where each scope, tree and file name puts a statistic, which directories a
// write creates, and which names are refused.
#include "statslog/stats/stats_path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tallowmere::stats {
namespace {

using Tree = StatsTree;

struct LayoutCase {
  const char* name;
  Tree tree;
  int32_t scope;
  const char* postoffice;
  const char* fileName;
  const char* filePath;
  const char* branch;
  bool existenceRule;
  std::vector<std::string> chain;  // relative to the branch
};

TEST(StatsPathTest, TemplatesAndDirectoryChains) {
  const std::vector<LayoutCase> cases = {
      {"values system", Tree::kValues, 0, "ignored", "F", "R\\System\\STATSROOT\\Servers\\MX1\\F.INI", "R\\System",
       false, {"STATSROOT", "STATSROOT\\Servers", "STATSROOT\\Servers\\MX1"}},
      {"values postoffice", Tree::kValues, 1, "acme", "F", "R\\acme\\STATSROOT\\Servers\\MX1\\F.INI", "R\\acme",
       true, {"STATSROOT", "STATSROOT\\Servers", "STATSROOT\\Servers\\MX1"}},
      {"values nested", Tree::kValues, 2, "acme\\team", "F", "R\\acme\\STATSROOT\\Servers\\MX1\\team\\F.INI",
       "R\\acme", true,
       {"STATSROOT", "STATSROOT\\Servers", "STATSROOT\\Servers\\MX1", "STATSROOT\\Servers\\MX1\\team"}},
      {"flags system", Tree::kFlags, 0, "", "F", "R\\System\\STATSROOT\\Flags\\Servers\\MX1\\F.INI", "R\\System",
       false, {"STATSROOT", "STATSROOT\\Flags", "STATSROOT\\Flags\\Servers", "STATSROOT\\Flags\\Servers\\MX1"}},
      {"flags postoffice", Tree::kFlags, 1, "acme", "F", "R\\acme\\STATSROOT\\Flags\\Servers\\MX1\\F.INI", "R\\acme",
       false, {"STATSROOT", "STATSROOT\\Flags", "STATSROOT\\Flags\\Servers", "STATSROOT\\Flags\\Servers\\MX1"}},
      {"flags nested", Tree::kFlags, 2, "acme/team", "F", "R\\acme\\STATSROOT\\Flags\\Servers\\MX1\\team\\F.INI",
       "R\\acme", false,
       {"STATSROOT", "STATSROOT\\Flags", "STATSROOT\\Flags\\Servers", "STATSROOT\\Flags\\Servers\\MX1",
        "STATSROOT\\Flags\\Servers\\MX1\\team"}},
      {"scope 7 is system", Tree::kValues, 7, "..\\anything", "F", "R\\System\\STATSROOT\\Servers\\MX1\\F.INI",
       "R\\System", false, {"STATSROOT", "STATSROOT\\Servers", "STATSROOT\\Servers\\MX1"}},
      {"scope -1 is system", Tree::kValues, -1, "acme", "F", "R\\System\\STATSROOT\\Servers\\MX1\\F.INI",
       "R\\System", false, {"STATSROOT", "STATSROOT\\Servers", "STATSROOT\\Servers\\MX1"}},
      {"folder", Tree::kValues, 0, "", "Reports\\F", "R\\System\\STATSROOT\\Servers\\MX1\\Reports\\F.INI",
       "R\\System", false,
       {"STATSROOT", "STATSROOT\\Servers", "STATSROOT\\Servers\\MX1", "STATSROOT\\Servers\\MX1\\Reports"}},
      {"only the first folder level is created", Tree::kFlags, 0, "", "A\\B\\F",
       "R\\System\\STATSROOT\\Flags\\Servers\\MX1\\A\\B\\F.INI", "R\\System", false,
       {"STATSROOT", "STATSROOT\\Flags", "STATSROOT\\Flags\\Servers", "STATSROOT\\Flags\\Servers\\MX1",
        "STATSROOT\\Flags\\Servers\\MX1\\A"}},
      {"folder in nested", Tree::kValues, 2, "acme\\team", "Reports/F",
       "R\\acme\\STATSROOT\\Servers\\MX1\\team\\Reports/F.INI", "R\\acme", true,
       {"STATSROOT", "STATSROOT\\Servers", "STATSROOT\\Servers\\MX1", "STATSROOT\\Servers\\MX1\\team",
        "STATSROOT\\Servers\\MX1\\team\\Reports"}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    const StatsFile file{c.tree, "MX1", c.scope, c.postoffice, c.fileName, "S"};
    const auto location = LocateStatsFile(file, "R");
    ASSERT_TRUE(location.has_value());
    EXPECT_EQ(location->filePath, c.filePath);
    EXPECT_EQ(location->branchDirectory, c.branch);
    EXPECT_EQ(location->existenceRule, c.existenceRule);
    std::vector<std::string> expected;
    for (const std::string& level : c.chain) expected.push_back(std::string(c.branch) + "\\" + level);
    EXPECT_EQ(location->chain, expected);
  }
}

TEST(StatsPathTest, SystemBranchIsRecognisedInAnyCase) {
  for (const char* postoffice : {"System", "SYSTEM", "system", "sYsTeM"}) {
    const auto location = LocateStatsFile({Tree::kValues, "MX1", 1, postoffice, "F", "S"}, "R");
    ASSERT_TRUE(location.has_value()) << postoffice;
    EXPECT_TRUE(location->branchIsSystem) << postoffice;
  }
  EXPECT_FALSE(LocateStatsFile({Tree::kValues, "MX1", 1, "Systems", "F", "S"}, "R")->branchIsSystem);
}

struct RefusalCase {
  const char* name;
  int32_t scope;
  std::string server;
  std::string postoffice;
  std::string fileName;
};

TEST(StatsPathTest, NamesThatWouldLeaveTheTreeAreRefused) {
  const std::string longName(1010, 'x');
  const std::vector<RefusalCase> cases = {
      {"server ..", 0, "..", "", "F"},
      {"server .", 0, ".", "", "F"},
      {"server with separator", 0, "a\\b", "", "F"},
      {"server with slash", 0, "a/b", "", "F"},
      {"server absolute", 0, "/etc", "", "F"},
      {"server drive", 0, "C:x", "", "F"},
      {"server control", 0, "mx\n1", "", "F"},
      {"server delete char", 0, "mx\x7f", "", "F"},
      {"postoffice ..", 1, "MX1", "..", "F"},
      {"postoffice path up", 1, "MX1", "..\\..\\etc", "F"},
      {"postoffice absolute", 1, "MX1", "\\etc", "F"},
      {"postoffice drive", 1, "MX1", "C:", "F"},
      {"postoffice drive lower", 1, "MX1", "d:acme", "F"},
      {"postoffice control", 1, "MX1", "ac\tme", "F"},
      {"postoffice with separator", 1, "MX1", "acme\\STATSROOT", "F"},
      {"postoffice empty", 1, "MX1", "", "F"},
      {"nested without level", 2, "MX1", "acme", "F"},
      {"nested level ..", 2, "MX1", "acme\\..", "F"},
      {"nested two levels", 2, "MX1", "acme\\a\\b", "F"},
      {"nested empty level", 2, "MX1", "acme\\", "F"},
      {"file ..", 0, "MX1", "", "..\\F"},
      {"file inner ..", 0, "MX1", "", "a\\..\\..\\F"},
      {"file absolute", 0, "MX1", "", "\\F"},
      {"file absolute slash", 0, "MX1", "", "/etc/F"},
      {"file drive", 0, "MX1", "", "C:F"},
      {"file drive in folder", 0, "MX1", "", "a\\C:F"},
      {"file doubled separator", 0, "MX1", "", "a\\\\F"},
      {"file trailing separator", 0, "MX1", "", "a\\"},
      {"file control", 0, "MX1", "", "F\x01"},
      {"file empty", 0, "MX1", "", ""},
      {"path longer than 1023", 0, "MX1", "", longName},
      {"server of 1024 characters", 0, std::string(1024, 's'), "", "F"},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (Tree tree : {Tree::kValues, Tree::kFlags}) {
      EXPECT_FALSE(LocateStatsFile({tree, c.server, c.scope, c.postoffice, c.fileName, "S"}, "R").has_value());
    }
  }
}

TEST(StatsPathTest, NamesThatStayInsideAreAccepted) {
  for (const char* name : {"acme", "a.b", "...", "a..b", "ab:c", "1", "postoffice with blanks", "caf\xe9"}) {
    EXPECT_TRUE(IsSafeComponent(name)) << name;
  }
  EXPECT_TRUE(IsSafeFileName("Reports\\M2026M05"));
  EXPECT_TRUE(IsSafeFileName("A/B\\C"));
  // 1023 characters are the most a path may have.
  const std::string root(1023 - std::string("\\System\\STATSROOT\\Servers\\MX1\\F.INI").size(), 'r');
  EXPECT_TRUE(LocateStatsFile({Tree::kValues, "MX1", 0, "", "F", "S"}, root).has_value());
  EXPECT_FALSE(LocateStatsFile({Tree::kValues, "MX1", 0, "", "FF", "S"}, root).has_value());
}

TEST(StatsPathTest, ScopeNumbers) {
  EXPECT_EQ(ScopeOf(0), Scope::kSystem);
  EXPECT_EQ(ScopeOf(1), Scope::kPostoffice);
  EXPECT_EQ(ScopeOf(2), Scope::kNested);
  EXPECT_EQ(ScopeOf(3), Scope::kSystem);
  EXPECT_EQ(ScopeOf(-2), Scope::kSystem);
}

}  // namespace
}  // namespace tallowmere::stats
