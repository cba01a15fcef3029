// Store benchmark: ListGet by name, ListAdd, SMTPAccessFindNext with an IPv4
// address over 10,000 rules, and a full ListFindFirst/ListFindNext walk of
// 10,000 lists, through the dlopen-ed libraries in both connection modes,
// each beside a plain ODBC loop that runs the same statement texts (one
// persistent connection for shared mode; connect and disconnect through the
// driver manager's pool around each statement for per-call mode).
//
//   stores_bench LOGIN_CONNECTION_STRING [operations]
//
// LOGIN_CONNECTION_STRING reaches a MariaDB server as a user that may create
// databases named tallowmere_*; a scratch database is created and dropped.
// Prints one table row per measurement.
#include <dlfcn.h>
#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "listprov/list_families.h"
#include "provider/connection.h"
#include "provider/settings.h"
#include "smtpprov/smtp_families.h"
#include "stores/record_family.h"
#include "tallowmere/listprov.h"
#include "tallowmere/smtpprov.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRows = 10000;
constexpr int kWarmUp = 50;

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "stores_bench: %s\n", what.c_str());
  std::exit(1);
}

// --- plain ODBC -----------------------------------------------------------

SQLHENV gEnv = SQL_NULL_HENV;

SQLHDBC Connect(const std::string& connection) {
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLAllocHandle(SQL_HANDLE_DBC, gEnv, &dbc);
  SQLCHAR out[1024];
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, (SQLCHAR*)connection.c_str(), SQL_NTS, out, sizeof out, &length,
                                      SQL_DRIVER_NOPROMPT)))
    Die("cannot connect with " + connection);
  return dbc;
}
void Disconnect(SQLHDBC dbc) {
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
}
void Exec(SQLHDBC dbc, const std::string& sql) {
  SQLHSTMT stmt;
  SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
  const SQLRETURN rc = SQLExecDirect(stmt, (SQLCHAR*)sql.c_str(), SQL_NTS);
  if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) Die("statement failed: " + sql.substr(0, 120));
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}
// The frame's work without the frame: execute, bind every column of the
// family into a record, fetch one row, close, free.
// The statement attributes the frame sets: shared mode under MySQL the
// configured fetch cursor type and concurrency (defaults keyset-driven and
// values), per-call mode forward-only and read-only.
SQLULEN gCursorType = SQL_CURSOR_FORWARD_ONLY;
SQLULEN gConcurrency = SQL_CONCUR_READ_ONLY;
SQLHSTMT NewStatement(SQLHDBC dbc) {
  SQLHSTMT stmt;
  SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
  SQLSetStmtAttr(stmt, SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(gCursorType), SQL_IS_INTEGER);
  SQLSetStmtAttr(stmt, SQL_ATTR_CONCURRENCY, reinterpret_cast<SQLPOINTER>(gConcurrency), SQL_IS_INTEGER);
  return stmt;
}

bool PlainRead(SQLHDBC dbc, const std::string& sql, const tallowmere::stores::FamilySpec& family, void* record) {
  SQLHSTMT stmt = NewStatement(dbc);
  bool ok = false;
  if (SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR*)sql.c_str(), SQL_NTS))) {
    SQLINTEGER id = 0;
    SQLLEN indicators[64];
    SQLBindCol(stmt, 1, SQL_C_LONG, &id, sizeof id, &indicators[0]);
    SQLUSMALLINT column = 2;
    for (const auto& field : family.fields) {
      SQLBindCol(stmt, column, field.kind == tallowmere::stores::FieldKind::kText ? SQL_C_CHAR : SQL_C_LONG,
                 static_cast<char*>(record) + field.offset, field.width, &indicators[column - 1]);
      ++column;
    }
    ok = SQL_SUCCEEDED(SQLFetch(stmt));
    SQLCloseCursor(stmt);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return ok;
}

// --- the libraries ----------------------------------------------------------

struct Loaded {
  void* handle = nullptr;
  fs::path copy;
  template <typename F>
  F Fn(const char* name) {
    auto f = reinterpret_cast<F>(dlsym(handle, name));
    if (!f) Die(std::string("missing export ") + name);
    return f;
  }
  ~Loaded() {
    if (handle) dlclose(handle);
    std::error_code ec;
    fs::remove(copy, ec);
  }
};

