// The statement frame and the one-statement runners.
#include "provider/frame.h"

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "provider/logging.h"
#include "provider/settings.h"

namespace tallowmere::provider {
namespace {

constexpr uint32_t kLockWaitMs = 10000;

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

void SetStatementAttribute(SQLHSTMT statement, SQLINTEGER attribute, int32_t value) {
  SQLSetStmtAttr(statement, attribute,
                 reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(value)), SQL_IS_INTEGER);
}

// A duplicate key: SQL Server 2601 (unique index) and 2627 (unique
// constraint), MySQL/MariaDB 1062, SQLite's "UNIQUE constraint failed".
bool IsDuplicateKey(const Diagnostic& d) {
  switch (d.nativeError) {
    case 2601:
    case 2627:
    case 1062:
      return true;
    case 19:    // SQLITE_CONSTRAINT
    case 1555:  // SQLITE_CONSTRAINT_PRIMARYKEY
    case 2067:  // SQLITE_CONSTRAINT_UNIQUE
      return d.message.find("UNIQUE constraint failed") != std::string::npos;
    default:
      return false;
  }
}

void LogConnectionFailed(const Diagnostic& d) {
  if (d.message.empty()) {
    LogFormat(kLogDiagnostic, 8192, "TW-IXXXX: Database Connection Failed: %ld. Connection Closed.\n",
              static_cast<long>(d.nativeError));
  } else {
    LogFormat(kLogDiagnostic, 8192,
              "TW-IXXXX: Database Connection Failed, Native Error: %ld; Connection Error: %s; Action: "
              "Connection Closed.\n",
              static_cast<long>(d.nativeError), d.message.c_str());
  }
}

// Executes `text` on an allocated statement and evaluates a failure.
// Returns false when the execution was rejected (statement already freed).
bool ExecuteAndEvaluate(Statement& statement, const std::string& text, bool isCommand,
                        const RunOptions& options) {
  SQLRETURN rc = SQLExecDirect(statement.handle(),
                               reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())), SQL_NTS);
  if (Succeeded(rc) && isCommand && options.requireMatch) {
    // Drivers that answer SQL_SUCCESS with a row count of 0 for a command
    // that matched nothing take the same path as those answering SQL_NO_DATA.
    SQLLEN rows = -1;
    if (Succeeded(SQLRowCount(statement.handle(), &rows)) && rows == 0) rc = SQL_NO_DATA;
  }
  if (Succeeded(rc)) return true;
  if (options.logExecFailure) {
    LogFormat(kLogDiagnostic, 8192, "TW-IXXXX: SQLExecDirect Failed: %ld. %s\n", static_cast<long>(rc),
              text.c_str());
  }
  if (HandleStatementError(SQL_HANDLE_STMT, statement, rc, text.c_str()) == 0) return false;
  if (options.logExecFailure) {
    LogFormat(kLogDiagnostic, 1024, "TW-IXXXX: SQLExecDirect Failed: %ld.\n", static_cast<long>(rc));
  }
  return true;
}

}  // namespace

void Statement::Free() {
  if (handle_ != SQL_NULL_HSTMT) {
    SQLFreeHandle(SQL_HANDLE_STMT, handle_);
    handle_ = SQL_NULL_HSTMT;
  }
}

int AcquireSession(DbSession& session) {
  const ProviderSettings& settings = Settings();
  if (settings.ConnectionMode != 0) {
    session.perCall = true;
    session.env = Environment();
    int connected =
        ConnectWithRecovery(session, settings.ConnectionString, settings.UserName, settings.Password);
    session.connected = connected != 0;
    IsConnected() = connected;
    return connected;
  }
  if (!LockConnection(kLockWaitMs)) return 0;
  if (IsConnected() == 0 || SharedConnection() == nullptr) {
    if (OpenSharedConnection() == 0) {
      UnlockConnection();
      return 0;
    }
  }
  session.perCall = false;
  session.env = Environment();
  session.connection = SharedConnection();
  session.connected = session.connection != nullptr;
  UnlockConnection();
  return session.connected ? 1 : 0;
}

int ReleaseSession(DbSession& session) {
  if (session.perCall) {
    Disconnect(session);
  } else {
    session.connection.reset();
    session.connected = false;
  }
  session.env = SQL_NULL_HENV;
  return 1;
}

