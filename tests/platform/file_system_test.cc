// Path conversion, case-insensitive lookup, directories, attributes, directory
// search, deletion and whole-file I/O of the file-system stand-in.
#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "support/scratch_dir.h"

namespace tallowmere::platform {
namespace {

using testing::ScratchDir;

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    drives_ = dir_ / "drives";
    ASSERT_EQ(::mkdir(drives_.c_str(), 0777), 0);
    ::setenv("TALLOWMERE_DRIVES", drives_.c_str(), 1);
  }
  void TearDown() override { ::unsetenv("TALLOWMERE_DRIVES"); }

  static void MakeDirs(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
      if (i == path.size() || path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0777);
    }
  }

  std::vector<DirectoryEntry> Search(const std::string& pattern) {
    std::vector<DirectoryEntry> entries;
    DirectorySearch search;
    DirectoryEntry entry;
    for (bool more = search.First(pattern, entry); more; more = search.Next(entry)) entries.push_back(entry);
    EXPECT_FALSE(search.IsOpen());
    return entries;
  }

  static std::vector<std::string> Names(const std::vector<DirectoryEntry>& entries) {
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry.name);
    return names;
  }

  ScratchDir dir_;
  std::string drives_;
};

struct PathCase {
  const char* input;
  const char* expected;  // "@" stands for the drives directory
};

TEST_F(FileSystemTest, ConvertsSystemPaths) {
  const PathCase cases[] = {
      {"C:\\Mail\\Root", "@/c/Mail/Root"},
      {"c:/Mail/Root", "@/c/Mail/Root"},
      {"D:\\", "@/d"},
      {"E:", "@/e"},
      {"C:\\a\\\\b\\", "@/c/a/b"},
      {"C:a\\b", "@/c/a/b"},
      {"\\srv\\mail", "/srv/mail"},
      {"/srv//mail/", "/srv/mail"},
      {"\\", "/"},
      {"rel\\dir/file.ini", "rel/dir/file.ini"},
      {"a\\..\\b", "b"},
      {"a\\.\\b\\.", "a/b"},
      {"..\\x", "../x"},
      {"a\\..\\..\\x", "../x"},
      {"a\\..", "."},
      {"C:\\..\\..\\etc", "@/c/etc"},
      {"\\..\\srv", "/srv"},
      {"C:\\Mail\\..\\Other", "@/c/Other"},
      {"", ""},
  };
  for (const PathCase& c : cases) {
    std::string expected = c.expected;
    if (!expected.empty() && expected[0] == '@') expected = drives_ + expected.substr(1);
    EXPECT_EQ(ToNativePath(c.input), expected) << c.input;
  }
}

TEST_F(FileSystemTest, DefaultDrivesDirectory) {
  ::unsetenv("TALLOWMERE_DRIVES");
  EXPECT_EQ(ToNativePath("X:\\a"), "/var/lib/tallowmere/drives/x/a");
  ::setenv("TALLOWMERE_DRIVES", (drives_ + "//").c_str(), 1);
  EXPECT_EQ(ToNativePath("X:\\a"), drives_ + "/x/a");
}

TEST_F(FileSystemTest, FindsExistingNamesWhateverTheirCase) {
  MakeDirs(drives_ + "/c/Tallowmere/Postoffices/System");
  ScratchDir::Write(drives_ + "/c/Tallowmere/Postoffices/System/Day.INI", "");
  const PathCase cases[] = {
      {"C:\\TALLOWMERE\\postoffices\\SYSTEM\\day.ini", "@/c/Tallowmere/Postoffices/System/Day.INI"},
      {"c:\\tallowmere\\POSTOFFICES\\system\\New\\Deeper", "@/c/Tallowmere/Postoffices/System/New/Deeper"},
      {"C:\\Tallowmere\\Missing\\SYSTEM", "@/c/Tallowmere/Missing/SYSTEM"},
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(ToNativePath(c.input), drives_ + (c.expected + 1)) << c.input;
  }
}