// A fresh copy of the library, loaded against `registry`.
std::unique_ptr<Loaded> Load(const fs::path& libDir, const std::string& name, const fs::path& registry) {
  static int counter = 0;
  auto loaded = std::make_unique<Loaded>();
  loaded->copy = fs::temp_directory_path() /
                 ("tallowmere-bench-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".so");
  fs::copy_file(libDir / ("lib" + name + ".so"), loaded->copy, fs::copy_options::overwrite_existing);
  setenv("TALLOWMERE_REGISTRY", registry.c_str(), 1);
  loaded->handle = dlopen(loaded->copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!loaded->handle) Die(dlerror());
  return loaded;
}

void WriteRegistry(const fs::path& file, const std::string& connection, int mode) {
  std::string escaped;
  for (char c : connection) {
    if (c == '\\' || c == '"') escaped += '\\';
    escaped += c;
  }
  std::ofstream out(file, std::ios::trunc);
  for (const char* connector : {"LS", "SMTP"}) {
    const std::string key =
        std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere\\Connectors\\") + connector +
        "\\Providers\\Configuration";
    out << "[" << key << "]\n\"Current Provider\"=\"MySQL\"\n\n[" << key << "\\MySQL]\n\"Data Source\"=\"" << escaped
        << "\"\n\n";
  }
  out << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere\\Providers]\n\"Connection Mode\"=dword:0000000"
      << mode << "\n\"Event Log Status\"=dword:00000000\n";
}

// --- records ---------------------------------------------------------------

ListRecord ListCriteria(const std::string& name) {
  ListRecord r;
  std::memset(&r, 0, sizeof r);
  std::snprintf(r.ListName, sizeof r.ListName, "%s", name.c_str());
  int32_t* ints[] = {&r.ListType, &r.Status, &r.HeaderAnnotationStatus, &r.FooterAnnotationStatus};
  for (auto* i : ints) *i = -1;
  return r;
}
ListRecord NewList(const std::string& name) {
  ListRecord r;
  std::memset(&r, 0, sizeof r);
  std::snprintf(r.ListName, sizeof r.ListName, "%s", name.c_str());
  std::snprintf(r.AccountName, sizeof r.AccountName, "bench");
  std::snprintf(r.Description, sizeof r.Description, "Benchmark list %s", name.c_str());
  std::snprintf(r.ListAddress, sizeof r.ListAddress, "%s@lists.example.com", name.c_str());
  return r;
}
SMTPAccessRecord AccessCriteria(const std::string& address) {
  SMTPAccessRecord r;
  std::memset(&r, 0, sizeof r);
  r.Mode = 1;
  r.Status = -1;
  std::snprintf(r.AddressMask, sizeof r.AddressMask, "%s", address.c_str());
  return r;
}

// --- measurement -----------------------------------------------------------

struct Row {
  std::string operation, mode, through;
  int count;
  double seconds;
};
std::vector<Row> gRows;
std::vector<std::string> gNotes;

