// Commands for running and checking an installation: "doctor" (is the
// configuration sound, does each database answer with its tables) and the
// statistics pictures "stats chart" and "stats report". main.cc calls
// RegisterProductCommands after the other groups; `stats` is the "stats"
// subcommand (or null when that group is absent).
#pragma once

#include <CLI/CLI.hpp>

#include "tools/tallowmere/host_context.h"

namespace tallowmere::host {

void RegisterProductCommands(CLI::App& app, CLI::App* stats, HostContext& context);

// The single commands, each in its own file.
void RegisterDoctorCommand(CLI::App& app, HostContext& context);
void RegisterChartCommands(CLI::App& stats, HostContext& context);

}  // namespace tallowmere::host
