// Exact texts of the SQL builders in the three dialects.
#include "provider/sql_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tallowmere::provider {
namespace {

using D = SqlDialect;

TEST(SqlTextTest, TextAndNumberConditionsOpenThenJoin) {
  std::string text;
  EXPECT_EQ(AddTextCondition(text, "ListName", "O'Brien"), 1);
  EXPECT_EQ(text, "(ListName = 'O''Brien')");
  AddTextCondition(text, "AccountName", "x");
  EXPECT_EQ(text, "(ListName = 'O''Brien') AND (AccountName = 'x')");
  AddNumberCondition(text, "Status", 1);
  EXPECT_EQ(text, "(ListName = 'O''Brien') AND (AccountName = 'x') AND (Status = 1)");
  AddNumberCondition(text, "Mode", -7);
  EXPECT_EQ(text, "(ListName = 'O''Brien') AND (AccountName = 'x') AND (Status = 1) AND (Mode = -7)");
}

TEST(SqlTextTest, NotGivenMarkersWriteNothing) {
  struct Case {
    const char* value;
    const char* expected;
  } cases[] = {
      {"", ""},
      {"(Nil)", ""},
      {"(nil)", "(c = '(nil)')"},  // only the exact marker counts
      {"(NIL)", "(c = '(NIL)')"},
      {" (Nil)", "(c = ' (Nil)')"},
  };
  for (const Case& c : cases) {
    std::string text;
    AddTextCondition(text, "c", c.value);
    EXPECT_EQ(text, c.expected) << c.value;
  }
  std::string text;
  AddNumberCondition(text, "c", -1);
  EXPECT_EQ(text, "");
  AddNumberCondition(text, "c", 0);
  EXPECT_EQ(text, "(c = 0)");
}

TEST(SqlTextTest, Assignments) {
  std::string text;
  AddTextAssignment(text, "col", "");
  EXPECT_EQ(text, "col=''");
  AddNumberAssignment(text, "n", -1);
  EXPECT_EQ(text, "col=''");
  AddNumberAssignmentAlways(text, "n", -1);
  EXPECT_EQ(text, "col='',n=-1");
  AddTextAssignment(text, "Owner", "(Nil)");
  AddNumberAssignment(text, "Status", 2147483647);
  AddTextAssignment(text, "d", "it's");
  EXPECT_EQ(text, "col='',n=-1,Owner='(Nil)',Status=2147483647,d='it''s'");
  std::string other;
  AddNumberAssignment(other, "x", -2147483647 - 1);
  EXPECT_EQ(other, "x=-2147483648");
}

TEST(SqlTextTest, PatternConditionPerDialect) {
  struct Case {
    D dialect;
    const char* value;
    const char* expected;  // after "(a = 1)"
  } cases[] = {
      {D::kSqlServer, "a_b*", " AND (col LIKE 'a[_]b%')"},
      {D::kSqlServer, "[x]*", " AND (col LIKE '[[]x]%')"},
      {D::kSqlServer, "O'B*", " AND (col LIKE 'O''B%')"},
      {D::kSqlServer, "a\\b*", " AND (col LIKE 'a\\b%')"},
      {D::kSqlServer, "%?*", " AND (col LIKE '%?%')"},
      {D::kMySql, "a_b*", " AND (col LIKE 'a\\_b%' ESCAPE '\\')"},
      {D::kMySql, "[x]*", " AND (col LIKE '[x]%' ESCAPE '\\')"},
      {D::kMySql, "a\\b*", " AND (col LIKE 'a\\\\b%' ESCAPE '\\')"},
      {D::kMySql, "O'B*", " AND (col LIKE 'O''B%' ESCAPE '\\')"},
      {D::kSqlite, "a_b*", " AND (col LIKE 'a\\_b%' ESCAPE '\\')"},
      {D::kSqlite, "*.example", " AND (col LIKE '%.example' ESCAPE '\\')"},
      // Without "*" the value is compared for equality in every dialect.
      {D::kSqlServer, "a_b", " AND (col = 'a_b')"},
      {D::kMySql, "a_b", " AND (col = 'a_b')"},
      {D::kSqlite, "a\\b", " AND (col = 'a\\b')"},
  };
  for (const Case& c : cases) {
    std::string text = "(a = 1)";
    EXPECT_EQ(AddPatternCondition(text, "col", c.value, c.dialect), 1);
    EXPECT_EQ(text, std::string("(a = 1)") + c.expected) << c.value;
  }
}

TEST(SqlTextTest, FirstPatternConditionIsAnEqualityWithTheStarKept) {
  for (D dialect : {D::kSqlServer, D::kMySql, D::kSqlite}) {
    std::string text;
    AddPatternCondition(text, "col", "*.example", dialect);
    EXPECT_EQ(text, "(col = '*.example')");
  }
}

TEST(SqlTextTest, CaseSensitiveConditionPerDialect) {
  struct Case {
    D dialect;
    const char* first;
    const char* joined;
  } cases[] = {
      {D::kSqlServer, "CAST(col AS varbinary(128)) = CAST('v' AS varbinary(128))",
       " AND CAST(col AS varbinary(128)) = CAST('v' AS varbinary(128))"},
      {D::kMySql, "(BINARY col = 'v')", " AND (BINARY col = 'v')"},
      {D::kSqlite, "(col = 'v' COLLATE BINARY)", " AND (col = 'v' COLLATE BINARY)"},
  };
  for (const Case& c : cases) {
    std::string text;
    AddCaseSensitiveCondition(text, "col", "v", 128, c.dialect);
    EXPECT_EQ(text, c.first);
    std::string joined = "(x = 1)";
    AddCaseSensitiveCondition(joined, "col", "v", 128, c.dialect);
    EXPECT_EQ(joined, std::string("(x = 1)") + c.joined);
    std::string none;
    AddCaseSensitiveCondition(none, "col", "(Nil)", 128, c.dialect);
    EXPECT_EQ(none, "");
  }
}

TEST(SqlTextTest, OverLongConditionValueIsRefused) {
  // 2047 characters after doubling fit; one more is refused and writes nothing.
  const std::string fits(2047, 'a');
  const std::string tooLong(2048, 'a');
  const std::string apostrophes(1024, '\'');  // 2048 after doubling
  std::string text = "(x = 1)";
  EXPECT_EQ(AddTextCondition(text, "c", fits), 1);
  EXPECT_EQ(text.size(), std::string("(x = 1) AND (c = '')").size() + 2047);
  for (const std::string& value : {tooLong, apostrophes}) {
    std::string t = "(x = 1)";
    EXPECT_EQ(AddTextCondition(t, "c", value), 0);
    EXPECT_EQ(AddPatternCondition(t, "c", value + "*", SqlDialect::kMySql), 0);
    EXPECT_EQ(AddCaseSensitiveCondition(t, "c", value, 2048, SqlDialect::kSqlServer), 0);
    EXPECT_EQ(t, "(x = 1)");
  }
  // A pattern whose escapes push it over the limit is refused too.
  std::string t = "(x = 1)";
  EXPECT_EQ(AddPatternCondition(t, "c", std::string(1500, '_') + "*", SqlDialect::kSqlServer), 0);
  EXPECT_EQ(t, "(x = 1)");
  // Assignments have no limit.
  std::string assignment;
  EXPECT_EQ(AddTextAssignment(assignment, "c", tooLong), 1);
}

TEST(SqlTextTest, ReplaceAll) {
  struct Case {
    const char* src;
    const char* pattern;
    const char* replacement;
    size_t size;
    const char* expected;
  } cases[] = {
      {"a*b*", "*", "%", 64, "a%b%"},
      {"aaa", "aa", "b", 64, "ba"},         // not overlapping
      {"ab", "a", "aa", 64, "aab"},         // not re-scanned
      {"abcabc", "abc", "", 64, ""},
      {"hello", "x", "y", 64, "hello"},
      {"hello world", "o", "0", 6, "hell0"},  // cut to fit
  };
  for (const Case& c : cases) {
    char dst[64];
    std::memset(dst, 'Z', sizeof dst);
    EXPECT_EQ(ReplaceAll(c.src, c.pattern, c.replacement, dst, c.size), 1);
    EXPECT_STREQ(dst, c.expected) << c.src;
  }
}

TEST(SqlTextTest, EscapeText) {
  char dst[300];
  EXPECT_EQ(EscapeText(1, "a\\b'c\"d", dst, sizeof dst), 1);
  EXPECT_STREQ(dst, "a\\\\b\\'c\\\"d");
  EXPECT_EQ(EscapeText(0, "O'Brien \\ \"", dst, sizeof dst), 1);
  EXPECT_STREQ(dst, "O''Brien \\ \"");
  EXPECT_EQ(EscapeText(7, "abc", dst, sizeof dst), 1);
  EXPECT_STREQ(dst, "");
  // Too small a destination: 0 and the destination untouched.
  std::strcpy(dst, "keep");
  char small[4];
  std::strcpy(small, "old");
  EXPECT_EQ(EscapeText(0, "''''", small, sizeof small), 0);
  EXPECT_STREQ(small, "old");
  // The escaped text stops at 254 characters.
  EXPECT_EQ(EscapeText(0, std::string(200, '\'').c_str(), dst, sizeof dst), 1);
  EXPECT_EQ(std::strlen(dst), 254u);
  // ... but never inside an escape: a lone "'" or "\\" at the end would
  // end the literal early.
  std::string odd = "x" + std::string(200, '\'');
  EXPECT_EQ(EscapeText(0, odd.c_str(), dst, sizeof dst), 1);
  EXPECT_EQ(dst, "x" + std::string(252, '\''));
  odd = "x" + std::string(200, '\\');
  EXPECT_EQ(EscapeText(1, odd.c_str(), dst, sizeof dst), 1);
  EXPECT_EQ(dst, "x" + std::string(252, '\\'));
}

}  // namespace
}  // namespace tallowmere::provider
