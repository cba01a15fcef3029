// Database check of `tallowmere doctor` over unixODBC.
#include "tools/tallowmere/doctor_database.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "platform/file_system.h"
#include "platform/host_info.h"
#include "provider/connection.h"

namespace tallowmere::host {
namespace {

// An ODBC handle freed when it goes out of scope.
class OdbcHandle {
 public:
  OdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle_))) handle_ = SQL_NULL_HANDLE;
  }
  ~OdbcHandle() {
    if (handle_ == SQL_NULL_HANDLE) return;
    if (type_ == SQL_HANDLE_DBC && connected_) SQLDisconnect(handle_);
    SQLFreeHandle(type_, handle_);
  }
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;
  SQLHANDLE get() const { return handle_; }
  void MarkConnected() { connected_ = true; }

 private:
  SQLSMALLINT type_;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
  bool connected_ = false;
};

struct Diagnostic {
  std::string state;
  SQLINTEGER native = 0;
  std::string message;
};

Diagnostic FirstDiagnostic(SQLSMALLINT type, SQLHANDLE handle) {
  Diagnostic d;
  SQLCHAR state[6] = {0};
  SQLCHAR message[1024] = {0};
  SQLSMALLINT length = 0;
  if (SQL_SUCCEEDED(SQLGetDiagRec(type, handle, 1, state, &d.native, message, sizeof message, &length))) {
    d.state = reinterpret_cast<char*>(state);
    d.message = reinterpret_cast<char*>(message);
  }
  return d;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Plain words for the usual reasons a connect fails.
std::string ConnectFix(const Diagnostic& d, const std::string& settingsKey) {
  const std::string message = Upper(d.message);
  if (d.state == "IM002") {
    return "the data source (DSN) is not defined: add it to odbc.ini (unixODBC reads $ODBCINI, ~/.odbc.ini "
           "and /etc/odbc.ini; see examples/odbc.ini) or give a complete \"Data Source\" connection string "
           "under [HKEY_LOCAL_MACHINE\\" + settingsKey + "]";
  }
  if (d.state == "IM003" || message.find("CAN'T OPEN LIB") != std::string::npos ||
      message.find("FILE NOT FOUND") != std::string::npos) {
    return "the ODBC driver could not be loaded: install it (odbc-mariadb, libsqliteodbc) and register it in "
           "odbcinst.ini ($ODBCSYSINI/odbcinst.ini or /etc/odbcinst.ini; see examples/odbcinst.ini)";
  }
  if (d.state == "28000" || d.native == 1045 || message.find("ACCESS DENIED") != std::string::npos ||
      message.find("LOGIN FAILED") != std::string::npos) {
    return "the database refused the login: check \"UserName\" and \"Password\" under [HKEY_LOCAL_MACHINE\\" +
           settingsKey + "] (or UID/PWD in the connection string) and the user's grants on the server";
  }
  if (d.native == 1049 || message.find("UNKNOWN DATABASE") != std::string::npos) {
    return "the database named in the DSN or connection string does not exist: create it, then the tables";
  }
  if (d.native == 2002 || d.native == 2003 || d.native == 2013 || d.state.rfind("08", 0) == 0 ||
      d.state == "HYT00") {
    return "the database server cannot be reached: start it, or correct SERVER/SOCKET/PORT of the data source";
  }
  return "correct the connection settings under [HKEY_LOCAL_MACHINE\\" + settingsKey +
         "] or the data source they name";
}

// Column names of `table`, or the diagnostic of the failed query.
bool ReadColumns(SQLHDBC dbc, const std::string& table, std::set<std::string>& columns, Diagnostic& error) {
  OdbcHandle statement(SQL_HANDLE_STMT, dbc);
  if (statement.get() == SQL_NULL_HANDLE) {
    error = FirstDiagnostic(SQL_HANDLE_DBC, dbc);
    return false;
  }
  std::string text = "SELECT * FROM " + table + " WHERE 1=0";
  SQLRETURN rc = SQLExecDirect(statement.get(), reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
  if (!SQL_SUCCEEDED(rc)) {
    error = FirstDiagnostic(SQL_HANDLE_STMT, statement.get());
    return false;
  }
  SQLSMALLINT count = 0;
  SQLNumResultCols(statement.get(), &count);
  for (SQLSMALLINT i = 1; i <= count; ++i) {
    SQLCHAR name[256] = {0};
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    if (SQL_SUCCEEDED(SQLDescribeCol(statement.get(), static_cast<SQLUSMALLINT>(i), name, sizeof name, &nameLength,
                                     &type, &size, &digits, &nullable))) {
      columns.insert(Upper(reinterpret_cast<char*>(name)));
    }
  }
  return true;
}

std::string CreateHint(provider::SqlDialect dialect) {
  const std::string script = SchemaScript(dialect);
  switch (dialect) {
    case provider::SqlDialect::kSqlite: return "create the tables: sqlite3 DATABASE-FILE < " + script;
    case provider::SqlDialect::kMySql: return "create the tables: mariadb DATABASE < " + script;
    case provider::SqlDialect::kSqlServer: break;
  }
  return "create the tables: sqlcmd -d DATABASE -i " + script;
}

}  // namespace

const std::vector<ExpectedTable>& TablesOf(const std::string& library) {
  static const std::vector<ExpectedTable> list = {
      {"LIST",
       {"ID", "ListName", "AccountName", "ListType", "ModeratorAddress", "Status", "Description",
        "HeaderAnnotationStatus", "HeaderAnnotation", "FooterAnnotationStatus", "FooterAnnotation", "ListAddress",
        "SubscribeMessageFileStatus", "SubscribeMessageFile", "UnsubscribeMessageFileStatus",
        "UnsubscribeMessageFile", "SubjectSuffixStatus", "SubjectSuffix", "SubjectPrefixStatus", "SubjectPrefix",
        "Owner", "HelpMessageFileStatus", "HelpMessageFile", "RemovalMessageFileStatus", "RemovalMessageFile",
        "ReplyToMode", "MaxMessageSize", "PostingMode", "SubScriptionMode", "AuthenticationMode", "Password",
        "DigestMode", "DigestMailbox", "DigestAnnotationMode", "DigestAttachmentMode",
        "DigestMessageSeparationMode", "DigestSchedulingStatus", "DigestSchedulingMode",
        "DigestSchedulingInterval", "FromAddressMode"}},
      {"LIST_MEMBER", {"ID", "Address", "Postoffice", "Mailbox"}},
  };
  static const std::vector<ExpectedTable> smtp = {
      {"DOMAIN",
       {"ID", "DomainName", "Status", "RedirectionStatus", "RedirectionHosts", "Account", "RetainMode",
        "PollForMessages", "UpStreamHost", "PollInterval", "AliasMode", "AliasValue"}},
      {"SMTP_ACCESS", {"ID", "Mode", "AddressMask", "Status", "Account", "AccessRight"}},
      {"SMTP_BLACKLIST", {"ID", "TargetDomainName", "BannedDomainName", "Status", "Account"}},
  };
  return library == "listprov" ? list : smtp;
}

std::string SchemaScript(provider::SqlDialect dialect) {
  const char* file = dialect == provider::SqlDialect::kSqlite  ? "sqlite.sql"
                     : dialect == provider::SqlDialect::kMySql ? "mariadb.sql"
                                                               : "sqlserver.sql";
  std::string exe = platform::ExecutablePath();
  const size_t slash = exe.rfind('/');
  const std::string bin = slash == std::string::npos ? "." : exe.substr(0, slash);
  for (const std::string& candidate :
       {bin + "/../share/tallowmere/schema/" + file, bin + "/../../schema/" + file}) {
    if (platform::GetFileAttributes(candidate) != 0xFFFFFFFFu) return candidate;
  }
  return std::string("schema/") + file;
}

void CheckDatabase(DoctorReport& report, const std::string& library, const provider::ProviderSettings& settings,
                   const std::string& settingsKey) {
  if (settings.ConnectionString.empty()) return;  // already reported by the configuration check
  OdbcHandle env(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
  if (env.get() == SQL_NULL_HANDLE) {
    report.Problem("unixODBC could not create an environment", "install unixodbc");
    return;
  }
  SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  OdbcHandle dbc(SQL_HANDLE_DBC, env.get());
  SQLSetConnectAttr(dbc.get(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(5), 0);

  // The dialect's additions to the connection string (MariaDB: found rows,
  // no backslash escapes) come from the provider core, as in the libraries.
  provider::Settings().Dialect = settings.Dialect;
  std::string effective = provider::EffectiveConnectionString(settings.ConnectionString);
  SQLCHAR out[1024];
  SQLSMALLINT outLength = 0;
  const SQLRETURN rc = SQLDriverConnect(dbc.get(), nullptr, reinterpret_cast<SQLCHAR*>(effective.data()), SQL_NTS,
                                        out, sizeof out, &outLength, SQL_DRIVER_NOPROMPT);
  const std::string masked = provider::MaskPassword(settings.ConnectionString);
  if (!SQL_SUCCEEDED(rc)) {
    const Diagnostic d = FirstDiagnostic(SQL_HANDLE_DBC, dbc.get());
    report.Problem("cannot connect with \"" + masked + "\": [" + d.state + "] (native " + std::to_string(d.native) +
                       ") " + d.message,
                   ConnectFix(d, settingsKey));
    return;
  }
  dbc.MarkConnected();
  report.Ok("connected with \"" + masked + "\"");

  for (const ExpectedTable& table : TablesOf(library)) {
    std::set<std::string> columns;
    Diagnostic error;
    if (!ReadColumns(dbc.get(), table.name, columns, error)) {
      report.Problem(std::string("table ") + table.name + " cannot be read: [" + error.state + "] " + error.message,
                     CreateHint(settings.Dialect));
      continue;
    }
    std::string missing;
    for (const char* column : table.columns) {
      if (columns.count(Upper(column)) == 0) missing += (missing.empty() ? "" : ", ") + std::string(column);
    }
    if (missing.empty()) {
      report.Ok(std::string("table ") + table.name + " has its " + std::to_string(table.columns.size()) +
                " columns");
    } else {
      report.Problem(std::string("table ") + table.name + " lacks the column(s) " + missing,
                     std::string("recreate ") + table.name + " from " + SchemaScript(settings.Dialect) +
                         " (or add the columns with ALTER TABLE)");
    }
  }
}

}  // namespace tallowmere::host