int AllocateStatement(DbSession& session, Statement& statement) {
  statement.Free();
  SQLHDBC dbc = session.connection != nullptr ? session.connection->handle() : SQL_NULL_HDBC;
  SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, dbc, statement.out());
  if (!Succeeded(rc)) {
    *statement.out() = SQL_NULL_HSTMT;
    HandleConnectionError(session, SQL_HANDLE_DBC, dbc, rc, "SQLAllocHandle");
    return 0;
  }
  int32_t cursor = 0, concurrency = 1;  // per-call mode: forward-only, read-only
  if (Settings().ConnectionMode == 0) {
    if (Settings().Dialect == SqlDialect::kSqlServer) {
      cursor = 1;
      concurrency = 1;
    } else {
      cursor = FetchCursorType();
      concurrency = FetchConcurrencyType();
    }
  }
  SetStatementAttribute(statement.handle(), SQL_ATTR_CURSOR_TYPE, cursor);
  SetStatementAttribute(statement.handle(), SQL_ATTR_CONCURRENCY, concurrency);
  return 1;
}

int HandleStatementError(SQLSMALLINT handleType, Statement& statement, SQLRETURN rc,
                         const char* statementText) {
  if (rc != SQL_ERROR && rc != SQL_SUCCESS_WITH_INFO) {  // SQL_NO_DATA among them
    statement.Free();
    return 0;
  }
  LogMessage(kLogDiagnostic, "TW-IXXXX: Getting error details.\n");
  Diagnostic d = ReadDiagnostic(handleType, statement.handle());
  if (d.readResult == SQL_ERROR || d.readResult == SQL_INVALID_HANDLE) {
    LogFormat(kLogDiagnostic, 1024, "TW-IXXXX: SQLGetDiagRec failed. nativeerror %ld\n",
              static_cast<long>(d.nativeError));
    statement.Free();
    return 0;
  }
  if (IsConnectionLost(d.nativeError, d.sqlState)) {
    ReportDatabaseFailure(d.message.c_str(), d.readResult, statementText);
    LogFormat(kLogDiagnostic, 8192, "TW-IXXXX: Database Connection connection closed due to error. %ld %s\n",
              static_cast<long>(d.nativeError), d.message.c_str());
    LogConnectionFailed(d);
  } else if (IsDuplicateKey(d)) {
    LogFormat(kLogTolerated, 1024, "TW-IXXXX: Native error %d.\n", static_cast<int>(d.nativeError));
    return 1;
  } else {
    LogConnectionFailed(d);
  }
  statement.Free();
  if (Settings().ConnectionMode == 0) RecycleSharedConnection();
  return 0;
}

int ExecuteQuery(DbSession& session, const char* statementText) {
  const char* text = statementText != nullptr ? statementText : "";
  LogFormat(kLogDiagnostic, 8192, "TW-IXXXX: Executing Query: %s\n", text);
  const ProviderSettings& settings = Settings();
  if (IsConnected() == 0 || session.connection == nullptr) {
    int connected =
        ConnectWithRecovery(session, settings.ConnectionString, settings.UserName, settings.Password);
    IsConnected() = connected;
    if (connected == 0) return 0;
  }
  Statement statement;
  SQLHDBC dbc = session.connection->handle();
  SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, dbc, statement.out());
  if (!Succeeded(rc)) {
    *statement.out() = SQL_NULL_HSTMT;
    HandleConnectionError(session, SQL_HANDLE_DBC, dbc, rc, "SQLAllocHandle");
    return 0;
  }
  SetStatementAttribute(statement.handle(), SQL_ATTR_CURSOR_TYPE, ExecCursorType());
  SetStatementAttribute(statement.handle(), SQL_ATTR_CONCURRENCY, SQL_CONCUR_VALUES);
  rc = SQLExecDirect(statement.handle(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(text)), SQL_NTS);
  if (!Succeeded(rc) && HandleStatementError(SQL_HANDLE_STMT, statement, rc, text) == 0) return 0;
  statement.Free();
  return 1;
}

int32_t ResultOf(FrameExit exit, const ExitResults& results) {
  switch (exit) {
    case FrameExit::kNoSession: return results.noSession;
    case FrameExit::kNoStatement: return results.noStatement;
    case FrameExit::kRejected: return results.rejected;
    case FrameExit::kNoRow: return results.noRow;
    case FrameExit::kSuccess: return results.success;
  }
  return results.rejected;
}

