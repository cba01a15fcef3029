#include "store_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tallowmere::testing {
namespace fs = std::filesystem;
namespace {

std::string EnvOr(const char* name, const std::string& fallback = std::string()) {
  const char* value = std::getenv(name);
  return value ? value : fallback;
}

fs::path SourceDir() { return EnvOr("TALLOWMERE_SOURCE_DIR", TALLOWMERE_TEST_SOURCE_DIR); }
fs::path BuildDir() { return EnvOr("TALLOWMERE_BUILD_DIR", TALLOWMERE_TEST_BUILD_DIR); }

std::string Diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
  SQLCHAR state[6] = {0};
  SQLINTEGER native = 0;
  SQLCHAR message[512] = {0};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length)))
    return "(no diagnostic)";
  return std::string(reinterpret_cast<char*>(state)) + " " + std::to_string(native) + " " +
         reinterpret_cast<char*>(message);
}

// Statements of a schema script: split at ";" ending a line, "--" comments dropped.
std::vector<std::string> ScriptStatements(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> statements;
  std::string line, current;
  while (std::getline(in, line)) {
    if (auto dash = line.find("--"); dash != std::string::npos) line.erase(dash);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t')) line.pop_back();
    if (line.empty()) continue;
    current += line + "\n";
    if (line.back() == ';') {
      statements.push_back(current);
      current.clear();
    }
  }
  if (current.find_first_not_of(" \n") != std::string::npos) statements.push_back(current);
  return statements;
}

bool ApplySchema(const std::string& connectionString, const fs::path& script, std::string* error) {
  DirectOdbc db(connectionString);
  if (!db.ok()) {
    *error = "cannot connect: " + db.lastError();
    return false;
  }
  const auto statements = ScriptStatements(script);
  if (statements.empty()) {
    *error = "no statements in " + script.string();
    return false;
  }
  for (const auto& statement : statements) {
    if (!db.Exec(statement)) {
      *error = script.string() + ": " + db.lastError();
      return false;
    }
  }
  return true;
}

std::string RegistryText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

std::vector<Backend> AllBackends() {
  std::vector<Backend> backends;
  for (auto mode : {ConnectionMode::kShared, ConnectionMode::kPerCall}) {
    const std::string suffix = mode == ConnectionMode::kShared ? "Shared" : "PerCall";
    backends.push_back({Engine::kMariaDb, mode, "MariaDb" + suffix, {}});
    backends.push_back({Engine::kSqlite, mode, "Sqlite" + suffix, {}});
  }
  backends.push_back({Engine::kMariaDbNoBackslashEscapes, ConnectionMode::kShared, "MariaDbNbeShared", {}});
  return backends;
}

bool BackendAvailable(Engine engine) {
  switch (engine) {
    case Engine::kSqlite:
      return true;
    case Engine::kMariaDb:
      return !EnvOr("TALLOWMERE_TEST_MARIADB_DSN").empty();
    case Engine::kMariaDbNoBackslashEscapes:
      return !EnvOr("TALLOWMERE_TEST_MARIADB_NBE_DSN").empty();
  }
  return false;
}

std::string BackendName(const ::testing::TestParamInfo<Backend>& info) { return info.param.name; }

// A login on the test MariaDB server (main or NO_BACKSLASH_ESCAPES) that may
// create databases named tallowmere_*.
std::string MariaDbLogin(Engine engine) {
  const char* dsn = engine == Engine::kMariaDbNoBackslashEscapes ? "TALLOWMERE_TEST_MARIADB_NBE_DSN"
                                                                  : "TALLOWMERE_TEST_MARIADB_DSN";
  return "DSN=" + EnvOr(dsn) + ";UID=" + EnvOr("TALLOWMERE_TEST_MARIADB_USER", "tallowmere") +
         ";PWD=" + EnvOr("TALLOWMERE_TEST_MARIADB_PASSWORD", "tallowmere");
}

