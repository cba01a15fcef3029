// tallowmere doctor: the effective configuration and whether it works.
// Exit code 0 only when no problem was found.
#include <iostream>

#include "tools/tallowmere/doctor_checks.h"
#include "tools/tallowmere/product_commands.h"

namespace tallowmere::host {

void RegisterDoctorCommand(CLI::App& app, HostContext& context) {
  auto noConnect = std::make_shared<bool>(false);
  CLI::App* doctor = app.add_subcommand(
      "doctor",
      "Show the configuration as the libraries see it (registry file, every value read or defaulted, dialect, "
      "connection, mail root), connect to each database and check its tables; say what is wrong and how to fix "
      "it. Exit code 0 only when everything works.");
  doctor->add_flag("--no-connect", *noConnect, "Check the configuration only; do not connect to the databases");
  doctor->callback([&context, noConnect] {
    DoctorReport report;
    CheckRegistryFile(report);
    CheckProvider(report, "listprov", !*noConnect);
    CheckProvider(report, "smtpprov", !*noConnect);
    CheckMailRoot(report);
    CheckLibraries(report, LibraryDirectory(context.libraryDir));
    const bool ok = report.problems() == 0;
    if (context.json) {
      context.Report(ok, report.Json(), "");
    } else {
      std::cout << report.Text();
      context.exitCode = ok ? kExitOk : kExitFailed;
    }
  });
}

void RegisterProductCommands(CLI::App& app, CLI::App* stats, HostContext& context) {
  RegisterDoctorCommand(app, context);
  if (stats != nullptr) RegisterChartCommands(*stats, context);
}

}  // namespace tallowmere::host
