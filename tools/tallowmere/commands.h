// The command groups of the tallowmere program. Each group lives in its own
// file and adds its subcommands to the program (or to another group's
// subcommand); main.cc registers them all. Commands report through the
// HostContext and throw HostError for errors.
#pragma once

#include <cstdint>
#include <string>

#include <CLI/CLI.hpp>

#include "tools/tallowmere/host_context.h"

namespace tallowmere::host {

// "stats get|set|flag|summary|purge" over libstatslog. Returns the "stats"
// subcommand so that other groups (log processing) can add to it.
CLI::App* RegisterStatsCommands(CLI::App& app, HostContext& context);

// The --scope option's value ("system", "postoffice", "nested" or a number;
// empty: postoffice when one is named, else system). Throws HostError.
int32_t ParseScope(const std::string& scope, const std::string& postoffice);

// "lists|members|domains|access|blacklist add|get|edit|remove|list" and
// "access check ADDRESS" over liblistprov and libsmtpprov.
void RegisterStoreCommands(CLI::App& app, HostContext& context);

// "stats process DEFINITION-FILE": log processing through libstatslog.
void RegisterLogProcessingCommands(CLI::App& stats, HostContext& context);

}  // namespace tallowmere::host
