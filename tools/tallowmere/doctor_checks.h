// The checks of `tallowmere doctor`, each adding its values and findings to
// a DoctorReport: the registry file, each provider library's effective
// configuration and database, and the statistics mail root. The provider
// configuration is computed by the same code the libraries run (the provider
// core, linked into this program), so what is shown is what they will use.
// Not thread-safe. Never throws for a bad configuration: that is a finding.
#pragma once

#include <string>

#include "tools/tallowmere/doctor_report.h"

namespace tallowmere::host {

// Registry file in force, whether it exists and can be read.
void CheckRegistryFile(DoctorReport& report);

// One provider library: every registry value read or defaulted, dialect,
// connection mode, connection string (password masked); then, unless
// `connect` is false, a connection to its database and the check of its
// tables and columns. `library` is "listprov" or "smtpprov".
void CheckProvider(DoctorReport& report, const std::string& library, bool connect);

// "Mail Root": value or default, the directory it names, whether it exists
// and a file can be created in it.
void CheckMailRoot(DoctorReport& report);

// The shared libraries the program loads, in `libraryDir`.
void CheckLibraries(DoctorReport& report, const std::string& libraryDir);

}  // namespace tallowmere::host
