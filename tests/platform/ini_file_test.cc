// INI reading and writing with the Windows rules, bad files, the cache, and
// concurrent writers in several processes.
#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/last_error.h"
#include "support/scratch_dir.h"

namespace tallowmere::platform {
namespace {

using namespace std::string_literals;
using testing::ScratchDir;

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override { IniClearCache(); }

  std::string Get(const std::string& text, const char* section, const char* key, const char* def = "",
                  size_t size = 256, size_t* result = nullptr) {
    ScratchDir::Write(file_, text);
    std::vector<char> buffer(size + 1, '#');
    size_t n = IniGetString(file_, section, key, def, buffer.data(), size);
    if (result) *result = n;
    EXPECT_EQ(buffer[size], '#') << "wrote past the buffer";
    return std::string(buffer.data(), n);
  }

  ScratchDir dir_;
  std::string file_ = dir_ / "F.INI";
};

// ---------------------------------------------------------------------------
// Reading one value.

struct ReadCase {
  const char* name;
  std::string text;
  const char* section;
  const char* key;
  const char* def;
  std::string expected;
};

class IniReadTest : public IniFileTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(IniReadTest, ReturnsWhatWindowsReturns) {
  const ReadCase& c = GetParam();
  size_t result = 0;
  EXPECT_EQ(Get(c.text, c.section, c.key, c.def, 256, &result), c.expected);
  EXPECT_EQ(result, c.expected.size());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniReadTest,
    ::testing::Values(
        ReadCase{"MissingKeyGivesDefault", "[s]\r\na=1\r\n", "s", "b", "dflt", "dflt"},
        ReadCase{"MissingSectionGivesDefault", "[s]\r\na=1\r\n", "t", "a", "dflt", "dflt"},
        ReadCase{"DefaultLosesTrailingBlanks", "", "s", "a", "d  \t", "d"},
        ReadCase{"NullDefaultIsEmpty", "", "s", "a", nullptr, ""},
        ReadCase{"EmptyValueIsNotDefault", "[s]\r\na=\r\n", "s", "a", "dflt", ""},
        ReadCase{"BlankValueIsEmpty", "[s]\r\na=  \t \r\n", "s", "a", "dflt", ""},
        ReadCase{"NamesIgnoreAsciiCase", "[Stats]\r\nCount=7\r\n", "sTATS", "cOUNT", "", "7"},
        ReadCase{"HighBytesCompareExactly", "[\xC4]\r\na=1\r\n", "\xE4", "a", "d", "d"},
        ReadCase{"HighBytesMatchThemselves", "[\xC4]\r\n\xE9=1\r\n", "\xC4", "\xE9", "d", "1"},
        ReadCase{"BlanksAroundEverythingIgnored", "  [ s ] \r\n \t key  =  va lue \t\r\n", " s ", " key\t", "", "va lue"},
        ReadCase{"DoubleQuotesRemoved", "[s]\r\na=\"x y\"\r\n", "s", "a", "", "x y"},
        ReadCase{"SingleQuotesRemoved", "[s]\r\na='x y'\r\n", "s", "a", "", "x y"},
        ReadCase{"OnlyOnePairRemoved", "[s]\r\na=\"\"x\"\"\r\n", "s", "a", "", "\"x\""},
        ReadCase{"UnmatchedQuotesStay", "[s]\r\na=\"x'\r\n", "s", "a", "", "\"x'"},
        ReadCase{"InnerQuoteStays", "[s]\r\na=x\"y\r\n", "s", "a", "", "x\"y"},
        ReadCase{"LoneQuoteStays", "[s]\r\na=\"\r\n", "s", "a", "", "\""},
        ReadCase{"QuotedEmpty", "[s]\r\na=\"\"\r\n", "s", "a", "d", ""},
        ReadCase{"QuotesInsideBlanks", "[s]\r\na=  \" x \"  \r\n", "s", "a", "", " x "},
        ReadCase{"QuotesAroundNamesStay", "[s]\r\n\"a\"=1\r\n", "s", "\"a\"", "", "1"},
        ReadCase{"QuotedNameIsNotTheBareName", "[s]\r\n\"a\"=1\r\n", "s", "a", "d", "d"},
        ReadCase{"SemicolonLineIsComment", "[s]\r\n;a=1\r\n", "s", ";a", "d", "d"},
        ReadCase{"IndentedSemicolonIsComment", "[s]\r\n  ;a=1\r\n", "s", ";a", "d", "d"},
        ReadCase{"HashIsNotComment", "[s]\r\n#a=1\r\n", "s", "#a", "d", "1"},
        ReadCase{"SemicolonInValueKept", "[s]\r\na=1 ; note\r\n", "s", "a", "", "1 ; note"},
        ReadCase{"LineWithoutEqualsIsNoKey", "[s]\r\na\r\na=2\r\n", "s", "a", "d", "2"},
        ReadCase{"FirstDuplicateKeyWins", "[s]\r\na=1\r\nA=2\r\n", "s", "a", "", "1"},
        ReadCase{"OnlyFirstDuplicateSectionSearched", "[s]\r\na=1\r\n[S]\r\nb=2\r\n", "s", "b", "d", "d"},
        ReadCase{"HeaderUpToLastBracket", "[a]y]\r\nk=1\r\n", "a]y", "k", "", "1"},
        ReadCase{"HeaderJunkAfterBracket", "[s] junk\r\nk=1\r\n", "s", "k", "", "1"},
        ReadCase{"OpenBracketIsNoHeader", "[s]\r\n[open\r\nk=1\r\n", "s", "k", "", "1"},
        ReadCase{"EmptySectionName", "[]\r\nk=1\r\n", "", "k", "", "1"},
        ReadCase{"KeysBeforeFirstHeaderInNoSection", "k=1\r\n[s]\r\n", "", "k", "d", "d"},
        ReadCase{"LfOnly", "[s]\na=1\nb=2\n", "s", "b", "", "2"},
        ReadCase{"CrOnly", "[s]\ra=1\rb=2\r", "s", "b", "", "2"},
        ReadCase{"MixedLineEnds", "[s]\r\na=1\rb=2\nc=3", "s", "c", "", "3"},
        ReadCase{"NoLineEndAtAll", "[s]", "s", "a", "d", "d"},
        ReadCase{"ByteOrderMarkHidesFirstSection", "\xEF\xBB\xBF[s]\r\na=1\r\n", "s", "a", "d", "d"},
        ReadCase{"ByteOrderMarkLaterSectionsFine", "\xEF\xBB\xBF[s]\r\na=1\r\n[t]\r\nb=2\r\n", "t", "b", "d", "2"},
        ReadCase{"NulEndsValue", "[s]\r\na=ab\0cd\r\n"s, "s", "a", "", "ab"},
        ReadCase{"NulEndsName", "[s]\r\nab\0cd=1\r\n"s, "s", "ab", "", "1"},
        ReadCase{"EmptyKeyGivesDefault", "[s]\r\n=1\r\n", "s", "", "d", "d"},
        ReadCase{"EqualsInValueKept", "[s]\r\na=b=c\r\n", "s", "a", "", "b=c"},
        ReadCase{"MissingFile", "", "s", "a", "d", "d"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniFileTest, ValueIsCutToBufferSize) {
  size_t result = 0;
  EXPECT_EQ(Get("[s]\r\na=abcdef\r\n", "s", "a", "", 4, &result), "abc");
  EXPECT_EQ(result, 3u);
  EXPECT_EQ(Get("[s]\r\na=abcdef\r\n", "s", "a", "", 1, &result), "");
  EXPECT_EQ(result, 0u);
  char untouched = 'x';
  EXPECT_EQ(IniGetString(file_, "s", "a", "", &untouched, 0), 0u);
  EXPECT_EQ(untouched, 'x');
}

TEST_F(IniFileTest, MissingFileSetsLastError) {
  char buffer[8];
  SetLastError(0);
  EXPECT_EQ(IniGetString(dir_ / "none.ini", "s", "a", "", buffer, sizeof buffer), 0u);
  EXPECT_EQ(LastError(), ENOENT);
}

// ---------------------------------------------------------------------------
// Reading the key list (null key).

struct ListCase {
  const char* name;
  std::string text;
  const char* section;
  size_t size;
  std::string expected;  // bytes of the buffer up to the result + the final NUL(s)
  size_t result;
};

class IniKeyListTest : public IniFileTest, public ::testing::WithParamInterface<ListCase> {};

TEST_P(IniKeyListTest, ListsAndCutsAsWindows) {
  const ListCase& c = GetParam();
  ScratchDir::Write(file_, c.text);
  std::vector<char> buffer(c.size + 1, '#');
  size_t n = IniGetString(file_, c.section, nullptr, "", buffer.data(), c.size);
  EXPECT_EQ(n, c.result);
  EXPECT_EQ(std::string(buffer.data(), c.expected.size()), c.expected);
  EXPECT_EQ(buffer[c.size], '#');
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniKeyListTest,
    ::testing::Values(
        ListCase{"TwoKeys", "[s]\r\na=1\r\nb=2\r\n", "s", 64, "a\0b\0\0"s, 4},
        ListCase{"CommentsAndOtherLinesSkipped", "[s]\r\n;c=1\r\na=1\r\nplain\r\n\r\n=x\r\nb=\r\n", "s", 64, "a\0b\0\0"s, 4},
        ListCase{"DuplicatesListed", "[s]\r\na=1\r\nA=2\r\n", "s", 64, "a\0A\0\0"s, 4},
        ListCase{"SpellingAsInFile", "[S]\r\n  Count = 1\r\n", "s", 64, "Count\0\0"s, 6},
        ListCase{"MissingSectionGivesDefault", "[s]\r\na=1\r\n", "t", 64, "\0"s, 0},
        ListCase{"EmptySectionGivesDefault", "[s]\r\n[t]\r\na=1\r\n", "s", 64, "\0"s, 0},
        ListCase{"ExactFit", "[s]\r\nab=1\r\nc=2\r\n", "s", 6, "ab\0c\0\0"s, 5},
        ListCase{"CutInsideName", "[s]\r\nabc=1\r\nde=2\r\n", "s", 4, "ab\0\0"s, 2},
        ListCase{"CutAfterWholeName", "[s]\r\na=1\r\nbc=2\r\n", "s", 4, "a\0\0\0"s, 2},
        ListCase{"SizeTwo", "[s]\r\na=1\r\n", "s", 2, "\0\0"s, 0},
        ListCase{"SizeOne", "[s]\r\na=1\r\n", "s", 1, "\0"s, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniFileTest, NullSectionListsSectionNames) {
  ScratchDir::Write(file_, "[a]\r\nk=1\r\n[b]\r\n");
  char buffer[16];
  size_t n = IniGetString(file_, nullptr, nullptr, "", buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer, n + 1), "a\0b\0\0"s.substr(0, n + 1));
  EXPECT_EQ(n, 4u);
}

// ---------------------------------------------------------------------------
// Writing: the bytes of the file afterwards.

struct WriteCase {
  const char* name;
  const char* before;  // nullptr: no file
  const char* section;
  const char* key;
  const char* value;
  const char* after;   // nullptr: no file afterwards
};

class IniWriteTest : public IniFileTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(IniWriteTest, ChangesOnlyItsOwnLine) {
  const WriteCase& c = GetParam();
  if (c.before) ScratchDir::Write(file_, c.before);
  ASSERT_TRUE(IniWriteString(file_, c.section, c.key, c.value)) << LastError();
  if (c.after) {
    EXPECT_EQ(ScratchDir::Read(file_), c.after);
  } else {
    EXPECT_FALSE(ScratchDir::Exists(file_));
  }
  EXPECT_EQ(ScratchDir::List(dir_.path()).size(), c.after ? 1u : 0u) << "stray file left";
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniWriteTest,
    ::testing::Values(
        WriteCase{"NewFile", nullptr, "s", "k", "v", "[s]\r\nk=v\r\n"},
        WriteCase{"NewKeyAfterLastKeyLine", "[s]\r\na=1\r\n;note\r\n\r\n[t]\r\nx=1\r\n", "s", "b", "2",
                  "[s]\r\na=1\r\nb=2\r\n;note\r\n\r\n[t]\r\nx=1\r\n"},
        WriteCase{"NewKeyInSectionWithoutKeys", "[s]\r\n;only a comment\r\n[t]\r\n", "s", "b", "2",
                  "[s]\r\nb=2\r\n;only a comment\r\n[t]\r\n"},
        WriteCase{"NewSectionAtEnd", "[s]\r\na=1\r\n", "t", "b", "2", "[s]\r\na=1\r\n[t]\r\nb=2\r\n"},
        WriteCase{"NewSectionAfterUnterminatedLine", "[s]\r\na=1", "t", "b", "2", "[s]\r\na=1\r\n[t]\r\nb=2\r\n"},
        WriteCase{"NewKeyAfterUnterminatedLine", "[s]\r\na=1", "s", "b", "2", "[s]\r\na=1\r\nb=2\r\n"},
        WriteCase{"ReplaceKeepsSpellingAndRest", "; top\r\n[Stats]\r\n  Count = 5 \r\nother line\r\n", "STATS", "COUNT",
                  "6", "; top\r\n[Stats]\r\nCount=6\r\nother line\r\n"},
        WriteCase{"ReplaceUnterminatedLastLine", "[s]\r\na=1", "s", "a", "2", "[s]\r\na=2"},
        WriteCase{"LfFileGetsLfLines", "[s]\na=1\n", "s", "b", "2", "[s]\na=1\nb=2\n"},
        WriteCase{"ReplaceKeepsLineEndOfLine", "[s]\na=1\r\nb=1\n", "s", "a", "2", "[s]\na=2\r\nb=1\n"},
        WriteCase{"RemoveKey", "[s]\r\na=1\r\nb=2\r\n", "s", "a", nullptr, "[s]\r\nb=2\r\n"},
        WriteCase{"RemoveLastKeyKeepsHeader", "[s]\r\na=1\r\n[t]\r\n", "s", "a", nullptr, "[s]\r\n[t]\r\n"},
        WriteCase{"RemoveMissingKeySucceeds", "[s]\r\na=1\r\n", "s", "b", nullptr, "[s]\r\na=1\r\n"},
        WriteCase{"RemoveFromMissingFileCreatesNothing", nullptr, "s", "b", nullptr, nullptr},
        WriteCase{"ReplaceFirstDuplicate", "[s]\r\na=1\r\na=2\r\n", "s", "A", "3", "[s]\r\na=3\r\na=2\r\n"},
        WriteCase{"RemoveFirstDuplicate", "[s]\r\na=1\r\na=2\r\n", "s", "a", nullptr, "[s]\r\na=2\r\n"},
        WriteCase{"FirstDuplicateSection", "[s]\r\na=1\r\n[s]\r\nb=1\r\n", "s", "b", "2",
                  "[s]\r\na=1\r\nb=2\r\n[s]\r\nb=1\r\n"},
        WriteCase{"LineWithoutEqualsIsNotReplaced", "[s]\r\na=1\r\nk\r\n", "s", "k", "1", "[s]\r\na=1\r\nk=1\r\nk\r\n"},
        WriteCase{"SectionNameTrimmed", nullptr, " s\t", "k", "v", "[s]\r\nk=v\r\n"},
        WriteCase{"ValueWithBlanksProtected", nullptr, "s", "k", " a ", "[s]\r\nk=\" a \"\r\n"},
        WriteCase{"QuotedValueProtected", nullptr, "s", "k", "'a'", "[s]\r\nk=\"'a'\"\r\n"},
        WriteCase{"EmptyValue", nullptr, "s", "k", "", "[s]\r\nk=\r\n"},
        WriteCase{"SameValueLeavesFileAlone", "[s]\r\nk=v\r\n", "s", "k", "v", "[s]\r\nk=v\r\n"},
        WriteCase{"NullKeyRemovesSection", "[s]\r\na=1\r\n[t]\r\nb=2\r\n", "s", nullptr, nullptr, "[t]\r\nb=2\r\n"},
        WriteCase{"ByteOrderMarkFileGetsNewSection", "\xEF\xBB\xBF[s]\r\na=1\r\n", "s", "b", "2",
                  "\xEF\xBB\xBF[s]\r\na=1\r\n[s]\r\nb=2\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every value a write accepts reads back exactly, under this reader's rules.
TEST_F(IniFileTest, AcceptedValuesReadBackAsWritten) {
  const std::vector<std::string> values = {"", " ", "a", " a", "a ", "\"x\"", "'x'", "\"", "'", "\"x'", "a=b", ";c",
                                           "#", "[x]", "\t\"q\"\t", "\xE4\xF6\xFC", "x\"\"", "\"\"", "''"};
  for (size_t i = 0; i < values.size(); ++i) {
    std::string key = "k" + std::to_string(i);
    ASSERT_TRUE(IniWriteString(file_, "s", key.c_str(), values[i].c_str())) << values[i];
  }
  for (size_t i = 0; i < values.size(); ++i) {
    std::string key = "k" + std::to_string(i);
    char buffer[64];
    size_t n = IniGetString(file_, "s", key.c_str(), "default", buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, n), values[i]) << "key " << key;
  }
}

struct RefusedCase {
  const char* name;
  const char* section;
  const char* key;
  const char* value;
};

class IniRefusedWriteTest : public IniFileTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(IniRefusedWriteTest, LeavesFileUntouched) {
  const RefusedCase& c = GetParam();
  const std::string before = "[s]\r\na=1\r\n";
  ScratchDir::Write(file_, before);
  SetLastError(0);
  EXPECT_FALSE(IniWriteString(file_, c.section, c.key, c.value));
  EXPECT_EQ(LastError(), EINVAL);
  EXPECT_EQ(ScratchDir::Read(file_), before);
  std::string missing = dir_ / "new.ini";
  EXPECT_FALSE(IniWriteString(missing, c.section, c.key, c.value));
  EXPECT_FALSE(ScratchDir::Exists(missing));
}

INSTANTIATE_TEST_SUITE_P(Rule19, IniRefusedWriteTest,
                         ::testing::Values(RefusedCase{"KeyWithEquals", "s", "a=b", "1"},
                                           RefusedCase{"KeyStartingWithBracket", "s", "[a", "1"},
                                           RefusedCase{"KeyStartingWithSemicolon", "s", ";a", "1"},
                                           RefusedCase{"KeyWithLeadingBlank", "s", " a", "1"},
                                           RefusedCase{"KeyWithTrailingTab", "s", "a\t", "1"},
                                           RefusedCase{"KeyWithCr", "s", "a\rb", "1"},
                                           RefusedCase{"KeyWithLf", "s", "a\nb", "1"},
                                           RefusedCase{"EmptyKey", "s", "", "1"},
                                           RefusedCase{"ValueWithLf", "s", "a", "1\n[x]"},
                                           RefusedCase{"ValueWithCr", "s", "a", "1\r"},
                                           RefusedCase{"SectionWithLf", "s\nx", "a", "1"},
                                           RefusedCase{"NullSection", nullptr, "a", "1"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniFileTest, WriteIntoMissingDirectoryFails) {
  SetLastError(0);
  EXPECT_FALSE(IniWriteString(dir_ / "no/such/F.INI", "s", "a", "1"));
  EXPECT_EQ(LastError(), ENOENT);
}

TEST_F(IniFileTest, ReadOnlyFileIsNotWritten) {
  const std::string before = "[s]\r\na=1\r\n";
  ScratchDir::Write(file_, before);
  ASSERT_EQ(::chmod(file_.c_str(), 0444), 0);
  SetLastError(0);
  EXPECT_FALSE(IniWriteString(file_, "s", "a", "2"));
  EXPECT_EQ(LastError(), EACCES);
  EXPECT_EQ(ScratchDir::Read(file_), before);
}

TEST_F(IniFileTest, ReplacementKeepsPermissions) {
  ScratchDir::Write(file_, "[s]\r\na=1\r\n");
  ASSERT_EQ(::chmod(file_.c_str(), 0640), 0);
  ASSERT_TRUE(IniWriteString(file_, "s", "a", "2"));
  struct stat st;
  ASSERT_EQ(::stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(IniFileTest, PathIsFoundWhateverItsCase) {
  ScratchDir::Write(dir_ / "Day.ini", "[s]\r\na=1\r\n");
  ASSERT_TRUE(IniWriteString(dir_ / "DAY.INI", "S", "b", "2"));
  EXPECT_EQ(ScratchDir::List(dir_.path()), std::vector<std::string>{"Day.ini"});
  char buffer[8];
  EXPECT_EQ(IniGetString(dir_ / "day.INI", "s", "b", "", buffer, sizeof buffer), 1u);
  EXPECT_STREQ(buffer, "2");
}

// ---------------------------------------------------------------------------
// Several edits in one rewrite.

TEST_F(IniFileTest, WriteStringsEqualsTheSameSingleWrites) {
  // Random sequences of sets and removals over a few keys, duplicates in the
  // file included, give the same bytes in one batch as one by one.
  std::mt19937 random(12345);
  const std::vector<std::string> keys = {"a", "B", "c", "A", "d"};
  const std::string start = "; head\r\n[x]\r\nq=1\r\n[s]\r\na=1\r\n;c\r\nA=2\r\n\r\nb=3\r\n[t]\r\nz=9\r\n";
  std::string single = dir_ / "single.ini", batch = dir_ / "batch.ini";
  for (int round = 0; round < 120; ++round) {
    ScratchDir::Write(single, start);
    ScratchDir::Write(batch, start);
    std::vector<IniEdit> edits;
    int count = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < count; ++i) {
      IniEdit edit{keys[random() % keys.size()], std::nullopt};
      if (random() % 3 != 0) edit.value = "v" + std::to_string(random() % 100);
      edits.push_back(edit);
      ASSERT_TRUE(IniWriteString(single, "s", edit.key.c_str(), edit.value ? edit.value->c_str() : nullptr));
    }
    ASSERT_TRUE(IniWriteStrings(batch, "s", edits));
    ASSERT_EQ(ScratchDir::Read(batch), ScratchDir::Read(single)) << "round " << round;
  }
}

TEST_F(IniFileTest, WriteStringsIntoNewSection) {
  ScratchDir::Write(file_, "[s]\r\na=1\r\n");
  std::vector<IniEdit> edits = {{"x", "1"}, {"y", std::nullopt}, {"z", " 2"}, {"X", "3"}};
  ASSERT_TRUE(IniWriteStrings(file_, "new", edits));
  EXPECT_EQ(ScratchDir::Read(file_), "[s]\r\na=1\r\n[new]\r\nx=3\r\nz=\" 2\"\r\n");
}

TEST_F(IniFileTest, WriteStringsIsAllOrNothing) {
  const std::string before = "[s]\r\na=1\r\n";
  ScratchDir::Write(file_, before);
  std::vector<IniEdit> edits = {{"b", "2"}, {"bad=key", "3"}, {"c", "4"}};
  EXPECT_FALSE(IniWriteStrings(file_, "s", edits));
  EXPECT_EQ(ScratchDir::Read(file_), before);
  edits = {{"b", "2"}, {"c", "line\nbreak"}};
  EXPECT_FALSE(IniWriteStrings(file_, "s", edits));
  EXPECT_EQ(ScratchDir::Read(file_), before);
}

TEST_F(IniFileTest, ReadSectionGivesFirstOfEachKey) {
  ScratchDir::Write(file_, "[s]\r\nb = \"2\" \r\n;c=3\r\na=1\r\nB=4\r\nplain\r\n[S]\r\nd=5\r\n");
  auto section = IniReadSection(file_, " S ");
  ASSERT_TRUE(section.has_value());
  std::vector<std::pair<std::string, std::string>> expected = {{"b", "2"}, {"a", "1"}};
  EXPECT_EQ(*section, expected);
  EXPECT_FALSE(IniReadSection(file_, "missing").has_value());
  EXPECT_FALSE(IniReadSection(dir_ / "none.ini", "s").has_value());
  auto empty = IniReadSection(file_, "s ");
  ASSERT_TRUE(empty.has_value());
}

TEST_F(IniFileTest, WholeReadsTellAnUnreadableFileFromAMissingOne) {
  const std::string longValue(5000, 'x');
  ScratchDir::Write(file_, "[s]\r\nk=" + longValue + "\r\n");
  std::filesystem::create_directory(dir_ / "dir.ini");
  bool unreadable = true;
  EXPECT_EQ(IniGetValue(file_, " S ", "K", &unreadable), longValue);
  EXPECT_FALSE(unreadable);
  for (const auto& [path, key] : {std::pair{file_, "none"}, {dir_ / "none.ini", "k"}, {dir_ / "dir.ini", "k"}}) {
    unreadable = true;
    EXPECT_FALSE(IniGetValue(path, "s", key, &unreadable).has_value()) << path;
    EXPECT_FALSE(unreadable) << path;
    unreadable = true;
    EXPECT_FALSE(IniReadSection(path, key == std::string("none") ? "none" : "s", &unreadable).has_value()) << path;
    EXPECT_FALSE(unreadable) << path;
  }
  for (int read = 0; read < 2; ++read) {
    IniClearCache();
    ArmFileFault({.failAt = 1, .error = EIO, .operations = kFileOpen});
    unreadable = false;
    const bool found = read == 0 ? IniGetValue(file_, "s", "k", &unreadable).has_value()
                                 : IniReadSection(file_, "s", &unreadable).has_value();
    DisarmFileFault();
    EXPECT_FALSE(found);
    EXPECT_TRUE(unreadable);
    EXPECT_EQ(LastError(), EIO);
  }
}

// ---------------------------------------------------------------------------
// The cache never answers with a stale file.

TEST_F(IniFileTest, InPlaceRewriteWithSameSizeAndTimeIsSeen) {
  ScratchDir::Write(file_, "[s]\r\na=1\r\n");
  struct stat st;
  ASSERT_EQ(::stat(file_.c_str(), &st), 0);
  char buffer[8];
  ASSERT_EQ(IniGetString(file_, "s", "a", "", buffer, sizeof buffer), 1u);
  ASSERT_STREQ(buffer, "1");
  // Another program rewrites the same inode with the same size and puts the
  // modification time back.
  {
    FILE* out = std::fopen(file_.c_str(), "r+b");
    ASSERT_NE(out, nullptr);
    std::fputs("[s]\r\na=2\r\n", out);
    std::fclose(out);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, file_.c_str(), times, 0), 0);
  }
  ASSERT_EQ(IniGetString(file_, "s", "a", "", buffer, sizeof buffer), 1u);
  EXPECT_STREQ(buffer, "2");
}

TEST_F(IniFileTest, QuickSuccessiveInPlaceRewritesAreSeen) {
  // Rewrites within one timestamp tick, same size, same inode.
  ScratchDir::Write(file_, "[s]\r\na=0\r\n");
  char buffer[8];
  for (int i = 1; i <= 9; ++i) {
    ASSERT_EQ(IniGetString(file_, "s", "a", "", buffer, sizeof buffer), 1u);
    ASSERT_EQ(buffer[0], '0' + i - 1);
    FILE* out = std::fopen(file_.c_str(), "r+b");
    ASSERT_NE(out, nullptr);
    std::fprintf(out, "[s]\r\na=%d\r\n", i);
    std::fclose(out);
  }
  ASSERT_EQ(IniGetString(file_, "s", "a", "", buffer, sizeof buffer), 1u);
  EXPECT_STREQ(buffer, "9");
}

TEST_F(IniFileTest, ReplacedFileIsReadAfresh) {
  ScratchDir::Write(file_, "[s]\r\na=1\r\n");
  char buffer[8];
  ASSERT_EQ(IniGetString(file_, "s", "a", "", buffer, sizeof buffer), 1u);
  std::string other = dir_ / "other";
  ScratchDir::Write(other, "[s]\r\na=2\r\n");
  ASSERT_EQ(::rename(other.c_str(), file_.c_str()), 0);
  ASSERT_EQ(IniGetString(file_, "s", "a", "", buffer, sizeof buffer), 1u);
  EXPECT_STREQ(buffer, "2");
  ASSERT_EQ(::unlink(file_.c_str()), 0);
  EXPECT_EQ(IniGetString(file_, "s", "a", "gone", buffer, sizeof buffer), 4u);
}

// ---------------------------------------------------------------------------
// Bad files are data.

TEST_F(IniFileTest, BadFilesNeverBreakReadsOrWrites) {
  std::mt19937 random(7);
  std::string garbage(1 << 20, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  const std::vector<std::pair<const char*, std::string>> files = {
      {"binary garbage", garbage},
      {"10 MB line", "[s]\r\nk=" + std::string(10 << 20, 'x')},
      {"10 MB header", "[" + std::string(10 << 20, 's')},
      {"no line ends", std::string(1 << 20, 'a') + "=" + std::string(1000, 'b')},
      {"CR only lines", [] {
         std::string text;
         for (int i = 0; i < 200000; ++i) text += "k" + std::to_string(i) + "=1\r";
         return "[s]\r" + text;
       }()},
      {"NUL bytes", "[s]\0\r\nk\0=\0v\r\n\0\0\0[t\0]\r\n=\0\r\n"s + std::string(1000, '\0')},
  };
  for (const auto& [name, text] : files) {
    SCOPED_TRACE(name);
    IniClearCache();
    ScratchDir::Write(file_, text);
    char value[16];
    size_t n = IniGetString(file_, "s", "k", "", value, sizeof value);
    EXPECT_LT(n, sizeof value);
    EXPECT_EQ(value[n], '\0');
    char list[64];
    n = IniGetString(file_, "s", nullptr, "", list, sizeof list);
    EXPECT_LE(n, sizeof list - 2 + 1);
    IniReadSection(file_, "s");
    ASSERT_TRUE(IniWriteString(file_, "added", "key", "value"));
    EXPECT_EQ(IniGetString(file_, "added", "key", "", value, sizeof value), 5u);
    std::string after = ScratchDir::Read(file_);
    EXPECT_EQ(after.compare(0, text.size(), text), 0) << "the old bytes changed";
  }
  ScratchDir::Write(file_, "[s]\r\nk=" + std::string(10 << 20, 'x'));
  char value[16];
  EXPECT_EQ(IniGetString(file_, "s", "k", "", value, sizeof value), 15u);
}

// ---------------------------------------------------------------------------
// Writers in 4 processes x 4 threads; a reader beside them.

TEST_F(IniFileTest, ConcurrentWritersLoseNothingAndReaderSeesWholeFiles) {
  constexpr int kProcesses = 4, kThreads = 4, kKeysPerThread = 250;
  constexpr int kAllKeys = kProcesses * kThreads * kKeysPerThread;
  auto keyName = [](int process, int thread, int i) {
    return "p" + std::to_string(process) + "t" + std::to_string(thread) + "k" + std::to_string(i);
  };
  auto valueOf = [](const std::string& key) { return "value of " + key; };

  std::vector<pid_t> children;
  for (int process = 0; process < kProcesses; ++process) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::vector<std::thread> threads;
      std::atomic<bool> ok{true};
      for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([&, thread] {
          for (int i = 0; i < kKeysPerThread; ++i) {
            std::string key = keyName(process, thread, i);
            if (!IniWriteString(file_, "stats", key.c_str(), valueOf(key).c_str())) ok = false;
          }
        });
      }
      for (auto& t : threads) t.join();
      ::_exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  // The reader: every file it sees is whole (ends in a line end, every line
  // is a header or a complete key with its value), and keys never disappear.
  // It stops when the parent closes the pipe after the writers have ended.
  int done[2];
  ASSERT_EQ(::pipe(done), 0);
  pid_t reader = ::fork();
  ASSERT_GE(reader, 0);
  if (reader == 0) {
    ::close(done[1]);
    size_t lastCount = 0;
    for (bool last = false; !last;) {
      struct pollfd wait = {done[0], POLLIN, 0};
      last = ::poll(&wait, 1, 5) > 0;  // the writers have ended: one more look
      std::string text = ScratchDir::Read(file_);
      if (text.empty()) continue;  // not created yet
      std::string_view rest(text);
      if (rest.substr(0, 9) != "[stats]\r\n" || rest.substr(rest.size() - 2) != "\r\n") ::_exit(2);
      rest.remove_prefix(9);
      size_t count = 0;
      while (!rest.empty()) {
        size_t end = rest.find("\r\n");
        std::string_view line = rest.substr(0, end);
        size_t eq = line.find('=');
        if (eq == std::string_view::npos || line.substr(eq + 1) != valueOf(std::string(line.substr(0, eq)))) ::_exit(3);
        ++count;
        rest.remove_prefix(end + 2);
      }
      if (count < lastCount) ::_exit(4);
      lastCount = count;
      auto section = IniReadSection(file_, "stats");
      if (!section || section->size() < lastCount) ::_exit(5);
    }
    ::_exit(lastCount == static_cast<size_t>(kAllKeys) ? 0 : 6);
  }
  ::close(done[0]);
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer status " << status;
  }
  ::close(done[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(reader, &status, 0), reader);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "reader status " << status;

  IniClearCache();
  auto section = IniReadSection(file_, "stats");
  ASSERT_TRUE(section.has_value());
  ASSERT_EQ(section->size(), static_cast<size_t>(kAllKeys));
  for (const auto& [key, value] : *section) EXPECT_EQ(value, valueOf(key));
  EXPECT_EQ(ScratchDir::List(dir_.path()), std::vector<std::string>{"F.INI"}) << "temporary files left";
}

}  // namespace
}  // namespace tallowmere::platform
