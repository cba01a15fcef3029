// The frame every store operation runs its one statement in: acquire a
// session, allocate a statement with the cursor settings of the connection
// mode, execute the text directly, evaluate a failed execution, fetch one
// row for reads, free the statement, release the session. Thread-safe: each
// call has its own session and statement. Every exit releases the session
// once and frees the statement once. Failures are logged here (and by
// connection.h); callers only map the exit to their result code.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "provider/connection.h"

namespace tallowmere::provider {

// A statement handle, freed (SQLFreeHandle) when it goes out of scope.
class Statement {
 public:
  Statement() = default;
  ~Statement() { Free(); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  SQLHSTMT handle() const { return handle_; }
  SQLHSTMT* out() { return &handle_; }
  void Free();

 private:
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

// 1 usable session; 0 no connection (already reported). Call ReleaseSession
// afterwards in every case.
int AcquireSession(DbSession& session);
// Per-call mode: disconnects (logging the closing line). Returns 1.
int ReleaseSession(DbSession& session);
// 1 allocated with the cursor type and concurrency of the mode; 0 after
// reporting through HandleConnectionError ("SQLAllocHandle").
int AllocateStatement(DbSession& session, Statement& statement);
// Evaluates a failed execution. 1: tolerated (a duplicate key: 2601, 2627,
// 1062, or SQLite's "UNIQUE constraint failed"; level-10 line), the statement
// stays allocated. 0: rejected, the statement has been freed; lost
// connections and errors are logged, and in shared mode the shared
// connection is recycled. SQL_NO_DATA is rejected silently.
int HandleStatementError(SQLSMALLINT handleType, Statement& statement, SQLRETURN rc,
                         const char* statementText);
// Logs the text, (re)connects when needed, runs it with ExecCursorType() and
// concurrency 4. 1 executed or tolerated, 0 otherwise.
int ExecuteQuery(DbSession& session, const char* statementText);

// --- Running one store statement through the whole frame ---

// How the frame ended; each store maps it to its own result code.
enum class FrameExit { kNoSession, kNoStatement, kRejected, kNoRow, kSuccess };

struct ExitResults {
  int32_t noSession = 0;
  int32_t noStatement = 0;
  int32_t rejected = 0;  // also: a statement that could not be built
  int32_t noRow = 0;
  int32_t success = 1;
};
int32_t ResultOf(FrameExit exit, const ExitResults& results);

// One result column bound into the caller's record.
struct ResultColumn {
  enum Kind : uint8_t { kText, kInteger };
  Kind kind;
  size_t offset;  // of the field within the record
  size_t width;   // text: buffer length in bytes (the field width); integer: 4
};

// Where a single-row read puts its row. Columns are bound from column 2 on
// (column 1 is ID). The record is written only when a row is fetched, and
// every text field then ends within its width (NUL at width − 1 at the
// latest, whatever the driver wrote).
struct RowTarget {
  void* record = nullptr;
  size_t recordSize = 0;
  std::span<const ResultColumn> columns;
  int32_t* id = nullptr;  // non-null: column 1 (ID) is bound and stored here on success
};

struct RunOptions {
  // Commands: an UPDATE or DELETE that matched no row takes the SQL_NO_DATA
  // path (kRejected, nothing logged) even where the driver answers
  // SQL_SUCCESS with a row count of 0.
  bool requireMatch = true;
  // Log "SQLExecDirect Failed: %ld. %s" before evaluating a failed
  // execution and "SQLExecDirect Failed: %ld." when it is tolerated.
  bool logExecFailure = false;
};

// A command (INSERT, UPDATE, DELETE) through the frame.
FrameExit RunCommand(std::string_view statementText, const RunOptions& options = {});
// A single-row read through the frame.
FrameExit RunSingleRowRead(std::string_view statementText, const RowTarget& target,
                           const RunOptions& options = {});

}  // namespace tallowmere::provider
