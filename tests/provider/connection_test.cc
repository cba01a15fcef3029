// Connection-string handling and error classification of the connection
// manager (no database needed).
#include "provider/connection.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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

TEST(ConnectionTest, MySqlConnectionsAskForFoundRowsNoBackslashEscapesAndTimeBounds) {
  Settings().Dialect = SqlDialect::kMySql;
  const std::string init =
      "INITSTMT={SET SESSION sql_mode=CONCAT(@@SESSION.sql_mode,',NO_BACKSLASH_ESCAPES')}";
  const std::string bounds = "CONN_TIMEOUT=5;READ_TIMEOUT=30;WRITE_TIMEOUT=30;";
  struct Case {
    const char* in;
    std::string out;
  } cases[] = {
      {"DRIVER=MariaDB;SOCKET=/s", "DRIVER=MariaDB;SOCKET=/s;OPTION=2;" + bounds + init},
      {"DRIVER=MariaDB;OPTION=8;SOCKET=/s", "DRIVER=MariaDB;OPTION=10;SOCKET=/s;" + bounds + init},
      {"DRIVER=MariaDB;option=3", "DRIVER=MariaDB;option=3;" + bounds + init},
      {"DRIVER=MariaDB;INITSTMT={SET @a=1};UID=u;", "DRIVER=MariaDB;UID=u;OPTION=2;" + bounds + init},
      {"", "OPTION=2;" + bounds + init},
      // A bound the connection string sets is kept, whatever its value.
      {"DRIVER=MariaDB;conn_timeout=2;OPTION=2", "DRIVER=MariaDB;conn_timeout=2;OPTION=2;READ_TIMEOUT=30;WRITE_TIMEOUT=30;" + init},
      {"DRIVER=MariaDB;READ_TIMEOUT=0;Write_Timeout = 7;OPTION=2",
       "DRIVER=MariaDB;READ_TIMEOUT=0;Write_Timeout = 7;OPTION=2;CONN_TIMEOUT=5;" + init},
  };
  for (const Case& c : cases) EXPECT_EQ(EffectiveConnectionString(c.in), c.out) << c.in;
  for (SqlDialect other : {SqlDialect::kSqlServer, SqlDialect::kSqlite}) {
    Settings().Dialect = other;
    EXPECT_EQ(EffectiveConnectionString("DSN=x;PWD=y"), "DSN=x;PWD=y");
  }
}

// A bound that the DSN's odbc.ini entry sets is the DSN's to give.
TEST(ConnectionTest, TimeBoundsOfTheDsnAreKept) {
  const std::filesystem::path ini =
      std::filesystem::temp_directory_path() / ("tallowmere_bounds_" + std::to_string(getpid()) + ".ini");
  {
    std::ofstream out(ini);
    out << "[bounded]\nDriver = MariaDB\nREAD_TIMEOUT = 9\nOPTION = 2\n";
  }
  const char* previous = std::getenv("ODBCINI");
  const std::string saved = previous != nullptr ? previous : "";
  setenv("ODBCINI", ini.c_str(), 1);
  Settings().Dialect = SqlDialect::kMySql;
  EXPECT_EQ(EffectiveConnectionString("DSN=bounded;UID=u"),
            "DSN=bounded;UID=u;OPTION=2;CONN_TIMEOUT=5;WRITE_TIMEOUT=30;"
            "INITSTMT={SET SESSION sql_mode=CONCAT(@@SESSION.sql_mode,',NO_BACKSLASH_ESCAPES')}");
  if (previous != nullptr) {
    setenv("ODBCINI", saved.c_str(), 1);
  } else {
    unsetenv("ODBCINI");
  }
  std::filesystem::remove(ini);
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
