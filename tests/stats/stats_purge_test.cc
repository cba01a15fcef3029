// The purges and the file-management layer beneath them: which files go,
// which stay, and the event-log reports of failed deletions.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "statslog/stats/delete_file_or_tree.h"
#include "statslog/stats/file_iterator.h"
#include "stats/stats_fixture.h"
#include "tallowmere/statslog.h"

namespace tallowmere::stats::testing {
namespace {

class StatsPurgeTest : public StatsFixture {
 protected:
  void Touch(const std::string& relative) { WriteText(relative, "[S]\r\nk=1\r\n"); }
  void MakeReadOnly(const std::string& relative) { ASSERT_EQ(chmod(Native(relative).c_str(), 0444), 0); }
  // The system path of a file below the mail root, as the library composes it.
  std::string SystemPath(const std::string& relative) {
    std::string path = mailRoot_ + "\\" + relative;
    for (size_t i = mailRoot_.size(); i < path.size(); ++i) {
      if (path[i] == '/') path[i] = '\\';
    }
    return path;
  }
};

TEST_F(StatsPurgeTest, BeforeDateRemovesValuesFilesUpToTheDay) {
  struct Case {
    const char* file;
    bool stays;
  } cases[] = {
      {"System/STATSROOT/Servers/MX1/M2026M05D15.INI", false},
      {"System/STATSROOT/Servers/MX1/M2026M05D14.INI", false},
      {"System/STATSROOT/Servers/MX1/M2026M05D16.INI", true},
      {"System/STATSROOT/Servers/MX1/M2026M04D30.INI", false},
      {"System/STATSROOT/Servers/MX1/M2025M12D31.INI", false},
      {"System/STATSROOT/Servers/MX1/M2027M01D01.INI", true},
      {"System/STATSROOT/Servers/MX1/M2026M04.INI", false},       // April is over
      {"System/STATSROOT/Servers/MX1/M2026M05.INI", true},        // May is not
      {"System/STATSROOT/Servers/MX1/Totals.INI", false},         // no year digits: year 0
      {"System/STATSROOT/Servers/MX1/notes.txt", true},           // not *.INI
      {"System/STATSROOT/Servers/MX1/Reports/M2020M01D01.INI", true},   // folders stay
      {"System/STATSROOT/Servers/MX2/m2026m05d01.ini", false},    // any letter case
      {"System/STATSROOT/Flags/Servers/MX1/M2020M01D01.INI", true},     // flags stay
      {"acme/STATSROOT/Servers/MX1/M2026M01D01.INI", false},
      {"acme/STATSROOT/Servers/MX1/M2026M06D01.INI", true},
      {"acme/STATSROOT/Servers/MX1/team/M2020M01D01.INI", true},  // nested level
      {"acme/M2020M01D01.INI", true},                              // outside STATSROOT
      {"nostats/mail/M2020M01D01.INI", true},
  };
  for (const Case& c : cases) Touch(c.file);
  // A directory named like a due values file goes with its contents.
  Touch("System/STATSROOT/Servers/MX1/M2026M01D01.INI/inner/x.INI");

  EXPECT_EQ(PurgeStatsCacheBeforeDate("X2026X05D15"), 1);
  for (const Case& c : cases) EXPECT_EQ(Exists(c.file), c.stays) << c.file;
  EXPECT_FALSE(Exists("System/STATSROOT/Servers/MX1/M2026M01D01.INI"));
  EXPECT_TRUE(Events().empty());
}

TEST_F(StatsPurgeTest, ReadOnlyFileIsReportedAndThePurgeGoesOn) {
  Touch("System/STATSROOT/Servers/MX1/M2026M05D01.INI");
  Touch("System/STATSROOT/Servers/MX1/M2026M05D02.INI");
  MakeReadOnly("System/STATSROOT/Servers/MX1/M2026M05D01.INI");

  EXPECT_EQ(PurgeStatsCacheBeforeDate("X2026X05D31"), 1);
  EXPECT_TRUE(Exists("System/STATSROOT/Servers/MX1/M2026M05D01.INI"));
  EXPECT_FALSE(Exists("System/STATSROOT/Servers/MX1/M2026M05D02.INI"));

  const auto events = Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]["source"], "Tallowmere");
  EXPECT_EQ(events[0]["type"], 4);
  EXPECT_EQ(events[0]["id"], 0x40000001u);
  EXPECT_EQ(events[0]["strings"][0], "Tallowmere Provider Library error: 13");
  EXPECT_EQ(events[0]["strings"][1], "Call to DeleteFile failed for " +
                                         SystemPath("System/STATSROOT/Servers/MX1/M2026M05D01.INI") +
                                         " (GetLastError() returned 13)");
}

