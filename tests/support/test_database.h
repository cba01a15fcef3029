// Test helpers for code that talks to real databases: the services started
// by scripts/test-services.sh (a MariaDB server in the default sql_mode, one
// with NO_BACKSLASH_ESCAPES, the SQLite ODBC driver), scratch databases with
// the shipped schema, plain ODBC statements, and registry files.
// Not thread-safe unless stated; each helper aborts the test (ADD_FAILURE)
// when a set-up statement fails.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tallowmere::testing {

enum class Engine { kMariaDb, kMariaDbNoBackslashEscapes, kSqlite };
const char* EngineName(Engine engine);

// True when scripts/test-services.sh has exported its environment.
bool HaveServices();
// True when the run must have the services (scripts/test.sh sets
// TALLOWMERE_TEST_REQUIRE_SERVICES): a test that finds none fails, not skips.
bool ServicesRequired();
// Value of an environment variable, "" when unset.
std::string Env(const char* name);

// A database of its own with the shipped schema: on MariaDB a database
// tallowmere_<pid>_<n> (dropped at destruction), on SQLite a new file.
class ScratchDatabase {
 public:
  explicit ScratchDatabase(Engine engine);
  ~ScratchDatabase();
  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;

  Engine engine() const { return engine_; }
  // A complete ODBC connection string for this database (with UID/PWD on
  // MariaDB).
  const std::string& connectionString() const { return connectionString_; }
  // The "Current Provider" name of the engine ("MySQL" or "SQLite").
  const char* providerName() const;

 private:
  Engine engine_;
  std::string name_;
  std::string connectionString_;
};

// Runs statements on a new connection of its own (no provider code).
// Returns false (and records why in *error) when any statement fails.
bool OdbcRun(const std::string& connectionString, const std::vector<std::string>& statements,
             std::string* error = nullptr);
// The first column of every row of a query, as text ("<NULL>" for NULL).
std::vector<std::string> OdbcQuery(const std::string& connectionString, const std::string& query);
// Splits a schema script into its statements (at ";" ending a line).
std::vector<std::string> SchemaStatements(const std::string& path);

// A registry file in REGEDIT4 form, written to a temporary file and named by
// TALLOWMERE_REGISTRY while the object lives.
class RegistryFile {
 public:
  RegistryFile();
  ~RegistryFile();
  RegistryFile& Text(const std::string& key, const std::string& name, const std::string& value);
  RegistryFile& Dword(const std::string& key, const std::string& name, uint32_t value);
  // Writes the file (called by the setters; public for clarity in tests).
  void Write() const;
  const std::string& path() const { return path_; }

 private:
  struct Entry {
    std::string key, name, data;
  };
  std::vector<Entry> entries_;
  std::string path_;
  std::string previous_;
  bool hadPrevious_ = false;
};

// A temporary directory removed with its contents at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace tallowmere::testing
