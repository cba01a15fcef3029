// Connection manager over the ODBC driver manager.
#include "provider/connection.h"

#include <cstring>
#include <mutex>

#include <odbcinst.h>

#include "common/bounded_string.h"
#include "common/event_log_write.h"
#include "common/registry_read.h"
#include "common/wait.h"
#include "platform/host_info.h"
#include "platform/sync.h"
#include "provider/logging.h"
#include "provider/no_destructor.h"
#include "provider/settings.h"

namespace tallowmere {
// Both provider libraries write their event-log entries under this
// description; the connection manager is the unit that writes them, so the
// definition lives here (the libraries must not define it again).
const char* const kLibraryDescription = "Tallowmere Database Provider";
}  // namespace tallowmere

namespace tallowmere::provider {
namespace {

constexpr uint32_t kLoginTimeoutSeconds = 5;
constexpr uint32_t kConnectPauseMs = 2000;
constexpr uint32_t kLockWaitMs = 10000;
constexpr uint32_t kRecyclePauseMs = 20000;
constexpr uint32_t kFoundRowsFlag = 2;  // MariaDB Connector/ODBC OPTION bit
// MariaDB Connector/ODBC ignores the login time-out while it waits for a
// server's greeting, and nothing bounds a statement whose server stops
// answering (the query time-out is enforced by the server itself). Its
// connection-string options CONN_TIMEOUT (the connect, greeting included)
// and READ_TIMEOUT/WRITE_TIMEOUT (each wait for the server during a
// statement) do; they are added when neither the connection string nor its
// DSN sets them. A statement cut by them fails as a lost connection (2013).
constexpr uint32_t kConnectTimeoutSeconds = kLoginTimeoutSeconds;
constexpr uint32_t kStatementTimeoutSeconds = 30;
// Every MySQL/MariaDB session runs with NO_BACKSLASH_ESCAPES, so that the
// doubled-apostrophe literals are exact whatever the server's sql_mode.
constexpr const char kMySqlInitStatement[] =
    "SET SESSION sql_mode=CONCAT(@@SESSION.sql_mode,',NO_BACKSLASH_ESCAPES')";

struct State {
  std::mutex envMutex;
  SQLHENV env = SQL_NULL_HENV;
  std::mutex sharedMutex;
  ConnectionPtr shared;
  std::atomic<int> isConnected{0};
  std::atomic<int> connectInProgress{0};
  std::atomic<bool> eventLogMark{false};
  MutexHandle connectionLock;
  std::once_flag lockOnce;
};

State& S() {
  static NoDestructor<State> state;
  return state.get();
}

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// Applies "Connection Pooling Mode" process-wide (before the environment exists).
void ApplyPoolingMode(int32_t mode) {
  SQLULEN value;
  switch (mode) {
    case 1:
    case 2: value = SQL_CP_OFF; break;
    case 3: value = SQL_CP_ONE_PER_DRIVER; break;
    case 4: value = SQL_CP_ONE_PER_HENV; break;
    default: return;
  }
  SQLSetEnvAttr(SQL_NULL_HENV, SQL_ATTR_CONNECTION_POOLING, reinterpret_cast<SQLPOINTER>(value), 0);
}

// The environment, created on first need. unixODBC refuses to allocate a
// connection on an environment without SQL_ATTR_ODBC_VERSION, and ODBC 3 is
// what makes an UPDATE/DELETE that matched nothing answer SQL_NO_DATA, so
// every dialect declares ODBC 3.
SQLHENV EnsureEnvironment(int32_t poolingMode) {
  State& s = S();
  std::lock_guard<std::mutex> guard(s.envMutex);
  if (s.env != SQL_NULL_HENV) return s.env;
  ApplyPoolingMode(poolingMode);
  SQLHENV env = SQL_NULL_HENV;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
    if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
    return SQL_NULL_HENV;
  }
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  s.env = env;
  return env;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// One "key=value" attribute of a connection string, as positions in it.
struct Attribute {
  std::string_view key;    // trimmed
  std::string_view value;  // as written (braces included)
  size_t valueBegin;       // position of the value in the string
  size_t valueEnd;
};

// Splits a connection string at ";" outside "{...}" values.
std::vector<Attribute> ParseAttributes(std::string_view text) {
  std::vector<Attribute> attributes;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t equals = text.find('=', pos);
    size_t semicolon = text.find(';', pos);
    if (equals == std::string_view::npos || (semicolon != std::string_view::npos && semicolon < equals)) {
      if (semicolon == std::string_view::npos) break;
      pos = semicolon + 1;
      continue;
    }
    Attribute attribute;
    attribute.key = Trim(text.substr(pos, equals - pos));
    size_t begin = equals + 1;
    size_t end = begin;
    size_t lead = begin;
    while (lead < text.size() && text[lead] == ' ') ++lead;
    if (lead < text.size() && text[lead] == '{') {
      end = lead + 1;
      while (end < text.size()) {
        if (text[end] == '}') {
          if (end + 1 < text.size() && text[end + 1] == '}') {
            end += 2;
            continue;
          }
          ++end;
          break;
        }
        ++end;
      }
      while (end < text.size() && text[end] != ';') ++end;
    } else {
      end = text.find(';', begin);
      if (end == std::string_view::npos) end = text.size();
    }
    attribute.valueBegin = begin;
    attribute.valueEnd = end;
    attribute.value = text.substr(begin, end - begin);
    attributes.push_back(attribute);
    pos = end + 1;
  }
  return attributes;
}

// A value of a DSN's odbc.ini entry ("" when the DSN or the key is absent).
std::string DsnValue(std::string_view dsn, const char* key) {
  if (dsn.empty() || dsn.size() > 255) return {};
  char buffer[32] = {0};
  std::string name(dsn);
  SQLGetPrivateProfileString(name.c_str(), key, "", buffer, sizeof buffer, "odbc.ini");
  return std::string(Trim(buffer));
}

// The OPTION flags of a DSN as its odbc.ini entry gives them (0 when none).
uint32_t DsnOptionFlags(std::string_view dsn) {
  return static_cast<uint32_t>(std::strtoul(DsnValue(dsn, "OPTION").c_str(), nullptr, 10));
}

void LogConnectionDiagnostic(const char* operation, SQLRETURN rc, const Diagnostic& d) {
  if (d.message.empty()) {
    LogFormat(kLogDiagnostic, 8192, "TW-IXXXX: Database Command (%s) Failed; Error: %ld; Native Error: %ld\n",
              operation, static_cast<long>(rc), static_cast<long>(d.nativeError));
  } else {
    LogFormat(kLogDiagnostic, 8192,
              "TW-IXXXX: Database Command (%s) Failed; Error: %ld; Native Error: %ld, %s\n", operation,
              static_cast<long>(rc), static_cast<long>(d.nativeError), d.message.c_str());
  }
}

void LogClosing(bool wasConnected) {
  LogMessage(kLogDiagnostic, wasConnected ? "TW-IXXXX: Closed DB Connection\n"
                                          : "TW-IXXXX: Closed DB Connection, but it was already closed.\n");
}

// Allocates a connection handle on the environment into *out (null on failure).
SQLRETURN AllocateConnectionHandle(SQLHENV env, SQLHDBC* out) {
  *out = SQL_NULL_HDBC;
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (env == SQL_NULL_HENV || !Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
    if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    return SQL_ERROR;
  }
  *out = dbc;
  return SQL_SUCCESS;
}

// The effective connection string of the last one asked for (reading the
// DSN's flags means reading odbc.ini, too slow for every pooled connect).
std::string CachedEffectiveConnectionString(std::string_view connectionString) {
  static NoDestructor<std::mutex> mutex;
  static NoDestructor<std::string> input;
  static NoDestructor<std::string> output;
  static SqlDialect dialect = SqlDialect::kSqlServer;
  std::lock_guard<std::mutex> guard(mutex.get());
  if (input.get() != connectionString || dialect != Settings().Dialect || output.get().empty()) {
    input.get().assign(connectionString);
    dialect = Settings().Dialect;
    output.get() = EffectiveConnectionString(connectionString);
  }
  return output.get();
}

SQLRETURN DriverConnect(SQLHDBC dbc, std::string_view connectionString) {
  SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0);
  std::string effective = CachedEffectiveConnectionString(connectionString);
  SQLCHAR outBuffer[1024];
  SQLSMALLINT outLength = 0;
  return SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(effective.data()), SQL_NTS, outBuffer,
                          sizeof outBuffer, &outLength, SQL_DRIVER_NOPROMPT);
}