TEST_F(StatsPurgeTest, EntireRemovesEveryStatsRootAndKeepsTheBranches) {
  Touch("System/STATSROOT/Servers/MX1/M2026M05D01.INI");
  Touch("System/STATSROOT/Flags/Servers/MX1/Reports/M2026M05.INI");
  Touch("acme/STATSROOT/Servers/MX1/team/M2026M05D01.INI");
  Touch("acme/mailbox/message.txt");
  MakeDirectories("empty");

  EXPECT_EQ(PurgeEntireStatsCache(), 1);
  EXPECT_EQ(Tree(), (std::vector<std::string>{"System", "acme", "acme/mailbox", "acme/mailbox/message.txt", "empty"}));
  EXPECT_TRUE(Events().empty());
  // Nothing left: a second purge is an empty walk.
  EXPECT_EQ(PurgeEntireStatsCache(), 1);
}

TEST_F(StatsPurgeTest, EntireReportsOnlyTheFileThatCouldNotGo) {
  Touch("acme/STATSROOT/Servers/MX1/M2026M05D01.INI");
  Touch("acme/STATSROOT/Servers/MX1/M2026M05D02.INI");
  MakeReadOnly("acme/STATSROOT/Servers/MX1/M2026M05D01.INI");

  EXPECT_EQ(PurgeEntireStatsCache(), 1);
  EXPECT_EQ(Tree(), (std::vector<std::string>{"acme", "acme/STATSROOT", "acme/STATSROOT/Servers",
                                              "acme/STATSROOT/Servers/MX1",
                                              "acme/STATSROOT/Servers/MX1/M2026M05D01.INI"}));
  const auto events = Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]["strings"][1], "Call to DeleteFile failed for " +
                                         SystemPath("acme/STATSROOT/Servers/MX1/M2026M05D01.INI") +
                                         " (GetLastError() returned 13)");
}

TEST_F(StatsPurgeTest, MissingTreesAreEmptyWalks) {
  EXPECT_EQ(PurgeEntireStatsCache(), 1);
  EXPECT_EQ(PurgeStatsCacheBeforeDate("X2026X05D15"), 1);
  fs::remove_all(mailRoot_);
  EXPECT_EQ(PurgeEntireStatsCache(), 1);
  EXPECT_EQ(PurgeStatsCacheBeforeDate("X2026X05D15"), 1);
  EXPECT_TRUE(Events().empty());
}

TEST_F(StatsPurgeTest, BadDatesDeleteNothing) {
  Touch("System/STATSROOT/Servers/MX1/Totals.INI");
  Touch("System/STATSROOT/Servers/MX1/M2026M05D01.INI");
  for (const char* date : {static_cast<const char*>(nullptr), "", "garbage", "X2026X13D01", "X2026"}) {
    EXPECT_EQ(PurgeStatsCacheBeforeDate(date), 0) << (date ? date : "(null)");
  }
  EXPECT_TRUE(Exists("System/STATSROOT/Servers/MX1/Totals.INI"));
  EXPECT_TRUE(Exists("System/STATSROOT/Servers/MX1/M2026M05D01.INI"));
}