std::optional<std::string> CreateTestDatabase(Engine engine, std::string* error) {
  static std::atomic<int> counter{0};
  const std::string unique = std::to_string(getpid()) + "_" + std::to_string(counter++);
  if (engine == Engine::kSqlite) {
    const fs::path dir = fs::temp_directory_path() / "tallowmere-stores-tests";
    fs::create_directories(dir);
    const fs::path file = dir / ("stores_" + unique + ".db");
    fs::remove(file);
    const std::string connection = "DRIVER=" + EnvOr("TALLOWMERE_TEST_SQLITE_DRIVER", "SQLite3") +
                                   ";Database=" + file.string() + ";Timeout=10000";
    if (!ApplySchema(connection, EnvOr("TALLOWMERE_TEST_SQLITE_SCHEMA", SourceDir() / "schema" / "sqlite.sql"),
                     error))
      return std::nullopt;
    return connection;
  }
  // MariaDB: a database of our own on the test server, so that test
  // processes running side by side never see each other's rows.
  const std::string admin = MariaDbLogin(engine);
  const std::string database = "tallowmere_stores_" + unique;
  {
    DirectOdbc db(admin);
    if (!db.ok() || !db.Exec("DROP DATABASE IF EXISTS " + database) ||
        !db.Exec("CREATE DATABASE " + database + " CHARACTER SET latin1")) {
      *error = "cannot create database: " + db.lastError();
      return std::nullopt;
    }
  }
  const std::string connection = admin + ";DATABASE=" + database;
  if (!ApplySchema(connection, EnvOr("TALLOWMERE_TEST_MARIADB_SCHEMA", SourceDir() / "schema" / "mariadb.sql"),
                   error))
    return std::nullopt;
  return connection;
}

void DropTestDatabase(Engine engine, const std::string& connectionString) {
  const auto key = engine == Engine::kSqlite ? std::string("Database=") : std::string(";DATABASE=");
  const auto at = connectionString.rfind(key);
  if (at == std::string::npos) return;
  std::string name = connectionString.substr(at + key.size());
  name = name.substr(0, name.find(';'));
  if (engine == Engine::kSqlite) {
    std::error_code ec;
    fs::remove(name, ec);
    return;
  }
  DirectOdbc db(MariaDbLogin(engine));
  if (db.ok()) db.Exec("DROP DATABASE IF EXISTS " + name);
}

DirectOdbc::DirectOdbc(const std::string& connectionString) {
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
  SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
  SQLCHAR out[1024];
  SQLSMALLINT outLength = 0;
  const SQLRETURN rc =
      SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(connectionString.c_str())),
                       SQL_NTS, out, sizeof out, &outLength, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    lastError_ = Diagnostic(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    dbc_ = SQL_NULL_HDBC;
    return;
  }
  // Byte-exact text: backslashes are plain characters on MariaDB.
  if (connectionString.find("SQLite") == std::string::npos &&
      connectionString.find("sqlite") == std::string::npos)
    Exec("SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')");
}

DirectOdbc::~DirectOdbc() {
  if (dbc_ != SQL_NULL_HDBC) {
    SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  }
  if (env_ != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

bool DirectOdbc::Exec(const std::string& sql) {
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt))) {
    lastError_ = Diagnostic(SQL_HANDLE_DBC, dbc_);
    return false;
  }
  const SQLRETURN rc = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())),
                                     static_cast<SQLINTEGER>(sql.size()));
  const bool ok = SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
  if (!ok) lastError_ = Diagnostic(SQL_HANDLE_STMT, stmt) + " in: " + sql.substr(0, 200);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return ok;
}

std::optional<std::string> DirectOdbc::QueryText(const std::string& sql) {
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt))) return std::nullopt;
  std::optional<std::string> result;
  if (SQL_SUCCEEDED(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())),
                                  static_cast<SQLINTEGER>(sql.size()))) &&
      SQL_SUCCEEDED(SQLFetch(stmt))) {
    std::vector<char> buffer(8192);
    SQLLEN length = 0;
    if (SQL_SUCCEEDED(SQLGetData(stmt, 1, SQL_C_BINARY, buffer.data(), buffer.size(), &length)) &&
        length != SQL_NULL_DATA)
      result = std::string(buffer.data(), static_cast<size_t>(std::min<SQLLEN>(length, buffer.size())));
  } else {
    lastError_ = Diagnostic(SQL_HANDLE_STMT, stmt);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return result;
}

