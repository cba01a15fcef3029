// Connection-string handling and error classification of the connection
// manager (no database needed).
#include "provider/connection.h"

#include <gtest/gtest.h>

#include "provider/settings.h"

namespace tallowmere::provider {
namespace {

TEST(ConnectionTest, PasswordIsMaskedInTheOpenLine) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"DSN=mail;UID=sa;PWD=secret", "DSN=mail;UID=sa;PWD=****"},
      {"DSN=mail;UID=sa;PWD=", "DSN=mail;UID=sa;PWD=****"},
      {"Driver=x;Password=p@ss;Server=y", "Driver=x;Password=****;Server=y"},
      {"pwd={se;cr}}et};UID=u", "pwd=****;UID=u"},
      {"DSN=a; password = x ;UID=b", "DSN=a; password =****;UID=b"},
      {"DSN=mail;Trusted_Connection=yes", "DSN=mail;Trusted_Connection=yes"},
      {"", ""},
      {"PWD=a;PWD=b", "PWD=****;PWD=****"},
      {"DSN=x;UID=PWD=y", "DSN=x;UID=PWD=y"},
  };
  for (const Case& c : cases) EXPECT_EQ(MaskPassword(c.in), c.out) << c.in;
}

TEST(ConnectionTest, MySqlConnectionsAskForFoundRowsAndNoBackslashEscapes) {
  Settings().Dialect = SqlDialect::kMySql;
  const std::string init =
      "INITSTMT={SET SESSION sql_mode=CONCAT(@@SESSION.sql_mode,',NO_BACKSLASH_ESCAPES')}";
  struct Case {
    const char* in;
    std::string out;
  } cases[] = {
      {"DRIVER=MariaDB;SOCKET=/s", "DRIVER=MariaDB;SOCKET=/s;OPTION=2;" + init},
      {"DRIVER=MariaDB;OPTION=8;SOCKET=/s", "DRIVER=MariaDB;OPTION=10;SOCKET=/s;" + init},
      {"DRIVER=MariaDB;option=3", "DRIVER=MariaDB;option=3;" + init},
      {"DRIVER=MariaDB;INITSTMT={SET @a=1};UID=u;", "DRIVER=MariaDB;UID=u;OPTION=2;" + init},
      {"", "OPTION=2;" + init},
  };
  for (const Case& c : cases) EXPECT_EQ(EffectiveConnectionString(c.in), c.out) << c.in;
  for (SqlDialect other : {SqlDialect::kSqlServer, SqlDialect::kSqlite}) {
    Settings().Dialect = other;
    EXPECT_EQ(EffectiveConnectionString("DSN=x;PWD=y"), "DSN=x;PWD=y");
  }
}

TEST(ConnectionTest, LostConnectionErrors) {
  struct Case {
    int32_t native;
    const char* state;
    bool lost;
  } cases[] = {
      {0, "", true},          {2006, "HY000", true},   {2013, "HY000", true}, {5014, "HY000", true},
      {10054, "", true},      {0x10000 + 2006, "", true},  // low 16 bits count
      {2055, "HY000", true},  {1, "08003", true},      {1, "08S01", true},    {1062, "23000", false},
      {1064, "42000", false}, {19, "HY000", false},    {2601, "23000", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsConnectionLost(c.native, c.state), c.lost) << c.native << " " << c.state;
}

}  // namespace
}  // namespace tallowmere::provider
