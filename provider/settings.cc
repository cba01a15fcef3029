// Provider configuration from the registry.
#include "provider/settings.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/registry_read.h"
#include "provider/no_destructor.h"

namespace tallowmere::provider {
namespace {

// Reads a text value; an absent, empty or over-long value gives "".
std::string ReadText(const std::string& key, const char* name, size_t size) {
  std::string buffer(size, '\0');
  if (ReadRegistryString(key.c_str(), name, buffer.data(), size) != 1) return {};
  buffer.resize(std::strlen(buffer.c_str()));
  return buffer;
}

// Reads a DWORD as a signed 32-bit value; absent gives `fallback`.
int32_t ReadNumber(const std::string& key, const char* name, int32_t fallback) {
  uint32_t value = 0;
  if (ReadRegistryDword(key.c_str(), name, &value) != 1) return fallback;
  return static_cast<int32_t>(value);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

// A cached cursor value: dialect-specific name, then generic, then default.
int32_t Cached(std::atomic<int32_t>& cache, const char* genericName, int32_t fallback) {
  int32_t value = cache.load(std::memory_order_relaxed);
  if (value != -1) return value;
  const std::string key = kProvidersKey;
  const std::string specific = std::string(DefaultsFor(Settings().Dialect).registryPrefix) + genericName;
  value = ReadNumber(key, specific.c_str(), ReadNumber(key, genericName, fallback));
  cache.store(value, std::memory_order_relaxed);
  return value;
}

}  // namespace

DialectDefaults DefaultsFor(SqlDialect dialect) {
  switch (dialect) {
    case SqlDialect::kMySql: return {0, 2, 1, 4, "MySQL "};
    case SqlDialect::kSqlite: return {0, 2, 0, 1, "SQLite "};
    case SqlDialect::kSqlServer: break;
  }
  return {1, 3, 1, 1, "SQL Server "};
}

ProviderSettings& Settings() {
  static NoDestructor<ProviderSettings> settings;
  return settings.get();
}

int LoadProviderSettings(const char* connectorKey, ProviderSettings& s) {
  s.ConnectionString.clear();
  s.UserName.clear();
  s.Password.clear();
  s.Dialect = SqlDialect::kSqlServer;
  s.RowLimitHead = "SELECT TOP 1 ";
  s.RowLimitTail.clear();
  s.ConnectionRecoveryMode = 1;
  s.ConnectionStringTooLong = false;
  s.FetchCursorTypeCache = -1;
  s.ExecCursorTypeCache = -1;
  s.FetchConcurrencyTypeCache = -1;

  const std::string connector = connectorKey != nullptr ? connectorKey : "";
  const std::string provider = ReadText(connector, "Current Provider", 256);
  if (!provider.empty()) {
    if (EqualsNoCase(provider, "MySQL")) {
      s.Dialect = SqlDialect::kMySql;
    } else if (EqualsNoCase(provider, "SQLite")) {
      s.Dialect = SqlDialect::kSqlite;
    }
    if (s.Dialect != SqlDialect::kSqlServer) {
      s.RowLimitHead = "SELECT ";
      s.RowLimitTail = " LIMIT 1";
    }
    const std::string providerKey = connector + "\\" + provider;
    // "Data Source" present (even as an empty text, which still holds its
    // terminator) is used verbatim.
    std::string dataSource(kConnectionTextSize, '\0');
    if (ReadRegistryString(providerKey.c_str(), "Data Source", dataSource.data(),
                           kConnectionTextSize) == 1) {
      dataSource.resize(std::strlen(dataSource.c_str()));
      s.ConnectionString = dataSource;
    } else {
      const bool trusted = ReadNumber(providerKey, "Trusted Connection", 1) != 0;
      const std::string dsn = ReadText(providerKey, "DSN", kConnectionTextSize);
      std::string composed;
      if (trusted) {
        composed = "DSN=" + dsn;
        if (s.Dialect == SqlDialect::kSqlServer) composed += ";Trusted_Connection=yes";
      } else {
        s.UserName = ReadText(providerKey, "UserName", kConnectionTextSize);
        s.Password = ReadText(providerKey, "Password", kConnectionTextSize);
        composed = "DSN=" + dsn + ";UID=" + s.UserName + ";PWD=" + s.Password;
      }
      if (composed.size() < kConnectionTextSize) {
        s.ConnectionString = composed;
      } else {
        s.ConnectionStringTooLong = true;
      }
      s.ConnectionRecoveryMode = ReadNumber(providerKey, "Connection Recovery Mode", 1);
    }
  }
  const DialectDefaults defaults = DefaultsFor(s.Dialect);
  const std::string providers = kProvidersKey;
  s.ConnectionMode = ReadNumber(providers, "Connection Mode", defaults.connectionMode);
  s.ConnectionPoolingMode = ReadNumber(providers, "Connection Pooling Mode", defaults.poolingMode);
  return 1;
}

int32_t FetchCursorType() {
  return Cached(Settings().FetchCursorTypeCache, "Fetch Cursor Type",
                DefaultsFor(Settings().Dialect).cursorType);
}

int32_t FetchConcurrencyType() {
  return Cached(Settings().FetchConcurrencyTypeCache, "Fetch Concurrency Type",
                DefaultsFor(Settings().Dialect).concurrency);
}

int32_t ExecCursorType() {
  return Cached(Settings().ExecCursorTypeCache, "Exec Cursor Type",
                DefaultsFor(Settings().Dialect).cursorType);
}

}  // namespace tallowmere::provider