std::vector<std::vector<std::optional<std::string>>> DirectOdbc::QueryRows(const std::string& sql,
                                                                       std::vector<std::string>* columns) {
  std::vector<std::vector<std::optional<std::string>>> rows;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt))) return rows;
  if (!SQL_SUCCEEDED(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())),
                                   static_cast<SQLINTEGER>(sql.size())))) {
    lastError_ = Diagnostic(SQL_HANDLE_STMT, stmt);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return rows;
  }
  SQLSMALLINT count = 0;
  SQLNumResultCols(stmt, &count);
  std::vector<bool> isText(static_cast<size_t>(count));
  if (columns) columns->clear();
  for (SQLUSMALLINT c = 1; c <= count; ++c) {
    SQLCHAR name[128] = {0};
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLDescribeCol(stmt, c, name, sizeof name, &nameLength, &type, &size, &digits, &nullable);
    isText[c - 1] = type == SQL_CHAR || type == SQL_VARCHAR || type == SQL_LONGVARCHAR || type == SQL_WCHAR ||
                    type == SQL_WVARCHAR || type == SQL_WLONGVARCHAR;
    if (columns) columns->push_back(reinterpret_cast<char*>(name));
  }
  std::vector<char> buffer(8192);
  while (SQL_SUCCEEDED(SQLFetch(stmt))) {
    auto& row = rows.emplace_back();
    for (SQLUSMALLINT c = 1; c <= count; ++c) {
      SQLLEN length = 0;
      const SQLSMALLINT target = isText[c - 1] ? SQL_C_BINARY : SQL_C_CHAR;
      if (!SQL_SUCCEEDED(SQLGetData(stmt, c, target, buffer.data(), static_cast<SQLLEN>(buffer.size()), &length)) ||
          length == SQL_NULL_DATA) {
        row.emplace_back();
        continue;
      }
      row.emplace_back(std::string(buffer.data(), static_cast<size_t>(std::min<SQLLEN>(length, buffer.size()))));
    }
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return rows;
}

int64_t DirectOdbc::QueryInt(const std::string& sql) {
  auto text = QueryText(sql);
  return text ? std::stoll(*text) : -999999;
}

void WriteRegistry(const fs::path& file, Engine engine, ConnectionMode mode, const std::string& connectionString) {
  const char* provider = engine == Engine::kSqlite ? "SQLite" : "MySQL";
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << "REGEDIT4\r\n\r\n";
  for (const char* connector : {"LS", "SMTP"}) {
    const std::string key =
        std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere\\Connectors\\") + connector +
        "\\Providers\\Configuration";
    out << "[" << key << "]\r\n\"Current Provider\"=\"" << provider << "\"\r\n\r\n";
    out << "[" << key << "\\" << provider << "]\r\n\"Data Source\"=\"" << RegistryText(connectionString)
        << "\"\r\n\r\n";
  }
  char dword[16];
  std::snprintf(dword, sizeof dword, "%08x", static_cast<unsigned>(mode));
  out << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere\\Providers]\r\n"
      << "\"Connection Mode\"=dword:" << dword << "\r\n"
      << "\"Event Log Status\"=dword:00000000\r\n\r\n";
}

StoreLibrary::StoreLibrary(const std::string& name, const fs::path& registry) {
  static std::atomic<int> counter{0};
  const fs::path original = BuildDir() / "lib" / ("lib" + name + ".so");
  copy_ = fs::temp_directory_path() /
          ("tallowmere-" + name + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".so");
  std::error_code ec;
  fs::copy_file(original, copy_, fs::copy_options::overwrite_existing, ec);
  if (ec) {
    error_ = "cannot copy " + original.string() + ": " + ec.message();
    return;
  }
  setenv("TALLOWMERE_REGISTRY", registry.c_str(), 1);
  handle_ = dlopen(copy_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) error_ = dlerror();
}

StoreLibrary::~StoreLibrary() {
  // The library stays loaded: it keeps process-wide objects that live until
  // the process ends (as in a host), and its unload runs at exit. Only its
  // file copy goes now; the mapping stays valid.
  std::error_code ec;
  fs::remove(copy_, ec);
}

void* StoreLibrary::Symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = fs::temp_directory_path() /
          ("tallowmere-stores-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

}  // namespace tallowmere::testing