void PublishShared(const ConnectionPtr& replacement, const ConnectionPtr& old) {
  State& s = S();
  std::lock_guard<std::mutex> guard(s.sharedMutex);
  if (s.shared == nullptr || s.shared == old) s.shared = replacement;
}

ConnectionPtr TakeShared() {
  State& s = S();
  std::lock_guard<std::mutex> guard(s.sharedMutex);
  return std::exchange(s.shared, nullptr);
}

}  // namespace

Connection::~Connection() {
  if (handle_ == SQL_NULL_HDBC) return;
  if (!Succeeded(SQLDisconnect(handle_))) LogMessage(kLogDiagnostic, "TW-IXXXX: Problem disconnecting\n");
  if (!Succeeded(SQLFreeHandle(SQL_HANDLE_DBC, handle_))) {
    LogMessage(kLogDiagnostic, "TW-IXXXX: Problem freeing handle\n");
  }
}

std::atomic<int>& IsConnected() { return S().isConnected; }

SQLHENV Environment() {
  State& s = S();
  std::lock_guard<std::mutex> guard(s.envMutex);
  return s.env;
}

ConnectionPtr SharedConnection() {
  State& s = S();
  std::lock_guard<std::mutex> guard(s.sharedMutex);
  return s.shared;
}

bool LockConnection(uint32_t milliseconds) {
  State& s = S();
  std::call_once(s.lockOnce, [&s] { s.connectionLock = OpenOrCreateMutex(nullptr); });
  if (s.connectionLock == nullptr) return false;
  int result = WaitForMutex(s.connectionLock, milliseconds);
  return result == kWaitObtained || result == kWaitAbandoned;
}

