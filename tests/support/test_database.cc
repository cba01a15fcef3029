// Test helpers over real databases.
#include "support/test_database.h"

#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace tallowmere::testing {
namespace {

bool Ok(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

std::string Diag(SQLSMALLINT type, SQLHANDLE handle) {
  SQLCHAR state[6] = {0}, message[1024] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  if (!Ok(SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length))) return "?";
  return std::string(reinterpret_cast<char*>(state)) + " " + std::to_string(native) + " " +
         reinterpret_cast<char*>(message);
}

// A connection of the helper's own; closed at destruction.
struct PlainConnection {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  std::string error;
  explicit PlainConnection(const std::string& connectionString) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    SQLRETURN rc = SQLDriverConnect(dbc, nullptr,
                                    reinterpret_cast<SQLCHAR*>(const_cast<char*>(connectionString.c_str())),
                                    SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!Ok(rc)) {
      error = Diag(SQL_HANDLE_DBC, dbc);
      SQLFreeHandle(SQL_HANDLE_DBC, dbc);
      dbc = SQL_NULL_HDBC;
    }
  }
  ~PlainConnection() {
    if (dbc != SQL_NULL_HDBC) {
      SQLDisconnect(dbc);
      SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
  }
};

std::string MariaDbBase(Engine engine) {
  const char* dsn = engine == Engine::kMariaDb ? "TALLOWMERE_TEST_MARIADB_DSN" : "TALLOWMERE_TEST_MARIADB_NBE_DSN";
  return "DSN=" + Env(dsn) + ";UID=" + Env("TALLOWMERE_TEST_MARIADB_USER") +
         ";PWD=" + Env("TALLOWMERE_TEST_MARIADB_PASSWORD");
}

}  // namespace

const char* EngineName(Engine engine) {
  switch (engine) {
    case Engine::kMariaDb: return "MariaDb";
    case Engine::kMariaDbNoBackslashEscapes: return "MariaDbNoBackslashEscapes";
    case Engine::kSqlite: return "Sqlite";
  }
  return "?";
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool HaveServices() { return !Env("TALLOWMERE_TEST_SERVICES").empty() && !Env("ODBCSYSINI").empty(); }

bool ServicesRequired() { return !Env("TALLOWMERE_TEST_REQUIRE_SERVICES").empty(); }

std::vector<std::string> SchemaStatements(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> statements;
  std::string line, current;
  while (std::getline(in, line)) {
    if (line.rfind("--", 0) == 0 || line == "GO") continue;
    current += line + "\n";
    if (!line.empty() && line.back() == ';') {
      statements.push_back(current);
      current.clear();
    }
  }
  return statements;
}

bool OdbcRun(const std::string& connectionString, const std::vector<std::string>& statements,
             std::string* error) {
  PlainConnection c(connectionString);
  if (c.dbc == SQL_NULL_HDBC) {
    if (error != nullptr) *error = "connect: " + c.error;
    return false;
  }
  for (const std::string& text : statements) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, c.dbc, &stmt);
    SQLRETURN rc = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())), SQL_NTS);
    if (!Ok(rc) && rc != SQL_NO_DATA) {
      if (error != nullptr) *error = text + ": " + Diag(SQL_HANDLE_STMT, stmt);
      SQLFreeHandle(SQL_HANDLE_STMT, stmt);
      return false;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  }
  return true;
}

