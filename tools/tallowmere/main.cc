// tallowmere: a command-line host for the project's libraries. It loads them
// with dlopen, as the mail server's services do, and calls their exports.
// Exit codes: 0 done, 1 refused or not found, 2 bad command line, 3 library
// or export missing.
#include <iostream>

#include <CLI/CLI.hpp>

#include "tools/tallowmere/commands.h"
#include "tools/tallowmere/product_commands.h"

int main(int argc, char** argv) {
  using tallowmere::host::HostContext;
  using tallowmere::host::HostError;

  HostContext context;
  CLI::App app{"tallowmere: administer the mail server's statistics and stores through its libraries"};
  app.fallthrough();
  app.require_subcommand(1);
  app.add_flag("--json", context.json, "Print each result as one JSON object");
  app.add_option("--library-dir", context.libraryDir,
                 "Directory of the lib*.so files (default: $TALLOWMERE_LIBRARY_DIR, else ../lib beside this "
                 "program)");

  CLI::App* stats = tallowmere::host::RegisterStatsCommands(app, context);
  tallowmere::host::RegisterLogProcessingCommands(*stats, context);
  tallowmere::host::RegisterStoreCommands(app, context);
  tallowmere::host::RegisterProductCommands(app, stats, context);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? 0 : tallowmere::host::kExitUsage;
  } catch (const HostError& error) {
    std::cerr << "tallowmere: " << error.what() << '\n';
    return error.exitCode();
  } catch (const std::exception& error) {
    std::cerr << "tallowmere: " << error.what() << '\n';
    return tallowmere::host::kExitFailed;
  }
  return context.exitCode;
}