// Runs the export and the plain loop in alternating rounds of count/rounds
// operations each and keeps each side's best round, so that other work on
// the machine weighs on both sides alike. Records two rows.
void Compare(const std::string& operation, const std::string& mode, int count,
             const std::function<void(int)>& exportBody, const std::function<void(int)>& plainBody) {
  constexpr int kRounds = 5;
  const int perRound = std::max(1, count / kRounds);
  // Warm-up (connections, pools, caches) before anything is timed.
  // Indices from `count` on, so that no warm-up row collides with a timed one.
  for (int i = count; i < count + kWarmUp; ++i) {
    exportBody(i);
    plainBody(i);
  }
  double best[2] = {1e300, 1e300};
  for (int round = 0; round < kRounds; ++round) {
    for (int side = 0; side < 2; ++side) {
      const auto start = Clock::now();
      for (int i = round * perRound; i < (round + 1) * perRound; ++i) (side == 0 ? exportBody : plainBody)(i);
      best[side] = std::min(best[side], std::chrono::duration<double>(Clock::now() - start).count());
    }
  }
  gRows.push_back({operation, mode, "export", perRound, best[0]});
  gRows.push_back({operation, mode, "plain ODBC", perRound, best[1]});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) Die("usage: stores_bench LOGIN_CONNECTION_STRING [operations]");
  const std::string login = argv[1];
  const int operations = argc > 2 ? std::atoi(argv[2]) : 2000;
  const fs::path libDir = fs::canonical("/proc/self/exe").parent_path().parent_path() / "lib";

  // Pooled connections for the per-call loop, as the library asks for them.
  SQLSetEnvAttr(SQL_NULL_HANDLE, SQL_ATTR_CONNECTION_POOLING, reinterpret_cast<SQLPOINTER>(SQL_CP_ONE_PER_DRIVER),
                SQL_IS_INTEGER);
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &gEnv);
  SQLSetEnvAttr(gEnv, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
  auto& settings = tallowmere::provider::Settings();
  settings.Dialect = tallowmere::provider::SqlDialect::kMySql;
  settings.RowLimitHead = "SELECT ";
  settings.RowLimitTail = " LIMIT 1";

  const std::string database = "tallowmere_bench_" + std::to_string(getpid());
  {
    SQLHDBC admin = Connect(login);
    Exec(admin, "DROP DATABASE IF EXISTS " + database);
    Exec(admin, "CREATE DATABASE " + database + " CHARACTER SET latin1");
    Disconnect(admin);
  }
  // The connection string the libraries use, and the one the plain loops
  // use (with the same additions the provider makes for MariaDB).
  const std::string connection = login + ";DATABASE=" + database;
  const std::string plainConnection = tallowmere::provider::EffectiveConnectionString(connection);
  {
    SQLHDBC dbc = Connect(plainConnection);
    const char* schema = std::getenv("TALLOWMERE_BENCH_SCHEMA");
    std::ifstream in(schema ? schema : "schema/mariadb.sql");
    std::string line, statement;
    while (std::getline(in, line)) {
      if (auto dash = line.find("--"); dash != std::string::npos) line.erase(dash);
      statement += line + "\n";
      if (line.find(';') != std::string::npos) {
        Exec(dbc, statement);
        statement.clear();
      }
    }
    // 10,000 lists and 10,000 access rules (10.a.b.* masks, every tenth a
    // 10.a.*.* mask), inserted in bulk.
    for (int chunk = 0; chunk < kRows; chunk += 500) {
      std::string lists = "INSERT INTO LIST (ListName,AccountName,Description) VALUES ";
      std::string rules = "INSERT INTO SMTP_ACCESS (Mode,AddressMask,Status,Account,AccessRight) VALUES ";
      for (int i = chunk; i < chunk + 500; ++i) {
        if (i != chunk) lists += ",", rules += ",";
        lists += "('list" + std::to_string(i) + "','bench','Benchmark list')";
        const std::string mask = i % 10 == 0 ? "10." + std::to_string(i / 40) + ".*.*"
                                             : "10." + std::to_string(i / 250) + "." + std::to_string(i % 250) + ".*";
        rules += "('1','" + mask + "','0','bench','" + std::to_string(i) + "')";
      }
      Exec(dbc, lists);
      Exec(dbc, rules);
    }
    Disconnect(dbc);
  }

  std::mt19937 random(42);
  std::vector<std::string> names, addresses;
  for (int i = 0; i < operations + kWarmUp; ++i) {
    names.push_back("list" + std::to_string(random() % kRows));
    const int rule = static_cast<int>(random() % kRows);
    addresses.push_back("10." + std::to_string(rule / 250) + "." + std::to_string(rule % 250) + "." +
                        std::to_string(random() % 250));
  }
  using tallowmere::listprov::kListFamily;
  using tallowmere::smtpprov::kAccessFamily;

  const fs::path registry = fs::temp_directory_path() / ("tallowmere-bench-" + std::to_string(getpid()) + ".reg");
  for (int mode : {0, 1}) {
    const std::string modeName = mode == 0 ? "shared" : "per-call";
    gCursorType = mode == 0 ? SQL_CURSOR_KEYSET_DRIVEN : SQL_CURSOR_FORWARD_ONLY;
    gConcurrency = mode == 0 ? SQL_CONCUR_VALUES : SQL_CONCUR_READ_ONLY;
    WriteRegistry(registry, connection, mode);
    auto list = Load(libDir, "listprov", registry);
    auto smtp = Load(libDir, "smtpprov", registry);
    auto listGet = list->Fn<int32_t (*)(ListRecord*)>("ListGet");
    auto listAdd = list->Fn<int32_t (*)(const ListRecord*)>("ListAdd");
    auto listFindFirst = list->Fn<int32_t (*)(ListRecord*)>("ListFindFirst");
    auto listFindNext = list->Fn<int32_t (*)(ListRecord*)>("ListFindNext");
    auto accessFindFirst = smtp->Fn<int32_t (*)(SMTPAccessRecord*)>("SMTPAccessFindFirst");

    // The plain loop: one persistent connection (shared), or a pooled
    // connect and disconnect around each statement (per call).
    SQLHDBC persistent = mode == 0 ? Connect(plainConnection) : SQL_NULL_HDBC;
    auto plain = [&](const std::function<void(SQLHDBC)>& body) {
      if (persistent != SQL_NULL_HDBC) return body(persistent);
      SQLHDBC dbc = Connect(plainConnection);
      body(dbc);
      Disconnect(dbc);
    };
    int misses = 0;

    Compare(
        "ListAdd", modeName, operations,
        [&](int i) {
          const auto record = NewList("added-" + modeName + "-" + std::to_string(i));
          misses += listAdd(&record) != 1;
        },
        [&](int i) {
          const auto record = NewList("plain-" + modeName + "-" + std::to_string(i));
          std::string sql;
          tallowmere::stores::BuildAddStatement(kListFamily, &record, sql);
          plain([&](SQLHDBC dbc) { Exec(dbc, sql); });
        });
    Compare(
        "SMTPAccessFindNext IPv4, 10k rules", modeName, operations,
        [&](int i) {
          auto record = AccessCriteria(addresses[i]);
          misses += accessFindFirst(&record) != 1;
        },
        [&](int i) {
          auto record = AccessCriteria(addresses[i]);
          std::string sql;
          tallowmere::stores::BuildFindNextStatement(kAccessFamily, &record, 0, sql);
          plain([&](SQLHDBC dbc) { misses += !PlainRead(dbc, sql, kAccessFamily, &record); });
        });

    Compare(
        "ListGet by name", modeName, operations,
        [&](int i) {
          auto record = ListCriteria(names[i]);
          misses += listGet(&record) != 1;
        },
        [&](int i) {
          auto record = ListCriteria(names[i]);
          std::string sql;
          tallowmere::stores::BuildGetStatement(kListFamily, &record, sql);
          plain([&](SQLHDBC dbc) { misses += !PlainRead(dbc, sql, kListFamily, &record); });
        });
    // A full walk of 10,000 lists by each side, in alternating segments of
    // 500 rows (each side keeps its own position), so that other work on the
    // machine weighs on both alike. The segment times also show whether the
    // cost per row grows with the position (it must not: each FindNext is an
    // indexed single-row query).
    {
      constexpr int kSegment = 500;
      auto record = ListCriteria("");
      int32_t exportRc = listFindFirst(&record);
      int exportSeen = exportRc == 1 ? 1 : 0;
      int32_t last = 0;
      int plainSeen = 0;
      double total[2] = {0, 0};
      std::vector<double> exportSegments;
      auto plainNext = [&] {
        auto criteria = ListCriteria("");
        std::string sql;
        tallowmere::stores::BuildFindNextStatement(kListFamily, &criteria, last, sql);
        bool ok = false;
        plain([&](SQLHDBC dbc) {
          SQLHSTMT stmt = NewStatement(dbc);
          if (SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR*)sql.c_str(), SQL_NTS))) {
            SQLINTEGER id = 0;
            SQLLEN indicators[64];
            SQLBindCol(stmt, 1, SQL_C_LONG, &id, sizeof id, &indicators[0]);
            SQLUSMALLINT column = 2;
            for (const auto& field : kListFamily.fields) {
              SQLBindCol(stmt, column, field.kind == tallowmere::stores::FieldKind::kText ? SQL_C_CHAR : SQL_C_LONG,
                         reinterpret_cast<char*>(&criteria) + field.offset, field.width, &indicators[column - 1]);
              ++column;
            }
            ok = SQL_SUCCEEDED(SQLFetch(stmt));
            SQLCloseCursor(stmt);
            if (ok) last = id;
          }
          SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        });
        return ok;
      };
      while (exportSeen < kRows || plainSeen < kRows) {
        auto start = Clock::now();
        for (int i = 0; i < kSegment && exportSeen < kRows && exportRc == 1; ++i) {
          record = ListCriteria("");
          exportRc = listFindNext(&record);
          exportSeen += exportRc == 1;
        }
        const double exportTime = std::chrono::duration<double>(Clock::now() - start).count();
        total[0] += exportTime;
        exportSegments.push_back(exportTime);
        start = Clock::now();
        for (int i = 0; i < kSegment && plainSeen < kRows; ++i) {
          if (!plainNext()) break;
          ++plainSeen;
        }
        total[1] += std::chrono::duration<double>(Clock::now() - start).count();
        if (exportRc != 1 && plainSeen < kRows && exportSeen < kRows) break;
      }
      misses += (exportSeen != kRows) + (plainSeen != kRows);
      gRows.push_back({"List walk, 10000 rows", modeName, "export", kRows, total[0]});
      gRows.push_back({"List walk, 10000 rows", modeName, "plain ODBC", kRows, total[1]});
      // First and last quarter of the walk, per row.
      const size_t quarter = std::max<size_t>(1, exportSegments.size() / 4);
      double first = 0, lastQuarter = 0;
      for (size_t i = 0; i < quarter; ++i) {
        first += exportSegments[i];
        lastQuarter += exportSegments[exportSegments.size() - 1 - i];
      }
      char note[160];
      std::snprintf(note, sizeof note, "%s walk: %.1f us/row in the first quarter, %.1f us/row in the last", modeName.c_str(),
                    first * 1e6 / (quarter * kSegment), lastQuarter * 1e6 / (quarter * kSegment));
      gNotes.push_back(note);
    }
    if (persistent != SQL_NULL_HDBC) Disconnect(persistent);
    if (misses != 0) std::fprintf(stderr, "stores_bench: %d operations did not find their row (%s)\n", misses,
                                  modeName.c_str());
  }
  std::error_code ec;
  fs::remove(registry, ec);
  {
    SQLHDBC admin = Connect(login);
    Exec(admin, "DROP DATABASE IF EXISTS " + database);
    Disconnect(admin);
  }

  std::printf("%-36s %-9s %-11s %8s %10s %9s %9s\n", "operation", "mode", "through", "count", "ops/s", "us/op",
              "overhead");
  for (size_t i = 0; i < gRows.size(); ++i) {
    const Row& r = gRows[i];
    const double perOp = r.seconds * 1e6 / r.count;
    std::string overhead;
    if (r.through == "plain ODBC" && i > 0 && gRows[i - 1].operation == r.operation) {
      const double exportPerOp = gRows[i - 1].seconds * 1e6 / gRows[i - 1].count;
      char text[32];
      std::snprintf(text, sizeof text, "%+.1f%%", (exportPerOp / perOp - 1.0) * 100.0);
      overhead = text;
    }
    std::printf("%-36s %-9s %-11s %8d %10.0f %9.1f %9s\n", r.operation.c_str(), r.mode.c_str(), r.through.c_str(),
                r.count, r.count / r.seconds, perOp, overhead.c_str());
  }
  for (const auto& note : gNotes) std::printf("%s\n", note.c_str());
  std::printf("(overhead: the export's time per operation over the plain ODBC loop's, same statements and "
              "connection pattern)\n");
  return 0;
}
