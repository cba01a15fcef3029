// Connection manager: the process-wide ODBC environment, the shared
// connection (shared connection mode) or one connection per operation
// (per-call mode, pooled by the driver manager), connection-level
// diagnostics, the event-log report and the recovery of the shared
// connection. Thread-safe: opening and re-opening the shared connection is
// serialised by ConnectionLock (waits bounded to 10 s); a DbSession holds a
// reference to its connection, so a connection that is being replaced stays
// valid until every statement running on it has finished.
// Functions return 1 for success and 0 for failure unless stated.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tallowmere::provider {

// One ODBC connection handle. Owned through ConnectionPtr; the last owner
// disconnects and frees it ("Problem disconnecting" / "Problem freeing
// handle" at level 9 when that fails).
class Connection {
 public:
  explicit Connection(SQLHDBC handle) : handle_(handle) {}
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  SQLHDBC handle() const { return handle_; }

 private:
  SQLHDBC handle_;
};
using ConnectionPtr = std::shared_ptr<Connection>;

// What one store operation works through; lives on the caller's stack.
struct DbSession {
  SQLHENV env = SQL_NULL_HENV;
  ConnectionPtr connection;  // empty while not connected
  bool perCall = false;      // owns its connection (per-call mode)
  bool connected = false;    // this session's own connect succeeded
};

// Creates the environment (per-call mode) or opens the shared connection
// (shared mode). Clears the event-log mark. Called at load.
int InitializeEnvironment();

// Opens one connection into session.connection with the given connection
// string. Logs the level-8 open line (password shown as "****"). For MySql
// the connection asks for found rows (OPTION flag 2), runs with
// NO_BACKSLASH_ESCAPES (INITSTMT) and, unless the string or its DSN sets
// them, gets the time bounds CONN_TIMEOUT=5, READ_TIMEOUT=30 and
// WRITE_TIMEOUT=30, so a silent server cannot hold a connect or a statement
// for good. On failure reports through
// HandleConnectionError ("SQLDriverConnect") and leaves the session empty.
int Connect(DbSession& session, std::string_view connectionString, std::string_view userName,
            std::string_view password);
// Connect, plus in shared mode with recovery mode 1: refuses re-entry while
// a recovering connect runs, and after a failure pauses 2 s and logs
// "Timeout occurred Opening DB Connection".
int ConnectWithRecovery(DbSession& session, std::string_view connectionString,
                        std::string_view userName, std::string_view password);
// Shared mode: ConnectWithRecovery with the configured texts; on success the
// new connection becomes the shared connection. Sets IsConnected to the
// result. The caller holds ConnectionLock (or runs during load).
int OpenSharedConnection();
// Drops the session's connection and logs the closing line.
void Disconnect(DbSession& session);
// Unload: drops the shared connection, frees the environment, logs the
// closing line. Never throws.
void CloseEnvironment();

// Reads diagnostic record 1 of `handle` after a failed connection-level call
// (rc SQL_ERROR or SQL_SUCCESS_WITH_INFO; anything else: nothing), reports to
// the event log, in shared mode tries QuickReconnect when the session holds
// a connection, and logs the "Database Command (%s) Failed" line.
void HandleConnectionError(DbSession& session, SQLSMALLINT handleType, SQLHANDLE handle,
                           SQLRETURN rc, const char* operation);
// Replaces the session's connection with a fresh one made from the
// configured connection string (and, in shared mode, publishes it as the
// shared connection). Returns the driver connect's return code, or 0 when no
// handle could be allocated. Neither logs nor touches IsConnected.
SQLRETURN QuickReconnect(DbSession& session);
// Shared mode: under ConnectionLock (at most 10 s), pause 20 s, drop the
// shared connection and open a new one. Returns 1 always.
int RecycleSharedConnection();
// True for a lost connection: native error (low 16 bits) 0, 2006, 2013,
// 2055, 5014 or 10054, or any SQLSTATE of class "08".
bool IsConnectionLost(int32_t nativeError, std::string_view sqlState = {});
// Writes the event-log entry for a database failure as "Event Log Status"
// allows (0 never, 1 first failure after load, 2 always). Returns 1.
int ReportDatabaseFailure(const char* message, SQLRETURN diagRc, const char* command);

// The open-connection log text: the connection string with the values of
// PWD and Password (any case) replaced by "****".
std::string MaskPassword(std::string_view connectionString);
// The connection string actually handed to the driver (dialect additions).
std::string EffectiveConnectionString(std::string_view connectionString);

// Process-wide state, exposed for the frame and for tests.
std::atomic<int>& IsConnected();
SQLHENV Environment();
// The current shared connection (empty in per-call mode or when closed).
ConnectionPtr SharedConnection();
// ConnectionLock: wait at most `milliseconds`; true when obtained.
bool LockConnection(uint32_t milliseconds);
void UnlockConnection();

// One diagnostic record.
struct Diagnostic {
  SQLRETURN readResult = SQL_ERROR;  // result of SQLGetDiagRec
  std::string sqlState;
  int32_t nativeError = 0;
  std::string message;  // at most 511 characters
};
Diagnostic ReadDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle);

}  // namespace tallowmere::provider