TEST_F(StatsPurgeTest, SymbolicLinksAreRemovedNotFollowed) {
  // Files outside the mail root that links inside the tree point to.
  fs::create_directories(base_ + "/outside/dir");
  std::ofstream(base_ + "/outside/dir/keep.INI") << "[S]\r\n";
  std::ofstream(base_ + "/outside/keep.INI") << "[S]\r\n";
  MakeDirectories("System/STATSROOT/Servers/MX1");
  fs::create_directory_symlink(base_ + "/outside/dir", Native("System/STATSROOT/Servers/MX1/M2020M01D01.INI"));
  fs::create_symlink(base_ + "/outside/keep.INI", Native("System/STATSROOT/Servers/MX1/M2020M01D02.INI"));
  fs::create_directory_symlink(base_ + "/outside", Native("System/STATSROOT/Servers/MX1/link"));

  EXPECT_EQ(PurgeStatsCacheBeforeDate("X2026X05D15"), 1);
  EXPECT_FALSE(Exists("System/STATSROOT/Servers/MX1/M2020M01D01.INI"));
  EXPECT_FALSE(Exists("System/STATSROOT/Servers/MX1/M2020M01D02.INI"));
  EXPECT_EQ(PurgeEntireStatsCache(), 1);
  EXPECT_FALSE(Exists("System/STATSROOT"));
  EXPECT_TRUE(fs::exists(base_ + "/outside/dir/keep.INI"));
  EXPECT_TRUE(fs::exists(base_ + "/outside/keep.INI"));
}

TEST_F(StatsPurgeTest, DeleteFileOrTreeResults) {
  EXPECT_EQ(DeleteFileOrTree(SystemPath("missing"), true, true), kDeleteNothing);
  EXPECT_TRUE(Events().empty());

  Touch("a/f.INI");
  EXPECT_EQ(DeleteFileOrTree(SystemPath("a/f.INI"), true, false), kDeleteDone);  // a file stays without remove-self
  EXPECT_TRUE(Exists("a/f.INI"));
  EXPECT_EQ(DeleteFileOrTree(SystemPath("a/f.INI"), true, true), kDeleteDone);
  EXPECT_FALSE(Exists("a/f.INI"));

  // Without entering subdirectories only the files go; without remove-self
  // the directory itself stays.
  Touch("b/f.INI");
  Touch("b/.hidden");
  Touch("b/sub/g.INI");
  EXPECT_EQ(DeleteFileOrTree(SystemPath("b"), false, false), kDeleteDone);
  EXPECT_EQ(Tree(), (std::vector<std::string>{"a", "b", "b/sub", "b/sub/g.INI"}));
  EXPECT_EQ(DeleteFileOrTree(SystemPath("b"), true, true), kDeleteDone);
  EXPECT_FALSE(Exists("b"));

  // A read-only file inside: partial, one report, the directory stays.
  Touch("c/f.INI");
  Touch("c/g.INI");
  MakeReadOnly("c/f.INI");
  EXPECT_EQ(DeleteFileOrTree(SystemPath("c"), true, true), kDeletePartial);
  EXPECT_EQ(Tree(), (std::vector<std::string>{"a", "c", "c/f.INI"}));
  EXPECT_EQ(Events().size(), 1u);
  EXPECT_EQ(DeleteFileOrTree(SystemPath("c/f.INI"), true, true), kDeleteNothing);
  EXPECT_EQ(Events().size(), 2u);
}

TEST_F(StatsPurgeTest, FileIteratorFiltersByAttributes) {
  Touch("d/one.INI");
  Touch("d/two.ini");
  Touch("d/three.txt");
  MakeDirectories("d/sub.INI");
  auto walk = [](FileIterator& it) {
    std::vector<std::string> names;
    for (std::string name = it.First(); it.IsValid(); name = it.Next()) names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
  };
  FileIterator all(SystemPath("d") + "\\*.INI");
  EXPECT_EQ(walk(all), (std::vector<std::string>{"one.INI", "sub.INI", "two.ini"}));
  FileIterator directories(SystemPath("d") + "\\*", platform::kAttrDirectory);
  EXPECT_EQ(walk(directories), (std::vector<std::string>{".", "..", "sub.INI"}));
  all.SetAttributeMask(platform::kAttrArchive | platform::kAttrNormal);
  EXPECT_EQ(walk(all), (std::vector<std::string>{"one.INI", "two.ini"}));
  FileIterator none(SystemPath("missing") + "\\*");
  EXPECT_EQ(walk(none), std::vector<std::string>{});
  EXPECT_FALSE(none.IsValid());
}

}  // namespace
}  // namespace tallowmere::stats::testing
