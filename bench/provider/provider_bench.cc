// Single-row reads and inserts per second through the provider frame, in
// shared and per-call connection mode, beside plain ODBC loops running the
// same statements (one persistent connection; connect and disconnect
// through the driver manager's pool around each statement).
//
//   provider_bench --provider MySQL|SQLite --connection "DSN=...;UID=..;PWD=.."
//                  [--ops N]
// Prints one line per measurement: provider, workload, pattern, ops/s.
// Needs the ODBC configuration of scripts/test-services.sh (or a real one).
#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>
#include <algorithm>

#include "provider/connection.h"
#include "provider/frame.h"
#include "provider/lifecycle.h"
#include "provider/settings.h"
#include "provider/sql_text.h"

namespace tp = tallowmere::provider;

namespace {

struct Member {
  char Address[256];
  char Postoffice[128];
  char Mailbox[128];
};
constexpr tp::ResultColumn kColumns[] = {
    {tp::ResultColumn::kText, offsetof(Member, Address), 256},
    {tp::ResultColumn::kText, offsetof(Member, Postoffice), 128},
    {tp::ResultColumn::kText, offsetof(Member, Mailbox), 128},
};

bool Ok(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

std::string ReadText(int i) {
  std::string match;
  tp::AddTextCondition(match, "Address", "reader" + std::to_string(i % 100) + "@bench.example");
  return tp::Settings().RowLimitHead + " ID,Address,Postoffice,Mailbox FROM LIST_MEMBER WHERE (" + match + ") " +
         tp::Settings().RowLimitTail + ";";
}

std::string InsertText(const std::string& tag, int i) {
  return "INSERT INTO LIST_MEMBER (Address,Postoffice,Mailbox) VALUES (" +
         tp::QuoteText(tag + std::to_string(i) + "@bench.example") + ",'bench','box');";
}

// Loads the provider from a registry file of our own.
void LoadProvider(const std::string& provider, const std::string& connection, int mode, const std::string& regPath) {
  std::ofstream reg(regPath, std::ios::trunc);
  std::string escaped;
  for (char c : connection) {
    if (c == '\\' || c == '"') escaped += '\\';
    escaped += c;
  }
  const std::string key = std::string(tp::kSmtpConnectorKey);
  reg << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" << key << "]\r\n\"Current Provider\"=\"" << provider
      << "\"\r\n\r\n[HKEY_LOCAL_MACHINE\\" << key << "\\" << provider << "]\r\n\"Data Source\"=\"" << escaped
      << "\"\r\n\r\n[HKEY_LOCAL_MACHINE\\" << tp::kProvidersKey << "]\r\n\"Connection Mode\"=dword:0000000"
      << mode << "\r\n\r\n";
  reg.close();
  setenv("TALLOWMERE_REGISTRY", regPath.c_str(), 1);
  tp::ProviderLoad(tp::kSmtpConnectorKey);
}

// A plain ODBC client: its own environment.
struct Plain {
  SQLHENV env = SQL_NULL_HENV;
  std::string connection;
  explicit Plain(std::string c) : connection(std::move(c)) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  }
  ~Plain() { SQLFreeHandle(SQL_HANDLE_ENV, env); }
  SQLHDBC Connect() {
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    if (!Ok(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(connection.data()), SQL_NTS, nullptr, 0,
                             nullptr, SQL_DRIVER_NOPROMPT))) {
      std::fprintf(stderr, "plain connect failed\n");
      std::exit(1);
    }
    return dbc;
  }
  static void Disconnect(SQLHDBC dbc) {
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  }
  static bool Read(SQLHDBC dbc, const std::string& text) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    bool ok = Ok(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())), SQL_NTS));
    Member m;
    SQLLEN ind[3];
    SQLBindCol(stmt, 2, SQL_C_CHAR, m.Address, sizeof m.Address, &ind[0]);
    SQLBindCol(stmt, 3, SQL_C_CHAR, m.Postoffice, sizeof m.Postoffice, &ind[1]);
    SQLBindCol(stmt, 4, SQL_C_CHAR, m.Mailbox, sizeof m.Mailbox, &ind[2]);
    ok = ok && Ok(SQLFetch(stmt));
    SQLCloseCursor(stmt);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return ok;
  }
  static bool Exec(SQLHDBC dbc, const std::string& text) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    bool ok = Ok(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())), SQL_NTS));
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return ok;
  }
};

