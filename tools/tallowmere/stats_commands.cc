// tallowmere stats ...: values and status flags of the statistics tree, the
// period summary and the purges, through libstatslog's exports.
#include <charconv>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "tallowmere/statslog.h"
#include "tools/tallowmere/commands.h"

namespace tallowmere::host {
namespace {

// Where a value lives, as given on the command line.
struct Address {
  std::string server;
  std::string scope;
  std::string postoffice;
  std::string section;
  std::string file;
};


const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

void AddAddressOptions(CLI::App* command, Address& address, bool withFile) {
  command->add_option("--server", address.server, "Mail server name (default: this computer's name)");
  command->add_option("--scope", address.scope,
                      "system, postoffice or nested (or the number); default: postoffice when "
                      "--postoffice is given, else system");
  command->add_option("--postoffice", address.postoffice,
                      "Postoffice (branch) name; for --scope nested \"postoffice\\level\"");
  command->add_option("--section", address.section, "INI section (the report's log schema)")->required();
  if (withFile) {
    command->add_option("--file", address.file, "File name without .INI, usually a period key; may be folder\\name")
        ->required();
  }
}

using GetFunction = decltype(&::GetStatsString);
using SetFunction = decltype(&::SetStatsString);

// Reads a whole value (or the key list, key empty), growing the buffer until
// it fits. nullopt when nothing was found.
std::optional<std::string> ReadWhole(GetFunction get, const Address& address, const std::string& key,
                                     std::vector<std::string>* keyList) {
  const int32_t scope = ParseScope(address.scope, address.postoffice);
  for (int32_t size = 1024;; size *= 4) {
    std::vector<char> buffer(static_cast<size_t>(size), '\0');
    const int32_t found = get(OrNull(address.server), scope, address.postoffice.c_str(), address.section.c_str(),
                              address.file.c_str(), key.c_str(), buffer.data(), size);
    if (found != 1) return std::nullopt;
    if (keyList == nullptr) {
      const size_t length = strnlen(buffer.data(), buffer.size());
      if (length + 1 < buffer.size() || size >= (1 << 28)) return std::string(buffer.data(), length);
      continue;
    }
    // The list is cut (ending in two NULs at size - 2) when it did not fit.
    keyList->clear();
    size_t position = 0;
    while (position < buffer.size() && buffer[position] != '\0') {
      const size_t length = strnlen(buffer.data() + position, buffer.size() - position);
      keyList->emplace_back(buffer.data() + position, length);
      position += length + 1;
    }
    if (position + 2 < buffer.size() || size >= (1 << 28)) return std::string();
  }
}

void RunGet(HostContext& context, GetFunction get, const Address& address, const std::string& key) {
  nlohmann::json result{{"section", address.section}, {"file", address.file}};
  if (key.empty()) {
    std::vector<std::string> keys;
    const bool found = ReadWhole(get, address, key, &keys).has_value();
    result["keys"] = keys;
    std::string text;
    for (const std::string& name : keys) text += (text.empty() ? "" : "\n") + name;
    context.Report(found, result, text);
    return;
  }
  result["key"] = key;
  const auto value = ReadWhole(get, address, key, nullptr);
  result["value"] = value ? nlohmann::json(*value) : nlohmann::json(nullptr);
  context.Report(value.has_value(), result, value.value_or(""));
  if (!value && !context.json) std::cerr << "tallowmere: no value for " << key << '\n';
}

void RunSet(HostContext& context, SetFunction set, const Address& address, const std::string& key,
            const std::optional<std::string>& value) {
  std::vector<char> keyBuffer(key.begin(), key.end());
  keyBuffer.push_back('\0');
  const int32_t ok = set(OrNull(address.server), ParseScope(address.scope, address.postoffice), address.postoffice.c_str(),
                         address.file.c_str(), address.section.c_str(), keyBuffer.data(),
                         value ? value->c_str() : nullptr);
  nlohmann::json result{{"section", address.section}, {"file", address.file}, {"key", keyBuffer.data()}};
  context.Report(ok == 1, result, "");
  if (ok != 1 && !context.json) {
    std::cerr << "tallowmere: the library refused the write (unsafe or missing postoffice, unsafe name, "
                 "unstorable key or value, or the file could not be written)\n";
  }
}

// "get" and "set" for one tree, under `parent`.
void AddGetSet(CLI::App* parent, HostContext& context, const char* what, const char* getName,
               const char* setName) {
  auto address = std::make_shared<Address>();
  auto key = std::make_shared<std::string>();
  CLI::App* get = parent->add_subcommand("get", std::string("Read a ") + what + " (or, without --key, the keys of the section)");
  AddAddressOptions(get, *address, true);
  get->add_option("--key", *key, "Key to read; omitted: list the section's keys");
  get->callback([&context, address, key, getName] {
    RunGet(context, context.Load("statslog").Function<GetFunction>(getName), *address, *key);
  });

  auto setAddress = std::make_shared<Address>();
  auto setKey = std::make_shared<std::string>();
  auto value = std::make_shared<std::string>();
  auto remove = std::make_shared<bool>(false);
  CLI::App* set = parent->add_subcommand("set", std::string("Write (or remove) a ") + what);
  AddAddressOptions(set, *setAddress, true);
  set->add_option("--key", *setKey, "Key to write (\"=\" is stored as \":\")")->required();
  auto* choice = set->add_option_group("value", "exactly one of --value and --remove");
  choice->add_option("--value", *value, "Text to store");
  choice->add_flag("--remove", *remove, "Remove the key");
  choice->require_option(1);
  set->callback([&context, setAddress, setKey, value, remove, setName] {
    const std::optional<std::string> text = *remove ? std::nullopt : std::optional<std::string>(*value);
    RunSet(context, context.Load("statslog").Function<SetFunction>(setName), *setAddress, *setKey, text);
  });
}

const char* StateName(int32_t state) {
  switch (state) {
    case 1: return "complete";
    case -1: return "partial";
    case -2: return "nodata";
    default: return "none";
  }
}

}  // namespace

int32_t ParseScope(const std::string& scopeText, const std::string& postoffice) {
  std::string scope = scopeText;
  if (scope.empty()) scope = postoffice.empty() ? "system" : "postoffice";
  if (scope == "system") return TALLOWMERE_SYSTEM_SCOPE;
  if (scope == "postoffice") return TALLOWMERE_POSTOFFICE_SCOPE;
  if (scope == "nested") return TALLOWMERE_NESTED_SCOPE;
  int32_t number = 0;
  const auto [end, error] = std::from_chars(scope.data(), scope.data() + scope.size(), number);
  if (error != std::errc() || end != scope.data() + scope.size()) {
    throw HostError(kExitUsage, "--scope: expected system, postoffice, nested or a number, got \"" + scope + "\"");
  }
  return number;
}

CLI::App* RegisterStatsCommands(CLI::App& app, HostContext& context) {
  CLI::App* stats = app.add_subcommand("stats", "Statistics values, status flags, month summaries and purges (libstatslog)");
  stats->require_subcommand(1);

  AddGetSet(stats, context, "statistics value", "GetStatsString", "SetStatsString");
  CLI::App* flag = stats->add_subcommand("flag", "Status flags (LastModified, State) of the statistics files");
  flag->require_subcommand(1);
  AddGetSet(flag, context, "status flag", "GetStatsStatusString", "SetStatsStatusString");

  auto summaryAddress = std::make_shared<Address>();
  auto period = std::make_shared<std::string>();
  auto summaryKey = std::make_shared<std::string>();
  CLI::App* summary = stats->add_subcommand(
      "summary", "Add up the day files of a month into the month file (all keys, or one with --key)");
  AddAddressOptions(summary, *summaryAddress, false);
  summary->add_option("--period", *period, "Month key, or folder\\month key (the folder holds the flag file)")
      ->required();
  summary->add_option("--key", *summaryKey, "Summarise only this key (no flags are written)");
  summary->callback([&context, summaryAddress, period, summaryKey] {
    auto generate = context.Load("statslog").Function<decltype(&::GeneratePeriodSummary)>("GeneratePeriodSummary");
    const Address& a = *summaryAddress;
    const int32_t scope = ParseScope(a.scope, a.postoffice);
    const int32_t state = WithConsoleOnStderr([&] {
      return generate(OrNull(a.server), scope, a.postoffice.c_str(), a.section.c_str(), period->c_str(), 0,
                      summaryKey->c_str(), 0);
    });
    nlohmann::json result{{"section", a.section}, {"period", *period}};
    if (summaryKey->empty()) {
      result["state"] = state;
      result["stateName"] = StateName(state);
      context.Report(state != 0, result, StateName(state));
      if (state == 0 && !context.json) std::cerr << "tallowmere: the month was not summarised (bad period key?)\n";
    } else {
      result["key"] = *summaryKey;
      context.Report(true, result, "");
    }
  });

  auto all = std::make_shared<bool>(false);
  auto before = std::make_shared<std::string>();
  CLI::App* purge = stats->add_subcommand("purge", "Remove statistics: everything, or the values files up to a day");
  auto* what = purge->add_option_group("what", "exactly one of --all and --before");
  what->add_flag("--all", *all, "Remove every branch's STATSROOT (values and flags)");
  what->add_option("--before", *before,
                   "Day key: remove the values files of that day and every earlier period");
  what->require_option(1);
  purge->callback([&context, all, before] {
    auto& library = context.Load("statslog");
    const int32_t ok = *all ? library.Function<decltype(&::PurgeEntireStatsCache)>("PurgeEntireStatsCache")()
                            : library.Function<decltype(&::PurgeStatsCacheBeforeDate)>(
                                  "PurgeStatsCacheBeforeDate")(before->c_str());
    nlohmann::json result{{"purge", *all ? "all" : "before"}};
    if (!*all) result["before"] = *before;
    context.Report(ok == 1, result, "");
    if (ok != 1 && !context.json) std::cerr << "tallowmere: purge failed (bad day key?)\n";
  });
  return stats;
}

}  // namespace tallowmere::host
