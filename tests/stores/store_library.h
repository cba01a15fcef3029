// Test support: loads liblistprov / libsmtpprov the way a host does (dlopen)
// against a registry file written for one engine and connection mode, and
// talks to the same database directly over ODBC to set up and inspect rows.
// Each StoreLibrary loads its own copy of the library file, so several
// configurations can live in one test process; copies stay loaded until the
// process ends. Not thread-safe to construct.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tallowmere::testing {

enum class Engine { kMariaDb, kMariaDbNoBackslashEscapes, kSqlite };
enum class ConnectionMode : int32_t { kShared = 0, kPerCall = 1 };

struct Backend {
  Engine engine;
  ConnectionMode mode;
  std::string name;              // for test names: "MariaDbShared", ...
  std::string connectionString;  // ODBC connection string of the database
};

// Every backend: MariaDB and SQLite in both connection modes, and the MariaDB
// server whose global sql_mode has NO_BACKSLASH_ESCAPES in shared mode. The
// list does not depend on the environment (tests are listed at build time);
// BackendAvailable tells at run time whether the test services are there.
std::vector<Backend> AllBackends();
bool BackendAvailable(Engine engine);
std::string BackendName(const ::testing::TestParamInfo<Backend>& info);
inline void PrintTo(const Backend& backend, std::ostream* os) { *os << backend.name; }

// A fresh, empty database with the five tables for this process: a new SQLite
// file, or a new MariaDB database created from schema/. Returns the
// connection string of that database, or nullopt (with a message) on failure.
std::optional<std::string> CreateTestDatabase(Engine engine, std::string* error);
// Removes what CreateTestDatabase made.
void DropTestDatabase(Engine engine, const std::string& connectionString);

// A plain ODBC connection for setting up and checking rows behind the
// library's back.
class DirectOdbc {
 public:
  explicit DirectOdbc(const std::string& connectionString);
  ~DirectOdbc();
  DirectOdbc(const DirectOdbc&) = delete;
  DirectOdbc& operator=(const DirectOdbc&) = delete;
  bool ok() const { return dbc_ != SQL_NULL_HDBC; }
  // Runs one statement; false (and the diagnostic in lastError()) on failure.
  bool Exec(const std::string& sql);
  // First column of the first row as an integer (-999999 when none).
  int64_t QueryInt(const std::string& sql);
  // First column of the first row as bytes (nullopt for NULL or no row).
  std::optional<std::string> QueryText(const std::string& sql);
  // Every row of a query, every column: text columns as bytes, other columns
  // as the driver's decimal text, nullopt for NULL. The column names go to
  // *columns when given. An empty result also when the query fails
  // (lastError() tells).
  std::vector<std::vector<std::optional<std::string>>> QueryRows(const std::string& sql,
                                                                 std::vector<std::string>* columns = nullptr);
  const std::string& lastError() const { return lastError_; }

 private:
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  std::string lastError_;
};

// Writes a REGEDIT4 registry file that points both connectors at
// `connectionString` with the given dialect and connection mode.
void WriteRegistry(const std::filesystem::path& file, Engine engine, ConnectionMode mode,
                   const std::string& connectionString);

// A loaded copy of one store library.
class StoreLibrary {
 public:
  // name: "listprov" or "smtpprov". Sets TALLOWMERE_REGISTRY to `registry`
  // for the load.
  StoreLibrary(const std::string& name, const std::filesystem::path& registry);
  ~StoreLibrary();
  StoreLibrary(const StoreLibrary&) = delete;
  StoreLibrary& operator=(const StoreLibrary&) = delete;
  bool ok() const { return handle_ != nullptr; }
  const std::string& error() const { return error_; }
  void* Symbol(const char* name) const;
  template <typename F>
  F Get(const char* name) const {
    return reinterpret_cast<F>(Symbol(name));
  }

 private:
  void* handle_ = nullptr;
  std::filesystem::path copy_;
  std::string error_;
};

// A scratch directory removed at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace tallowmere::testing