std::vector<std::string> OdbcQuery(const std::string& connectionString, const std::string& query) {
  std::vector<std::string> rows;
  PlainConnection c(connectionString);
  if (c.dbc == SQL_NULL_HDBC) {
    ADD_FAILURE() << "connect: " << c.error;
    return rows;
  }
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  SQLAllocHandle(SQL_HANDLE_STMT, c.dbc, &stmt);
  if (!Ok(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(query.c_str())), SQL_NTS))) {
    ADD_FAILURE() << query << ": " << Diag(SQL_HANDLE_STMT, stmt);
  } else {
    while (Ok(SQLFetch(stmt))) {
      char buffer[8192];
      SQLLEN indicator = 0;
      SQLGetData(stmt, 1, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
      rows.push_back(indicator == SQL_NULL_DATA ? "<NULL>" : std::string(buffer));
    }
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return rows;
}

ScratchDatabase::ScratchDatabase(Engine engine) : engine_(engine) {
  static std::atomic<int> counter{0};
  const int n = counter++;
  std::string error;
  if (engine == Engine::kSqlite) {
    name_ = std::filesystem::temp_directory_path() /
            ("tallowmere_" + std::to_string(getpid()) + "_" + std::to_string(n) + ".db");
    std::filesystem::remove(name_);
    connectionString_ = "DRIVER=" + Env("TALLOWMERE_TEST_SQLITE_DRIVER") + ";Database=" + name_ + ";Timeout=10000;JournalMode=WAL;SyncPragma=NORMAL";
    if (!OdbcRun(connectionString_, SchemaStatements(Env("TALLOWMERE_TEST_SQLITE_SCHEMA")), &error)) {
      ADD_FAILURE() << "SQLite schema: " << error;
    }
    return;
  }
  name_ = "tallowmere_" + std::to_string(getpid()) + "_" + std::to_string(n);
  const std::string base = MariaDbBase(engine);
  if (!OdbcRun(base, {"DROP DATABASE IF EXISTS " + name_, "CREATE DATABASE " + name_ + " CHARACTER SET latin1"},
               &error)) {
    ADD_FAILURE() << "create database: " << error;
  }
  connectionString_ = base + ";DATABASE=" + name_;
  if (!OdbcRun(connectionString_, SchemaStatements(Env("TALLOWMERE_TEST_MARIADB_SCHEMA")), &error)) {
    ADD_FAILURE() << "MariaDB schema: " << error;
  }
}

ScratchDatabase::~ScratchDatabase() {
  if (engine_ == Engine::kSqlite) {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(name_ + suffix, ignored);
    return;
  }
  OdbcRun(MariaDbBase(engine_), {"DROP DATABASE IF EXISTS " + name_});
}

const char* ScratchDatabase::providerName() const { return engine_ == Engine::kSqlite ? "SQLite" : "MySQL"; }

RegistryFile::RegistryFile() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("tallowmere_registry_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + ".reg");
  if (const char* previous = std::getenv("TALLOWMERE_REGISTRY")) {
    previous_ = previous;
    hadPrevious_ = true;
  }
  setenv("TALLOWMERE_REGISTRY", path_.c_str(), 1);
  Write();
}

RegistryFile::~RegistryFile() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
  if (hadPrevious_) {
    setenv("TALLOWMERE_REGISTRY", previous_.c_str(), 1);
  } else {
    unsetenv("TALLOWMERE_REGISTRY");
  }
}

RegistryFile& RegistryFile::Text(const std::string& key, const std::string& name, const std::string& value) {
  std::string escaped;
  for (char c : value) {
    if (c == '\\' || c == '"') escaped += '\\';
    escaped += c;
  }
  entries_.push_back({key, name, "\"" + escaped + "\""});
  Write();
  return *this;
}

RegistryFile& RegistryFile::Dword(const std::string& key, const std::string& name, uint32_t value) {
  char data[32];
  std::snprintf(data, sizeof data, "dword:%08x", value);
  entries_.push_back({key, name, data});
  Write();
  return *this;
}

void RegistryFile::Write() const {
  std::ostringstream out;
  out << "REGEDIT4\r\n\r\n";
  // One section per key, values in the order they were set.
  std::vector<std::string> keys;
  for (const Entry& e : entries_) {
    if (std::find(keys.begin(), keys.end(), e.key) == keys.end()) keys.push_back(e.key);
  }
  for (const std::string& key : keys) {
    out << "[HKEY_LOCAL_MACHINE\\" << key << "]\r\n";
    for (const Entry& e : entries_) {
      if (e.key == key) out << "\"" << e.name << "\"=" << e.data << "\r\n";
    }
    out << "\r\n";
  }
  std::ofstream file(path_, std::ios::binary | std::ios::trunc);
  file << out.str();
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tallowmere_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace tallowmere::testing