namespace {

// The frame up to an executed statement: session, statement, execution.
// kSuccess leaves both open for the caller; any other exit has released the
// session (the statement handle goes with its owner).
FrameExit OpenAndExecute(std::string_view statementText, bool isCommand, const RunOptions& options,
                         DbSession& session, Statement& statement) {
  const std::string text(statementText);
  FrameExit exit = FrameExit::kSuccess;
  if (AcquireSession(session) == 0) {
    exit = FrameExit::kNoSession;
  } else if (AllocateStatement(session, statement) == 0) {
    exit = FrameExit::kNoStatement;
  } else if (!ExecuteAndEvaluate(statement, text, isCommand, options)) {
    exit = FrameExit::kRejected;
  }
  if (exit != FrameExit::kSuccess) ReleaseSession(session);
  return exit;
}

}  // namespace

FrameExit RunCommand(std::string_view statementText, const RunOptions& options) {
  DbSession session;
  Statement statement;
  const FrameExit exit = OpenAndExecute(statementText, true, options, session, statement);
  if (exit != FrameExit::kSuccess) return exit;
  statement.Free();
  ReleaseSession(session);
  return FrameExit::kSuccess;
}

FrameExit RunSingleRowRead(std::string_view statementText, const RowTarget& target,
                           const RunOptions& options) {
  DbSession session;
  Statement statement;
  const FrameExit exit = OpenAndExecute(statementText, false, options, session, statement);
  if (exit != FrameExit::kSuccess) return exit;
  // The row lands in a copy of the record, so a fetch that fails half-way
  // leaves the caller's record as it was.
  std::array<char, 4096> small;
  std::vector<char> large;
  char* scratch = small.data();
  if (target.recordSize > small.size()) {
    large.resize(target.recordSize);
    scratch = large.data();
  }
  if (target.record != nullptr && target.recordSize != 0) {
    std::memcpy(scratch, target.record, target.recordSize);
  }
  // Indicators tell a NULL column apart on every driver (some fail the
  // fetch without one, others return an empty text); a NULL fails the read.
  SQLINTEGER id = 0;
  SQLLEN idIndicator = 0;
  if (target.id != nullptr) SQLBindCol(statement.handle(), 1, SQL_C_LONG, &id, sizeof id, &idIndicator);
  std::array<SQLLEN, 64> smallIndicators{};
  std::vector<SQLLEN> largeIndicators;
  SQLLEN* indicators = smallIndicators.data();
  if (target.columns.size() > smallIndicators.size()) {
    largeIndicators.resize(target.columns.size());
    indicators = largeIndicators.data();
  }
  SQLUSMALLINT column = 2;
  for (size_t i = 0; i < target.columns.size(); ++i, ++column) {
    const ResultColumn& c = target.columns[i];
    const size_t width = c.kind == ResultColumn::kInteger ? sizeof(int32_t) : c.width;
    indicators[i] = 0;
    if (target.record != nullptr && width != 0 && c.offset + width <= target.recordSize) {
      SQLBindCol(statement.handle(), column, c.kind == ResultColumn::kInteger ? SQL_C_LONG : SQL_C_CHAR,
                 scratch + c.offset, static_cast<SQLLEN>(width), &indicators[i]);
    }
  }
  SQLRETURN rc = SQLFetch(statement.handle());
  SQLCloseCursor(statement.handle());
  bool hasNull = target.id != nullptr && idIndicator == SQL_NULL_DATA;
  for (size_t i = 0; i < target.columns.size(); ++i) hasNull = hasNull || indicators[i] == SQL_NULL_DATA;
  if (!Succeeded(rc) || hasNull) {
    statement.Free();
    ReleaseSession(session);
    return FrameExit::kNoRow;
  }
  for (const ResultColumn& c : target.columns) {
    if (c.kind == ResultColumn::kText && c.width != 0 && c.offset + c.width <= target.recordSize) {
      scratch[c.offset + c.width - 1] = '\0';
    }
  }
  if (target.record != nullptr && target.recordSize != 0) {
    std::memcpy(target.record, scratch, target.recordSize);
  }
  if (target.id != nullptr) *target.id = static_cast<int32_t>(id);
  statement.Free();
  ReleaseSession(session);
  return FrameExit::kSuccess;
}

}  // namespace tallowmere::provider