TEST_F(FileSystemTest, ExactSpellingComesFirst) {
  MakeDirs(drives_ + "/c/abc");
  MakeDirs(drives_ + "/c/ABC");
  MakeDirs(drives_ + "/c/aBc");
  EXPECT_EQ(ToNativePath("C:\\ABC"), drives_ + "/c/ABC");
  EXPECT_EQ(ToNativePath("C:\\aBc"), drives_ + "/c/aBc");
  EXPECT_EQ(ToNativePath("C:\\Abc"), drives_ + "/c/ABC");  // no exact name: the smallest
}

TEST_F(FileSystemTest, RelativePathsStayRelative) {
  std::string old = std::filesystem::current_path();
  ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
  MakeDirs(dir_ / "Sub");
  EXPECT_EQ(ToNativePath("sub\\x"), "Sub/x");
  EXPECT_TRUE(DirectoryExists("SUB"));
  ASSERT_EQ(::chdir(old.c_str()), 0);
}

TEST_F(FileSystemTest, MakeDirectoryCreatesOneLevel) {
  MakeDirs(drives_ + "/c");
  EXPECT_TRUE(MakeDirectory("C:\\Root"));
  EXPECT_TRUE(DirectoryExists("c:\\root"));
  EXPECT_TRUE(ScratchDir::Exists(drives_ + "/c/Root"));

  SetLastError(0);
  EXPECT_FALSE(MakeDirectory("C:\\ROOT"));  // exists in another case
  EXPECT_EQ(LastError(), EEXIST);
  EXPECT_FALSE(MakeDirectory("C:\\Missing\\Child"));
  EXPECT_EQ(LastError(), ENOENT);
  EXPECT_FALSE(DirectoryExists("C:\\Missing"));
}

TEST_F(FileSystemTest, AttributesAsWindowsReportsThem) {
  std::string base = dir_.path();
  MakeDirs(base + "/dir");
  MakeDirs(base + "/.hiddendir");
  ScratchDir::Write(base + "/file.ini", "x");
  ScratchDir::Write(base + "/readonly.ini", "x");
  ScratchDir::Write(base + "/.hidden", "x");
  ASSERT_EQ(::chmod((base + "/readonly.ini").c_str(), 0444), 0);
  struct Case {
    const char* name;
    uint32_t attributes;
  } cases[] = {
      {"dir", kAttrDirectory},
      {".hiddendir", kAttrDirectory | kAttrHidden},
      {"file.ini", kAttrArchive},
      {"READONLY.INI", kAttrArchive | kAttrReadOnly},
      {".hidden", kAttrArchive | kAttrHidden},
  };
  for (const Case& c : cases) EXPECT_EQ(GetFileAttributes(base + "\\" + c.name), c.attributes) << c.name;
  SetLastError(0);
  EXPECT_EQ(GetFileAttributes(base + "/missing"), kInvalidAttributes);
  EXPECT_EQ(LastError(), ENOENT);
  // The purge's file mask selects every file and no directory.
  for (const Case& c : cases) EXPECT_EQ((c.attributes & 0x1A6) != 0, (c.attributes & kAttrDirectory) == 0 || (c.attributes & kAttrHidden));
}