void UnlockConnection() { ReleaseMutex(S().connectionLock); }

Diagnostic ReadDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle) {
  Diagnostic d;
  SQLCHAR state[6] = {0};
  SQLINTEGER native = 0;
  SQLCHAR message[512] = {0};
  SQLSMALLINT length = 0;
  d.readResult = SQLGetDiagRec(handleType, handle, 1, state, &native, message, sizeof message, &length);
  if (d.readResult == SQL_SUCCESS || d.readResult == SQL_SUCCESS_WITH_INFO) {
    d.sqlState.assign(reinterpret_cast<char*>(state), strnlen(reinterpret_cast<char*>(state), 5));
    d.nativeError = static_cast<int32_t>(native);
    message[sizeof message - 1] = 0;
    d.message.assign(reinterpret_cast<char*>(message));
  }
  return d;
}

std::string MaskPassword(std::string_view connectionString) {
  std::string masked;
  size_t copied = 0;
  for (const Attribute& a : ParseAttributes(connectionString)) {
    if (EqualsNoCase(a.key, "PWD") || EqualsNoCase(a.key, "Password")) {
      masked.append(connectionString.substr(copied, a.valueBegin - copied));
      masked.append("****");
      copied = a.valueEnd;
    }
  }
  masked.append(connectionString.substr(copied));
  return masked;
}

