// The configuration checks of `tallowmere doctor`.
#include "tools/tallowmere/doctor_checks.h"

#include <odbcinst.h>

#include <cstdlib>
#include <cstring>
#include <optional>

#include "common/registry_read.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "provider/connection.h"
#include "provider/settings.h"
#include "tools/tallowmere/doctor_database.h"

namespace tallowmere::host {
namespace {

constexpr const char kMailRootKey[] = "SOFTWARE\\Tallowmere\\Tallowmere";
constexpr const char kDefaultMailRoot[] = "D:\\Tallowmere\\Postoffices";
constexpr uint32_t kMissing = 0xFFFFFFFFu;

std::string Hklm(const std::string& key) { return "[HKEY_LOCAL_MACHINE\\" + key + "]"; }

std::string Examples() {
  return SchemaScript(provider::SqlDialect::kSqlite).find("/share/tallowmere/") != std::string::npos
             ? "share/tallowmere/examples/ of the installation"
             : "examples/config/ of the source tree";
}

// A text value as the libraries read it; nullopt when absent (or too long).
std::optional<std::string> ReadText(const std::string& key, const char* name, size_t size = 1024) {
  std::string buffer(size, '\0');
  if (ReadRegistryString(key.c_str(), name, buffer.data(), size) != 1) return std::nullopt;
  buffer.resize(std::strlen(buffer.c_str()));
  return buffer;
}

// Shows a DWORD value: read (and whether it was stored as a number) or the
// default the libraries use.
int32_t ShowNumber(DoctorReport& report, const std::string& key, const char* name, int32_t fallback,
                   const char* (*meaning)(int32_t) = nullptr) {
  uint32_t raw = 0;
  const bool read = ReadRegistryDword(key.c_str(), name, &raw) == 1;
  const int32_t value = read ? static_cast<int32_t>(raw) : fallback;
  std::string shown = std::to_string(value);
  if (meaning != nullptr) shown += std::string(" (") + meaning(value) + ")";
  report.Value(name, shown, read ? "read" : "default");
  if (read) {
    const auto stored = platform::ReadRegistryValue(key, name);
    if (stored && stored->type != platform::kRegDword) {
      report.Warning(std::string("\"") + name + "\" under " + Hklm(key) +
                         " is not stored as a dword; its raw bytes read as " + std::to_string(value),
                     std::string("write it as \"") + name + "\"=dword:0000000N");
    }
  } else {
    const auto stored = platform::ReadRegistryValue(key, name);
    if (stored) {
      report.Warning(std::string("\"") + name + "\" under " + Hklm(key) +
                         " is longer than 4 bytes and is ignored (the default applies)",
                     std::string("write it as \"") + name + "\"=dword:0000000N");
    }
  }
  return value;
}

const char* ConnectionModeMeaning(int32_t mode) { return mode == 0 ? "one shared connection" : "a connection per call"; }
const char* PoolingMeaning(int32_t mode) {
  switch (mode) {
    case 1:
    case 2: return "pooling off";
    case 3: return "one pool per driver";
    case 4: return "one pool per environment";
    default: return "pooling left unset";
  }
}
const char* EventLogMeaning(int32_t mode) {
  switch (mode) {
    case 1: return "the first database failure after load";
    case 2: return "every database failure";
    default: return "never";
  }
}
const char* RecoveryMeaning(int32_t mode) {
  return mode == 1 ? "pause 2 s and log after a failed connect" : "no pause";
}

const char* DialectName(provider::SqlDialect dialect) {
  switch (dialect) {
    case provider::SqlDialect::kMySql: return "MySql (MariaDB/MySQL)";
    case provider::SqlDialect::kSqlite: return "Sqlite";
    case provider::SqlDialect::kSqlServer: break;
  }
  return "SqlServer";
}

// A cursor value: dialect-specific name, then the generic one, then default.
void ShowCursorValue(DoctorReport& report, const std::string& prefix, const char* generic, int32_t fallback) {
  const std::string specific = prefix + generic;
  uint32_t raw = 0;
  if (ReadRegistryDword(provider::kProvidersKey, specific.c_str(), &raw) == 1) {
    report.Value(specific, std::to_string(static_cast<int32_t>(raw)), "read");
  } else if (ReadRegistryDword(provider::kProvidersKey, generic, &raw) == 1) {
    report.Value(generic, std::to_string(static_cast<int32_t>(raw)), "read (no \"" + specific + "\")");
  } else {
    report.Value(specific, std::to_string(fallback), "default");
  }
}

bool UnixOdbcPoolingOn() {
  char value[32] = {0};
  SQLGetPrivateProfileString("ODBC", "Pooling", "", value, sizeof value, "ODBCINST.INI");
  return strcasecmp(value, "yes") == 0 || strcmp(value, "1") == 0 || strcasecmp(value, "on") == 0;
}

}  // namespace

void CheckRegistryFile(DoctorReport& report) {
  report.Section("Registry file");
  const std::string path = platform::RegistryFilePath();
  const char* fromEnvironment = std::getenv("TALLOWMERE_REGISTRY");
  report.Value("file", path, fromEnvironment && *fromEnvironment ? "from TALLOWMERE_REGISTRY" : "default");
  const uint32_t attributes = platform::GetFileAttributes(path);
  if (attributes == kMissing) {
    report.Problem("the registry file " + path + " does not exist: every value takes its default (no database, "
                       "mail root " + kDefaultMailRoot + ")",
                   "copy registry-sqlite.reg (or -mariadb, -sqlserver) from " + Examples() + " to " + path +
                       " and edit it, or point TALLOWMERE_REGISTRY at your file");
    return;
  }
  platform::InputFile file;
  if (!file.Open(path)) {
    report.Problem("the registry file " + path + " cannot be read: every value takes its default",
                   "give the user that runs the mail server read access to " + path);
    return;
  }
  if (!platform::RegistryKeyExists(kMailRootKey) && !platform::RegistryKeyExists(provider::kProvidersKey)) {
    report.Warning("the registry file " + path + " has no key " + Hklm(kMailRootKey) +
                       " or below it that the libraries read",
                   "keys must be written in full, e.g. [HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere]");
  } else {
    report.Ok("the registry file can be read");
  }
  for (const char* name : {"TALLOWMERE_DRIVES", "TALLOWMERE_EVENTLOG", "ODBCSYSINI", "ODBCINI"}) {
    const char* value = std::getenv(name);
    report.Value(name, value && *value ? value : "(not set)", "environment");
  }
}

void CheckProvider(DoctorReport& report, const std::string& library, bool connect) {
  const std::string connector =
      library == "listprov" ? provider::kListConnectorKey : provider::kSmtpConnectorKey;
  report.Section("lib" + library + " " +
                 (library == "listprov" ? "(mailing lists and members)" : "(SMTP domains, access rules, blacklist)") +
                 ": " + Hklm(connector));
  provider::ProviderSettings settings;
  provider::LoadProviderSettings(connector.c_str(), settings);

  const std::optional<std::string> current = ReadText(connector, "Current Provider", 256);
  std::string settingsKey = connector;
  if (!current || current->empty()) {
    report.Value("Current Provider", "(absent)", "default");
    report.Problem("no \"Current Provider\" under " + Hklm(connector) +
                       ": lib" + library + " has no database (SQL Server dialect, empty connection string)",
                   "add \"Current Provider\"=\"SQLite\" (or \"MySQL\") and its sub-key with the connection; see "
                   "registry-sqlite.reg in " + Examples());
  } else {
    report.Value("Current Provider", *current, "read");
    settingsKey = connector + "\\" + *current;
    report.Value("provider key", Hklm(settingsKey));
    const auto dataSource = platform::ReadRegistryValue(settingsKey, "Data Source");
    if (ReadText(settingsKey, "Data Source")) {
      report.Value("Data Source", provider::MaskPassword(settings.ConnectionString), "read");
      for (const char* name : {"Trusted Connection", "DSN", "UserName", "Password", "Connection Recovery Mode"}) {
        report.Value(name, "-", "not read: \"Data Source\" is given");
      }
    } else {
      if (dataSource) {
        report.Warning("\"Data Source\" under " + Hklm(settingsKey) + " is longer than 1023 characters and is ignored",
                       "shorten it, or use a DSN");
      }
      report.Value("Data Source", "(absent)", "the connection string is composed from the values below");
      const int32_t trusted = ShowNumber(report, settingsKey, "Trusted Connection", 1);
      const std::optional<std::string> dsn = ReadText(settingsKey, "DSN");
      report.Value("DSN", dsn.value_or(""), dsn ? "read" : "default");
      if (!dsn || dsn->empty()) {
        report.Problem("no \"DSN\" and no \"Data Source\" under " + Hklm(settingsKey),
                       "add \"DSN\"=\"name-in-odbc.ini\", or a complete \"Data Source\" connection string");
      }
      if (trusted == 0) {
        const std::optional<std::string> user = ReadText(settingsKey, "UserName");
        report.Value("UserName", user.value_or(""), user ? "read" : "default");
        report.Value("Password", settings.Password.empty() ? "(empty)" : "****",
                     ReadText(settingsKey, "Password") ? "read" : "default");
      } else {
        report.Value("UserName", "-", "not read: trusted connection");
        report.Value("Password", "-", "not read: trusted connection");
      }
      ShowNumber(report, settingsKey, "Connection Recovery Mode", 1, RecoveryMeaning);
    }
  }
  report.Value("dialect", DialectName(settings.Dialect));

  report.Value("providers key", Hklm(provider::kProvidersKey));
  const provider::DialectDefaults defaults = provider::DefaultsFor(settings.Dialect);
  const int32_t mode = ShowNumber(report, provider::kProvidersKey, "Connection Mode", defaults.connectionMode,
                                  ConnectionModeMeaning);
  ShowNumber(report, provider::kProvidersKey, "Connection Pooling Mode", defaults.poolingMode, PoolingMeaning);
  ShowNumber(report, provider::kProvidersKey, "Event Log Status", 1, EventLogMeaning);
  ShowCursorValue(report, defaults.registryPrefix, "Fetch Cursor Type", defaults.cursorType);
  ShowCursorValue(report, defaults.registryPrefix, "Fetch Concurrency Type", defaults.concurrency);
  ShowCursorValue(report, defaults.registryPrefix, "Exec Cursor Type", defaults.cursorType);

  if (settings.ConnectionStringTooLong) {
    report.Problem("the connection string composed from " + Hklm(settingsKey) +
                       " is longer than 1023 characters and is refused",
                   "shorten DSN, UserName or Password, or give a \"Data Source\"");
  }
  report.Value("connection string", settings.ConnectionString.empty()
                                        ? "(empty)"
                                        : provider::MaskPassword(settings.ConnectionString));
  if (mode != 0 && !UnixOdbcPoolingOn()) {
    report.Warning("a connection per call is configured but unixODBC pooling is off: every call connects anew",
                   "set \"Pooling = Yes\" in the [ODBC] section of odbcinst.ini ($ODBCSYSINI or /etc)");
  }
  if (connect) CheckDatabase(report, library, settings, settingsKey);
}

void CheckMailRoot(DoctorReport& report) {
  report.Section(std::string("libstatslog (statistics): ") + Hklm(kMailRootKey));
  const std::optional<std::string> configured = ReadText(kMailRootKey, "Mail Root");
  const bool useDefault = !configured || configured->empty();
  const std::string root = useDefault ? std::string(kDefaultMailRoot) : *configured;
  report.Value("Mail Root", root, useDefault ? "default" : "read");
  const std::string native = platform::ToNativePath(root);
  report.Value("directory", native);
  if (useDefault) {
    report.Warning("\"Mail Root\" is not set; statistics go to the default " + std::string(kDefaultMailRoot) + " (" +
                       native + ")",
                   "set \"Mail Root\"=\"/var/lib/tallowmere/postoffices\" (or your path) under " + Hklm(kMailRootKey));
  }
  if (!platform::DirectoryExists(native)) {
    report.Problem("the mail root " + native + " does not exist",
                   "create it: mkdir -p '" + native + "' (owned by the user the mail server runs as)");
    return;
  }
  const std::string probe = native + "/.tallowmere-doctor-probe";
  if (!platform::ReplaceFileContents(probe, "probe\n")) {
    report.Problem("the mail root " + native + " is not writable: statistics cannot be stored",
                   "give the user the mail server runs as write access: chown -R USER '" + native + "'");
    return;
  }
  platform::DeleteFile(probe);
  report.Ok("the mail root exists and is writable");
}

void CheckLibraries(DoctorReport& report, const std::string& libraryDir) {
  report.Section("Libraries");
  report.Value("directory", libraryDir);
  for (const char* name : {"listprov", "smtpprov", "statslog"}) {
    const std::string path = libraryDir + "/lib" + name + ".so";
    if (platform::GetFileAttributes(path) == kMissing) {
      report.Problem(path + " is missing", "build (cmake --build build) or install the project, or set "
                                           "TALLOWMERE_LIBRARY_DIR / --library-dir to where the libraries are");
    } else {
      report.Ok(path);
    }
  }
}

}  // namespace tallowmere::host
