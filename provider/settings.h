// Provider configuration: the process-wide ProviderSettings of a provider
// library, read from the registry once at load, and the three cursor values
// read on first use and cached. LoadProviderSettings runs before any other
// thread can call in; the cached accessors may race (they then repeat the
// registry read and store the same value). Nothing here ever fails: a missing,
// over-long or unreadable value takes its default.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace tallowmere::provider {

// The SQL dialect the core speaks. "Current Provider" "MySQL" selects kMySql,
// "SQLite" kSqlite (letter case ignored), anything else kSqlServer.
enum class SqlDialect { kSqlServer, kMySql, kSqlite };

// Connector configuration keys of the two libraries and the provider-wide key.
inline constexpr const char kListConnectorKey[] =
    "SOFTWARE\\Tallowmere\\Tallowmere\\Connectors\\LS\\Providers\\Configuration";
inline constexpr const char kSmtpConnectorKey[] =
    "SOFTWARE\\Tallowmere\\Tallowmere\\Connectors\\SMTP\\Providers\\Configuration";
inline constexpr const char kProvidersKey[] = "SOFTWARE\\Tallowmere\\Tallowmere\\Providers";

// Texts are at most this many bytes including the terminating NUL, as the
// registry values they come from.
inline constexpr size_t kConnectionTextSize = 1024;

struct ProviderSettings {
  std::string ConnectionString;  // verbatim "Data Source", or composed from the DSN
  std::string UserName;          // only when the login is not trusted
  std::string Password;          // only when the login is not trusted
  SqlDialect Dialect = SqlDialect::kSqlServer;
  std::string RowLimitHead = "SELECT TOP 1 ";  // note the trailing blank
  std::string RowLimitTail;                    // " LIMIT 1" for MySql and Sqlite
  int32_t ConnectionMode = 0;          // 0 shared connection, other: per call
  int32_t ConnectionPoolingMode = 2;   // 1/2 off, 3 per driver, 4 per environment
  int32_t ConnectionRecoveryMode = 1;  // 1: pause and log after a failed connect
  // -1 = not read yet; see FetchCursorType() and friends.
  std::atomic<int32_t> FetchCursorTypeCache{-1};
  std::atomic<int32_t> ExecCursorTypeCache{-1};
  std::atomic<int32_t> FetchConcurrencyTypeCache{-1};
  // A composed connection string longer than 1023 characters is refused: the
  // string is left empty (connecting then fails with the driver manager's
  // diagnostics) and this flag says why.
  bool ConnectionStringTooLong = false;
};

// The process-wide settings of this library (one instance per loaded library).
ProviderSettings& Settings();

// Fills `settings` from the registry under `connectorKey` and the providers
// key, in the documented order with every default. Resets the cursor caches.
// Returns 1 always.
int LoadProviderSettings(const char* connectorKey, ProviderSettings& settings);

// Convenience: the dialect of the loaded settings.
inline SqlDialect CurrentDialect() { return Settings().Dialect; }
inline bool IsSharedConnectionMode() { return Settings().ConnectionMode == 0; }

// Cursor type and concurrency handed to ODBC unchanged (SQL_ATTR_CURSOR_TYPE,
// SQL_ATTR_CONCURRENCY). Read on the first call from the providers key: the
// dialect-specific name ("MySQL …", "SQL Server …", "SQLite …") first, then
// the generic name, then the default, and cached. A stored -1 is re-read at
// every call.
int32_t FetchCursorType();
int32_t FetchConcurrencyType();
int32_t ExecCursorType();

// Defaults per dialect, documented in one place.
// kSqlServer: connection mode 1 (per call), pooling 3, cursor types 1, concurrency 1.
// kMySql:     connection mode 0 (shared),   pooling 2, cursor types 1, concurrency 4.
// kSqlite:    connection mode 0 (shared),   pooling 2, cursor types 0 (forward
//             only: the driver has no keyset cursor), concurrency 1 (read only).
struct DialectDefaults {
  int32_t connectionMode;
  int32_t poolingMode;
  int32_t cursorType;
  int32_t concurrency;
  const char* registryPrefix;  // "SQL Server ", "MySQL ", "SQLite "
};
DialectDefaults DefaultsFor(SqlDialect dialect);

}  // namespace tallowmere::provider