std::string EffectiveConnectionString(std::string_view connectionString) {
  if (Settings().Dialect != SqlDialect::kMySql) return std::string(connectionString);
  // Found rows: an UPDATE that matched a row but changed nothing still counts.
  std::string result;
  size_t copied = 0;
  bool haveOption = false;
  struct Bound {
    const char* key;
    uint32_t seconds;
    bool given;
  } bounds[] = {{"CONN_TIMEOUT", kConnectTimeoutSeconds, false},
                {"READ_TIMEOUT", kStatementTimeoutSeconds, false},
                {"WRITE_TIMEOUT", kStatementTimeoutSeconds, false}};
  std::string_view dsn;
  for (const Attribute& a : ParseAttributes(connectionString)) {
    if (EqualsNoCase(a.key, "DSN")) dsn = Trim(a.value);
    for (Bound& bound : bounds) bound.given = bound.given || EqualsNoCase(a.key, bound.key);
    if (EqualsNoCase(a.key, "OPTION") || EqualsNoCase(a.key, "OPTIONS")) {
      uint32_t flags = static_cast<uint32_t>(std::strtoul(std::string(Trim(a.value)).c_str(), nullptr, 10));
      result.append(connectionString.substr(copied, a.valueBegin - copied));
      result.append(std::to_string(flags | kFoundRowsFlag));
      copied = a.valueEnd;
      haveOption = true;
    } else if (EqualsNoCase(a.key, "INITSTMT")) {
      // Replaced below: the session mode is not negotiable.
      size_t keyBegin = a.valueBegin - 1;
      while (keyBegin > copied && connectionString[keyBegin - 1] != ';') --keyBegin;
      result.append(connectionString.substr(copied, keyBegin - copied));
      copied = a.valueEnd < connectionString.size() ? a.valueEnd + 1 : a.valueEnd;
    }
  }
  result.append(connectionString.substr(copied));
  while (!result.empty() && (result.back() == ';' || result.back() == ' ')) result.pop_back();
  if (!haveOption) {
    if (!result.empty()) result += ';';
    result += "OPTION=" + std::to_string(DsnOptionFlags(dsn) | kFoundRowsFlag);
  }
  for (const Bound& bound : bounds) {
    if (bound.given || !DsnValue(dsn, bound.key).empty()) continue;
    if (!result.empty()) result += ';';
    result += std::string(bound.key) + "=" + std::to_string(bound.seconds);
  }
  if (!result.empty()) result += ';';
  result += "INITSTMT={";
  result += kMySqlInitStatement;
  result += '}';
  return result;
}

int InitializeEnvironment() {
  State& s = S();
  s.eventLogMark = false;
  const ProviderSettings& settings = Settings();
  if (settings.ConnectionMode == 0) {
    OpenSharedConnection();
    return 1;
  }
  // Per-call mode: pooling one pool per driver, whatever the configuration.
  if (EnsureEnvironment(3) == SQL_NULL_HENV) return 0;
  return 1;
}

int Connect(DbSession& session, std::string_view connectionString, std::string_view userName,
            std::string_view /*password: already part of the connection string*/) {
  session.connection.reset();
  session.env = EnsureEnvironment(Settings().ConnectionPoolingMode);
  if (session.env == SQL_NULL_HENV) return 0;
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (!Succeeded(AllocateConnectionHandle(session.env, &dbc))) return 0;
  if (LoggingActive()) {
    std::string masked = MaskPassword(connectionString);
    std::string user(userName);
    LogFormat(kLogOpenConnection, 1024, "TW-IXXXX: Open DB Connection (DSN:%s; USER:%s)\n", masked.c_str(),
              user.c_str());
  }
  SQLRETURN rc = DriverConnect(dbc, connectionString);
  if (Succeeded(rc)) {
    session.connection = std::make_shared<Connection>(dbc);
    return 1;
  }
  HandleConnectionError(session, SQL_HANDLE_DBC, dbc, rc, "SQLDriverConnect");
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  return 0;
}

int ConnectWithRecovery(DbSession& session, std::string_view connectionString, std::string_view userName,
                        std::string_view password) {
  const ProviderSettings& settings = Settings();
  if (settings.ConnectionMode != 0 || settings.ConnectionRecoveryMode != 1) {
    return Connect(session, connectionString, userName, password);
  }
  State& s = S();
  int expected = 0;
  if (!s.connectInProgress.compare_exchange_strong(expected, 2)) return 0;
  int result = Connect(session, connectionString, userName, password);
  if (result == 0) {
    std::unique_ptr<platform::Event> never = platform::CreateEvent();
    MessageWait(never.get(), kConnectPauseMs);
    LogMessage(kLogDiagnostic, "TW-IXXXX: Timeout occurred Opening DB Connection\n");
  }
  s.connectInProgress = 0;
  return result;
}

int OpenSharedConnection() {
  const ProviderSettings& settings = Settings();
  DbSession session;
  int result = ConnectWithRecovery(session, settings.ConnectionString, settings.UserName, settings.Password);
  if (result != 0) PublishShared(session.connection, SharedConnection());
  S().isConnected = result;
  return result;
}

void Disconnect(DbSession& session) {
  session.connection.reset();  // the last owner disconnects and frees it
  bool wasConnected = session.perCall ? session.connected : S().isConnected.load() != 0;
  LogClosing(wasConnected);
  session.connected = false;
  S().isConnected = 0;
}

