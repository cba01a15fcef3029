// Database check of `tallowmere doctor`: connects with a connection string
// the way the provider libraries do and checks that the store tables exist
// with their columns. Not thread-safe (uses the process-wide provider
// settings of this program for the dialect's connection additions).
// Failures are findings in the report, never exceptions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "provider/settings.h"
#include "tools/tallowmere/doctor_report.h"

namespace tallowmere::host {

struct ExpectedTable {
  const char* name;
  std::vector<const char*> columns;
};

// The tables a provider library works on: LIST and LIST_MEMBER for
// "listprov", DOMAIN, SMTP_ACCESS and SMTP_BLACKLIST for "smtpprov".
const std::vector<ExpectedTable>& TablesOf(const std::string& library);

// The schema script for the dialect: installed beside this program
// (../share/tallowmere/schema) or in the source tree.
std::string SchemaScript(provider::SqlDialect dialect);

// Connects (login timeout 5 s), reports the connection result and every
// missing table or column, with what to do about it.
void CheckDatabase(DoctorReport& report, const std::string& library, const provider::ProviderSettings& settings,
                   const std::string& settingsKey);

}  // namespace tallowmere::host
