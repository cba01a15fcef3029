// Settings read from a registry file, with every default and dialect rule.
#include "provider/settings.h"

#include <gtest/gtest.h>

#include "support/test_database.h"

namespace tallowmere::provider {
namespace {

using testing::RegistryFile;

const std::string kConnector = kSmtpConnectorKey;
const std::string kProviders = kProvidersKey;

// The settings are not copyable (their caches are atomic): fill the
// process-wide instance and hand it out.
ProviderSettings& Load(const char* connector = kSmtpConnectorKey) {
  EXPECT_EQ(LoadProviderSettings(connector, Settings()), 1);
  return Settings();
}

TEST(ProviderSettingsTest, NoCurrentProvider) {
  RegistryFile registry;
  ProviderSettings& s = Load();
  EXPECT_EQ(s.ConnectionString, "");
  EXPECT_EQ(s.Dialect, SqlDialect::kSqlServer);
  EXPECT_EQ(s.RowLimitHead, "SELECT TOP 1 ");
  EXPECT_EQ(s.RowLimitTail, "");
  EXPECT_EQ(s.ConnectionMode, 1);
  EXPECT_EQ(s.ConnectionPoolingMode, 3);
  EXPECT_EQ(s.ConnectionRecoveryMode, 1);
}

TEST(ProviderSettingsTest, DialectAndItsDefaults) {
  struct Case {
    const char* provider;
    SqlDialect dialect;
    const char* head;
    const char* tail;
    int32_t mode, pooling;
    const char* connection;  // trusted, DSN "d"
  } cases[] = {
      {"mysql", SqlDialect::kMySql, "SELECT ", " LIMIT 1", 0, 2, "DSN=d"},
      {"MySQL", SqlDialect::kMySql, "SELECT ", " LIMIT 1", 0, 2, "DSN=d"},
      {"MySQL5", SqlDialect::kSqlServer, "SELECT TOP 1 ", "", 1, 3, "DSN=d;Trusted_Connection=yes"},
      {"SQL Server", SqlDialect::kSqlServer, "SELECT TOP 1 ", "", 1, 3, "DSN=d;Trusted_Connection=yes"},
      {"sqlite", SqlDialect::kSqlite, "SELECT ", " LIMIT 1", 0, 2, "DSN=d"},
      {"SQLite", SqlDialect::kSqlite, "SELECT ", " LIMIT 1", 0, 2, "DSN=d"},
  };
  for (const Case& c : cases) {
    RegistryFile registry;
    registry.Text(kConnector, "Current Provider", c.provider).Text(kConnector + "\\" + c.provider, "DSN", "d");
    ProviderSettings& s = Load();
    EXPECT_EQ(s.Dialect, c.dialect) << c.provider;
    EXPECT_EQ(s.RowLimitHead, c.head) << c.provider;
    EXPECT_EQ(s.RowLimitTail, c.tail) << c.provider;
    EXPECT_EQ(s.ConnectionMode, c.mode) << c.provider;
    EXPECT_EQ(s.ConnectionPoolingMode, c.pooling) << c.provider;
    EXPECT_EQ(s.ConnectionString, c.connection) << c.provider;
  }
}

TEST(ProviderSettingsTest, DataSourceIsUsedVerbatimAndHidesTheOtherValues) {
  RegistryFile registry;
  const std::string key = kConnector + "\\MySQL";
  registry.Text(kConnector, "Current Provider", "MySQL")
      .Text(key, "Data Source", "DRIVER=MariaDB;SOCKET=/x;PWD=a;b")
      .Dword(key, "Trusted Connection", 0)
      .Text(key, "UserName", "u")
      .Dword(key, "Connection Recovery Mode", 0);
  ProviderSettings& s = Load();
  EXPECT_EQ(s.ConnectionString, "DRIVER=MariaDB;SOCKET=/x;PWD=a;b");
  EXPECT_EQ(s.UserName, "");
  EXPECT_EQ(s.ConnectionRecoveryMode, 1);
}

TEST(ProviderSettingsTest, EmptyDataSourceStillCounts) {
  RegistryFile registry;
  const std::string key = kConnector + "\\SQLite";
  registry.Text(kConnector, "Current Provider", "SQLite").Text(key, "Data Source", "").Text(key, "DSN", "d");
  EXPECT_EQ(Load().ConnectionString, "");
}

TEST(ProviderSettingsTest, UntrustedLogin) {
  RegistryFile registry;
  const std::string key = kConnector + "\\SQL Server";
  registry.Text(kConnector, "Current Provider", "SQL Server")
      .Dword(key, "Trusted Connection", 0)
      .Text(key, "DSN", "mail")
      .Text(key, "UserName", "sa")
      .Text(key, "Password", "s;e\\cret")
      .Dword(key, "Connection Recovery Mode", 7);
  ProviderSettings& s = Load();
  EXPECT_EQ(s.ConnectionString, "DSN=mail;UID=sa;PWD=s;e\\cret");
  EXPECT_EQ(s.UserName, "sa");
  EXPECT_EQ(s.Password, "s;e\\cret");
  EXPECT_EQ(s.ConnectionRecoveryMode, 7);

  RegistryFile bare;
  bare.Text(kConnector, "Current Provider", "SQL Server").Dword(key, "Trusted Connection", 0);
  EXPECT_EQ(Load().ConnectionString, "DSN=;UID=;PWD=");
}

TEST(ProviderSettingsTest, OverLongValuesAndComposedStrings) {
  const std::string key = kConnector + "\\MySQL";
  {
    // A DSN of 1024 characters does not fit its buffer and counts as absent.
    RegistryFile registry;
    registry.Text(kConnector, "Current Provider", "MySQL").Text(key, "DSN", std::string(1024, 'd'));
    EXPECT_EQ(Load().ConnectionString, "DSN=");
  }
  {
    // Each value fits, the composed string would not: refused, left empty.
    RegistryFile registry;
    registry.Text(kConnector, "Current Provider", "MySQL")
        .Dword(key, "Trusted Connection", 0)
        .Text(key, "DSN", std::string(600, 'd'))
        .Text(key, "Password", std::string(600, 'p'));
    ProviderSettings& s = Load();
    EXPECT_EQ(s.ConnectionString, "");
    EXPECT_TRUE(s.ConnectionStringTooLong);
  }
  {
    RegistryFile registry;
    registry.Text(kConnector, "Current Provider", std::string(256, 'M'));
    EXPECT_EQ(Load().Dialect, SqlDialect::kSqlServer);
  }
}

TEST(ProviderSettingsTest, ModesFromTheProvidersKey) {
  RegistryFile registry;
  registry.Text(kConnector, "Current Provider", "MySQL")
      .Dword(kProviders, "Connection Mode", 5)
      .Dword(kProviders, "Connection Pooling Mode", 4);
  ProviderSettings& s = Load();
  EXPECT_EQ(s.ConnectionMode, 5);
  EXPECT_EQ(s.ConnectionPoolingMode, 4);
}

TEST(ProviderSettingsTest, TheListConnectorReadsItsOwnKey) {
  RegistryFile registry;
  registry.Text(kConnector, "Current Provider", "MySQL");
  EXPECT_EQ(Load(kListConnectorKey).Dialect, SqlDialect::kSqlServer);
  EXPECT_EQ(Load(kSmtpConnectorKey).Dialect, SqlDialect::kMySql);
}

TEST(ProviderSettingsTest, CursorValuesPreferTheDialectName) {
  struct Case {
    const char* provider;
    std::vector<std::pair<const char*, uint32_t>> values;
    int32_t fetchCursor, concurrency, execCursor;
  } cases[] = {
      {"SQL Server", {}, 1, 1, 1},
      {"MySQL", {}, 1, 4, 1},
      {"SQLite", {}, 0, 1, 0},
      {"SQL Server", {{"Fetch Cursor Type", 2}}, 2, 1, 1},
      {"SQL Server", {{"Fetch Cursor Type", 2}, {"SQL Server Fetch Cursor Type", 3}}, 3, 1, 1},
      {"MySQL", {{"SQL Server Fetch Cursor Type", 3}, {"MySQL Fetch Concurrency Type", 2}}, 1, 2, 1},
      {"MySQL", {{"Exec Cursor Type", 0}, {"Fetch Concurrency Type", 3}}, 1, 3, 0},
      {"SQLite", {{"SQLite Exec Cursor Type", 3}}, 0, 1, 3},
  };
  for (const Case& c : cases) {
    RegistryFile registry;
    registry.Text(kConnector, "Current Provider", c.provider);
    for (const auto& [name, value] : c.values) registry.Dword(kProviders, name, value);
    LoadProviderSettings(kSmtpConnectorKey, Settings());
    EXPECT_EQ(FetchCursorType(), c.fetchCursor) << c.provider;
    EXPECT_EQ(FetchConcurrencyType(), c.concurrency) << c.provider;
    EXPECT_EQ(ExecCursorType(), c.execCursor) << c.provider;
  }
}

TEST(ProviderSettingsTest, CachedCursorValuesAreNotReadAgain) {
  RegistryFile registry;
  registry.Text(kConnector, "Current Provider", "MySQL").Dword(kProviders, "Fetch Cursor Type", 2);
  LoadProviderSettings(kSmtpConnectorKey, Settings());
  EXPECT_EQ(FetchCursorType(), 2);
  registry.Dword(kProviders, "MySQL Fetch Cursor Type", 3);
  EXPECT_EQ(FetchCursorType(), 2);
  // A stored -1 marks "not read yet" and is read afresh at every call.
  RegistryFile minusOne;
  minusOne.Text(kConnector, "Current Provider", "MySQL").Dword(kProviders, "Fetch Cursor Type", 0xFFFFFFFF);
  LoadProviderSettings(kSmtpConnectorKey, Settings());
  EXPECT_EQ(FetchCursorType(), -1);
  minusOne.Dword(kProviders, "MySQL Fetch Cursor Type", 0);
  EXPECT_EQ(FetchCursorType(), 0);
}

}  // namespace
}  // namespace tallowmere::provider