TEST(MatchesPatternTest, WildcardsIgnoreCase) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"*", "anything", true},       {"*", ".", true},           {"*.*", "noext", true},
      {"*.INI", "m2024-01.ini", true}, {"*.INI", "A.Ini", true},   {"*.INI", "a.inix", false},
      {"*.INI", "a.ini.tmp", false}, {"*.INI", ".INI", true},    {"*.INI", "ini", false},
      {"?.ini", "a.ini", true},      {"?.ini", "ab.ini", false}, {"a*b*c", "aXXbYYc", true},
      {"a*b*c", "aXXbYY", false},    {"day", "DAY", true},       {"*.INI", "..", false},
  };
  for (const auto& c : cases) EXPECT_EQ(MatchesPattern(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
}

TEST_F(FileSystemTest, SearchListsMatchesWithAttributes) {
  std::string base = dir_ / "Servers";
  MakeDirs(base + "/MX1");
  MakeDirs(base + "/sub.ini");
  ScratchDir::Write(base + "/b.INI", "");
  ScratchDir::Write(base + "/A.ini", "");
  ScratchDir::Write(base + "/c.inix", "");
  ScratchDir::Write(base + "/.tmp.ini.x", "");
  ASSERT_EQ(::chmod((base + "/b.INI").c_str(), 0400), 0);

  auto all = Search(dir_.path() + "\\SERVERS\\*");
  EXPECT_EQ(Names(all), (std::vector<std::string>{".", "..", ".tmp.ini.x", "A.ini", "b.INI", "c.inix", "MX1", "sub.ini"}));
  ASSERT_EQ(all.size(), 8u);
  EXPECT_EQ(all[0].attributes, kAttrDirectory);
  EXPECT_EQ(all[2].attributes, kAttrArchive | kAttrHidden);
  EXPECT_EQ(all[4].attributes, kAttrArchive | kAttrReadOnly);
  EXPECT_EQ(all[6].attributes, kAttrDirectory);

  EXPECT_EQ(Names(Search(base + "/*.INI")), (std::vector<std::string>{"A.ini", "b.INI", "sub.ini"}));
  EXPECT_EQ(Names(Search(base + "\\mx1")), std::vector<std::string>{"MX1"});  // plain name, spelling on disk
}

TEST_F(FileSystemTest, SearchFailures) {
  DirectorySearch search;
  DirectoryEntry entry;
  SetLastError(0);
  EXPECT_FALSE(search.First(dir_ / "missing/*", entry));
  EXPECT_EQ(LastError(), ENOENT);
  EXPECT_FALSE(search.First(dir_ / "*.INI", entry));  // empty directory: nothing matches
  EXPECT_EQ(LastError(), ENOENT);
  EXPECT_FALSE(search.First(dir_ / "missing", entry));
  EXPECT_FALSE(search.IsOpen());
  EXPECT_FALSE(search.Next(entry));
}

TEST_F(FileSystemTest, SearchSkipsEntriesRemovedMeanwhile) {
  ScratchDir::Write(dir_ / "a.ini", "");
  ScratchDir::Write(dir_ / "b.ini", "");
  DirectorySearch search;
  DirectoryEntry entry;
  ASSERT_TRUE(search.First(dir_ / "*.ini", entry));
  EXPECT_EQ(entry.name, "a.ini");
  ASSERT_EQ(::unlink((dir_ / "b.ini").c_str()), 0);
  EXPECT_FALSE(search.Next(entry));
}

TEST_F(FileSystemTest, DeleteFileRefusesReadOnlyFilesAndDirectories) {
  ScratchDir::Write(dir_ / "plain.ini", "x");
  ScratchDir::Write(dir_ / "locked.ini", "x");
  ASSERT_EQ(::chmod((dir_ / "locked.ini").c_str(), 0444), 0);
  MakeDirs(dir_ / "dir");

  EXPECT_TRUE(DeleteFile(dir_ / "PLAIN.INI"));
  EXPECT_FALSE(ScratchDir::Exists(dir_ / "plain.ini"));
  struct Case {
    const char* name;
    int error;
  } failures[] = {{"locked.ini", EACCES}, {"dir", EISDIR}, {"missing.ini", ENOENT}};
  for (const auto& c : failures) {
    SetLastError(0);
    EXPECT_FALSE(DeleteFile(dir_ / c.name)) << c.name;
    EXPECT_EQ(LastError(), c.error) << c.name;
  }
  EXPECT_TRUE(ScratchDir::Exists(dir_ / "locked.ini"));
}

TEST_F(FileSystemTest, LinksAreReportedAndRemovedAsThemselves) {
  MakeDirs(dir_ / "outside/inner");
  ScratchDir::Write(dir_ / "outside/target.ini", "x");
  MakeDirs(dir_ / "tree");
  ASSERT_EQ(::symlink((dir_ / "outside").c_str(), (dir_ / "tree/dirlink").c_str()), 0);
  ASSERT_EQ(::symlink((dir_ / "outside/target.ini").c_str(), (dir_ / "tree/filelink.ini").c_str()), 0);
  ASSERT_EQ(::symlink((dir_ / "nowhere").c_str(), (dir_ / "tree/dangling").c_str()), 0);

  auto entries = Search(dir_ / "tree/*");
  ASSERT_EQ(Names(entries), (std::vector<std::string>{".", "..", "dangling", "dirlink", "filelink.ini"}));
  EXPECT_EQ(entries[2].attributes, kAttrReparsePoint | kAttrArchive);
  EXPECT_EQ(entries[3].attributes, kAttrReparsePoint | kAttrDirectory);
  EXPECT_EQ(entries[4].attributes, kAttrReparsePoint | kAttrArchive);
  EXPECT_EQ(GetFileAttributes(dir_ / "tree/DIRLINK"), kAttrReparsePoint | kAttrDirectory);

  ASSERT_EQ(::chmod((dir_ / "outside/target.ini").c_str(), 0444), 0);
  EXPECT_TRUE(DeleteFile(dir_ / "tree/filelink.ini"));  // the link, not the read-only target
  EXPECT_TRUE(DeleteFile(dir_ / "tree/dangling"));
  EXPECT_TRUE(DeleteFile(dir_ / "tree/dirlink"));  // whatever it points to
  ASSERT_EQ(::symlink((dir_ / "outside").c_str(), (dir_ / "tree/dirlink2").c_str()), 0);
  EXPECT_TRUE(RemoveDirectory(dir_ / "tree/dirlink2"));
  EXPECT_EQ(ScratchDir::List(dir_ / "tree"), std::vector<std::string>{});
  EXPECT_EQ(ScratchDir::List(dir_ / "outside"), (std::vector<std::string>{"inner", "target.ini"}));
}

TEST_F(FileSystemTest, RemoveDirectoryOnlyWhenEmpty) {
  MakeDirs(dir_ / "full/child");
  SetLastError(0);
  EXPECT_FALSE(RemoveDirectory(dir_ / "FULL"));
  EXPECT_EQ(LastError(), ENOTEMPTY);
  EXPECT_TRUE(RemoveDirectory(dir_ / "Full\\Child"));
  EXPECT_TRUE(RemoveDirectory(dir_ / "full"));
  EXPECT_FALSE(RemoveDirectory(dir_ / "full"));
  EXPECT_EQ(LastError(), ENOENT);
}

TEST_F(FileSystemTest, InputFileReadsWholeFile) {
  ScratchDir::Write(dir_ / "Log.txt", "line 1\nline 2\n");
  InputFile in;
  ASSERT_TRUE(in.Open(dir_ / "LOG.TXT"));
  std::string text;
  char buffer[4];
  for (long n; (n = in.Read(buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  EXPECT_EQ(text, "line 1\nline 2\n");
  in.Close();
  EXPECT_EQ(in.Read(buffer, sizeof buffer), -1);
  SetLastError(0);
  EXPECT_FALSE(in.Open(dir_ / "missing.txt"));
  EXPECT_EQ(LastError(), ENOENT);
  EXPECT_FALSE(in.Open(dir_.path()));
  EXPECT_EQ(LastError(), EISDIR);
}

TEST_F(FileSystemTest, ReplaceFileContentsIsWholeOrNothing) {
  std::string file = dir_ / "Report.txt";
  ASSERT_TRUE(ReplaceFileContents(file, "first"));
  EXPECT_EQ(ScratchDir::Read(file), "first");
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  ASSERT_TRUE(ReplaceFileContents(dir_ / "REPORT.TXT", "second"));
  EXPECT_EQ(ScratchDir::Read(file), "second");
  struct stat st;
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(ScratchDir::List(dir_.path()), (std::vector<std::string>{"Report.txt", "drives"}));

  ASSERT_EQ(::chmod(file.c_str(), 0440), 0);
  SetLastError(0);
  EXPECT_FALSE(ReplaceFileContents(file, "third"));
  EXPECT_EQ(LastError(), EACCES);
  EXPECT_EQ(ScratchDir::Read(file), "second");
  EXPECT_FALSE(ReplaceFileContents(dir_ / "missing/x.txt", "x"));
  EXPECT_EQ(LastError(), ENOENT);
}

}  // namespace
}  // namespace tallowmere::platform