void CloseEnvironment() {
  State& s = S();
  try {
    ConnectionPtr shared = TakeShared();
    shared.reset();
    std::lock_guard<std::mutex> guard(s.envMutex);
    if (s.env != SQL_NULL_HENV) {
      if (Succeeded(SQLFreeHandle(SQL_HANDLE_ENV, s.env))) {
        s.env = SQL_NULL_HENV;
      } else {
        LogMessage(kLogDiagnostic, "TW-IXXXX: Problem freeing handle\n");
      }
    }
  } catch (...) {
    LogMessage(kLogDiagnostic, "TW-IXXXX: Problem freeing handle\n");
  }
  LogClosing(s.isConnected.load() != 0);
  s.isConnected = 0;
}

void HandleConnectionError(DbSession& session, SQLSMALLINT handleType, SQLHANDLE handle, SQLRETURN rc,
                           const char* operation) {
  if (rc != SQL_ERROR && rc != SQL_SUCCESS_WITH_INFO) return;
  Diagnostic d = ReadDiagnostic(handleType, handle);
  ReportDatabaseFailure(d.message.c_str(), d.readResult, operation);
  // A connection that failed mid-life is replaced at once; a connect that
  // failed has nothing to replace (retrying it here would only double the
  // wait for a server that is down).
  if (Settings().ConnectionMode == 0 && session.connection != nullptr) {
    if (QuickReconnect(session) == 0) return;
  }
  LogConnectionDiagnostic(operation, rc, d);
}

SQLRETURN QuickReconnect(DbSession& session) {
  ConnectionPtr old = std::exchange(session.connection, nullptr);
  const bool shared = Settings().ConnectionMode == 0;
  if (shared) {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.sharedMutex);
    if (s.shared == old) s.shared = nullptr;
  }
  old.reset();
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (!Succeeded(AllocateConnectionHandle(session.env, &dbc))) return 0;
  SQLRETURN rc = DriverConnect(dbc, Settings().ConnectionString);
  if (Succeeded(rc)) {
    session.connection = std::make_shared<Connection>(dbc);
    if (shared) PublishShared(session.connection, nullptr);
  } else {
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  }
  return rc;
}

int RecycleSharedConnection() {
  if (Settings().ConnectionMode != 0) return 1;
  if (!LockConnection(kLockWaitMs)) return 1;
  std::unique_ptr<platform::Event> never = platform::CreateEvent();
  MessageWait(never.get(), kRecyclePauseMs);
  DbSession shared;
  shared.connection = TakeShared();
  Disconnect(shared);
  OpenSharedConnection();
  UnlockConnection();
  return 1;
}

bool IsConnectionLost(int32_t nativeError, std::string_view sqlState) {
  switch (static_cast<int16_t>(nativeError & 0xFFFF)) {
    case 0:      // no native error: the driver lost its link
    case 2006:   // server has gone away
    case 2013:   // lost connection during query
    case 2055:   // lost connection (system error)
    case 5014:   // MariaDB Connector: read/write on a broken socket
    case 10054:  // connection reset by peer
      return true;
    default:
      break;
  }
  return sqlState.size() >= 2 && sqlState[0] == '0' && sqlState[1] == '8';
}

int ReportDatabaseFailure(const char* message, SQLRETURN diagRc, const char* command) {
  uint32_t status = 1;
  ReadRegistryDword(kProvidersKey, "Event Log Status", &status);
  if (status != 1 && status != 2) return 1;
  std::string text = "FAILURE: (";
  text += command != nullptr ? command : "";
  text += "), ";
  if (diagRc == SQL_ERROR || diagRc == SQL_INVALID_HANDLE) {
    text += "SQLGetDiagRec failed to retrieve error info\n";
  } else {
    std::string path = platform::ExecutablePath();
    text += "Module: ";
    text += FileNamePart(path.c_str());
    text += "; Error: ";
    text += message != nullptr ? message : "";
    text += '\n';
  }
  if (text.size() > 2047) text.resize(2047);
  State& s = S();
  if (status == 1) {
    bool expected = false;
    if (!s.eventLogMark.compare_exchange_strong(expected, true)) return 1;
  }
  WriteEventLog(1, "Tallowmere", nullptr, 10000, text.c_str());
  return 1;
}

}  // namespace tallowmere::provider