double Rate(int ops, const std::function<bool(int)>& op) {
  for (int i = 0; i < ops / 20 + 1; ++i) op(-1 - i);  // warm-up (pool, caches)
  auto start = std::chrono::steady_clock::now();
  int failures = 0;
  for (int i = 0; i < ops; ++i) failures += op(i) ? 0 : 1;
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (failures != 0) std::fprintf(stderr, "%d operations failed\n", failures);
  return ops / seconds;
}

void Report(const std::string& provider, const char* workload, const char* pattern, double rate) {
  std::printf("%s\t%s\t%s\t%.0f\n", provider.c_str(), workload, pattern, rate);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::string provider = "MySQL", connection;
  int ops = 3000;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string flag = argv[i];
    if (flag == "--provider") provider = argv[i + 1];
    else if (flag == "--connection") connection = argv[i + 1];
    else if (flag == "--ops") ops = std::atoi(argv[i + 1]);
  }
  if (connection.empty()) {
    std::fprintf(stderr, "usage: %s --provider MySQL|SQLite --connection STRING [--ops N]\n", argv[0]);
    return 2;
  }
  const std::string regPath =
      (std::filesystem::temp_directory_path() / ("provider_bench_" + std::to_string(getpid()) + ".reg")).string();

  // The frame's settings decide the statement texts; the plain loops use the
  // same texts and the same effective connection string.
  LoadProvider(provider, connection, 1, regPath);
  const std::string effective = tp::EffectiveConnectionString(connection);
  tp::ProviderUnload();
  Plain plain(effective);
  {
    SQLHDBC dbc = plain.Connect();
    Plain::Exec(dbc, "DELETE FROM LIST_MEMBER;");
    for (int i = 0; i < 100; ++i) Plain::Exec(dbc, InsertText("reader", i));
    Plain::Disconnect(dbc);
  }

  // Each pattern runs in several rounds, interleaved with the others, and
  // keeps its best round: on a busy machine that compares like with like.
  struct Pattern {
    const char* workload;
    const char* name;
    std::function<void()> setUp;
    std::function<bool(int)> op;
    std::function<void()> tearDown;
    double best = 0;
  };
  SQLHDBC persistent = SQL_NULL_HDBC;
  int serial = 0;  // unique rows for the inserts
  auto plainSetUp = [&] { persistent = plain.Connect(); };
  auto plainTearDown = [&] { Plain::Disconnect(persistent); };
  auto nothing = [] {};
  auto frame = [&](int mode) { return [&, mode] { LoadProvider(provider, connection, mode, regPath); }; };
  auto unload = [] { tp::ProviderUnload(); };
  auto frameRead = [&](int i) {
    Member m;
    tp::RowTarget target;
    target.record = &m;
    target.recordSize = sizeof m;
    target.columns = kColumns;
    return tp::RunSingleRowRead(ReadText(i), target) == tp::FrameExit::kSuccess;
  };
  std::vector<Pattern> patterns = {
      {"read", "plain persistent", plainSetUp, [&](int i) { return Plain::Read(persistent, ReadText(i)); },
       plainTearDown},
      {"read", "plain connect per op (pooled)", nothing,
       [&](int i) {
         SQLHDBC dbc = plain.Connect();
         bool ok = Plain::Read(dbc, ReadText(i));
         Plain::Disconnect(dbc);
         return ok;
       },
       nothing},
      {"read", "frame shared", frame(0), frameRead, unload},
      {"read", "frame per call (pooled)", frame(1), frameRead, unload},
      {"insert", "plain persistent", plainSetUp,
       [&](int) { return Plain::Exec(persistent, InsertText("r", ++serial)); }, plainTearDown},
      {"insert", "plain connect per op (pooled)", nothing,
       [&](int) {
         SQLHDBC dbc = plain.Connect();
         bool ok = Plain::Exec(dbc, InsertText("r", ++serial));
         Plain::Disconnect(dbc);
         return ok;
       },
       nothing},
      {"insert", "frame shared", frame(0),
       [&](int) { return tp::RunCommand(InsertText("r", ++serial)) == tp::FrameExit::kSuccess; }, unload},
      {"insert", "frame per call (pooled)", frame(1),
       [&](int) { return tp::RunCommand(InsertText("r", ++serial)) == tp::FrameExit::kSuccess; }, unload},
  };
  constexpr int kRounds = 5;
  for (int round = 0; round < kRounds; ++round) {
    for (Pattern& p : patterns) {
      p.setUp();
      p.best = std::max(p.best, Rate(std::max(ops / kRounds, 1), p.op));
      p.tearDown();
    }
  }
  for (const Pattern& p : patterns) Report(provider, p.workload, p.name, p.best);
  std::filesystem::remove(regPath);
  return 0;
}
