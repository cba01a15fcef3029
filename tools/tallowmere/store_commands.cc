// tallowmere lists|members|domains|access|blacklist add|get|edit|remove|list,
// and tallowmere access check ADDRESS: the store records through the exports
// of liblistprov and libsmtpprov, one option per record field.
//
// Criteria (get, list, remove, the match of edit) take only the fields given;
// the others are "not given" (empty text, -1). add writes every field (texts
// empty and integers 0 unless given). edit reads the first matching row and
// writes it back with the --new-* fields changed, so fields not named keep
// their values. remove without any criterion needs --all.
#include <charconv>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tools/tallowmere/commands.h"
#include "tools/tallowmere/store_records.h"

namespace tallowmere::host {
namespace {

using ReadFn = int32_t (*)(void*);
using WriteFn = int32_t (*)(const void*);
using EditFn = int32_t (*)(const void*, const void*);

struct VerbOptions {
  std::map<std::string, std::string> given;     // --Field
  std::map<std::string, std::string> newValue;  // --new-Field (edit)
  std::map<std::string, CLI::Option*> givenOption, newOption;
  bool all = false;
  std::string address;  // access check
};

// Option values outlive Register*: they are read when the command runs.
std::deque<std::unique_ptr<VerbOptions>>& AllOptions() {
  static std::deque<std::unique_ptr<VerbOptions>> options;
  return options;
}

int32_t ParseInteger(const std::string& option, const std::string& text) {
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    throw HostError(kExitUsage, "--" + option + ": expected a 32-bit integer, got \"" + text + "\"");
  }
  return value;
}

void SetField(StoreRecord& record, const StoreField& field, const std::string& option, const std::string& value) {
  if (field.text) {
    if (value.size() > field.width - 1) {
      throw HostError(kExitUsage, "--" + option + ": at most " + std::to_string(field.width - 1) + " characters");
    }
    record.SetText(field, value);
  } else {
    record.SetInteger(field, ParseInteger(option, value));
  }
}

// The criteria record: the given fields, every other field not given.
StoreRecord Criteria(const StoreFamily& family, const VerbOptions& options, size_t* count = nullptr) {
  StoreRecord record(family);
  record.SetNotGiven();
  size_t given = 0;
  for (const StoreField& field : family.fields) {
    if (options.givenOption.at(field.name)->count() == 0) continue;
    SetField(record, field, field.name, options.given.at(field.name));
    ++given;
  }
  if (count) *count = given;
  return record;
}

nlohmann::json RowJson(const StoreFamily& family, const StoreRecord& record) {
  nlohmann::json row = nlohmann::json::object();
  for (const StoreField& field : family.fields) {
    if (field.text) {
      row[field.name] = record.Text(field);
    } else {
      row[field.name] = record.Integer(field);
    }
  }
  return row;
}

std::string RowText(const StoreFamily& family, const StoreRecord& record) {
  std::string text;
  for (const StoreField& field : family.fields) {
    if (!text.empty()) text += '\n';
    text += std::string(field.name) + ": " +
            (field.text ? record.Text(field) : std::to_string(record.Integer(field)));
  }
  return text;
}

template <typename F>
F Export(HostContext& context, const StoreFamily& family, const char* verb) {
  const std::string name = std::string(family.prefix) + verb;
  F function = context.Load(family.library).Function<F>(name.c_str());
  if (function == nullptr) throw HostError(kExitNoLibrary, "lib" + std::string(family.library) + ".so has no " + name);
  return function;
}

// Every row matching `criteria`, with the criteria put back before each call.
std::vector<StoreRecord> Enumerate(HostContext& context, const StoreFamily& family, const StoreRecord& criteria,
                                   int32_t* lastResult) {
  auto findFirst = Export<ReadFn>(context, family, "FindFirst");
  auto findNext = Export<ReadFn>(context, family, "FindNext");
  std::vector<StoreRecord> rows;
  StoreRecord record = criteria;
  int32_t rc = findFirst(record.data());
  while (rc == 1) {
    rows.push_back(record);
    record = criteria;
    rc = findNext(record.data());
  }
  *lastResult = rc;
  return rows;
}

void ReportRows(HostContext& context, const StoreFamily& family, const std::vector<StoreRecord>& rows,
                int32_t lastResult, nlohmann::json extra = nlohmann::json::object()) {
  nlohmann::json json = std::move(extra);
  json["table"] = family.command;
  json["rows"] = nlohmann::json::array();
  std::string text;
  for (const StoreRecord& row : rows) {
    json["rows"].push_back(RowJson(family, row));
    if (!text.empty()) text += "\n\n";
    text += RowText(family, row);
  }
  json["count"] = rows.size();
  // 0 ends an enumeration; -1 is a failure (no connection, statement rejected).
  json["result"] = lastResult;
  const bool ok = lastResult != -1;
  context.Report(ok, json, rows.empty() && ok ? "(no rows)" : text);
}

void AddFieldOptions(CLI::App* command, const StoreFamily& family, VerbOptions& options, const char* what) {
  for (const StoreField& field : family.fields) {
    const std::string help = std::string(what) + (field.text ? " (text, at most " + std::to_string(field.width - 1) +
                                                                   " characters)"
                                                             : " (integer)");
    options.givenOption[field.name] =
        command->add_option(std::string("--") + field.name, options.given[field.name], help);
  }
}

void RegisterFamily(CLI::App& app, HostContext& context, const StoreFamily& family) {
  CLI::App* group = app.add_subcommand(family.command, family.description);
  group->require_subcommand(1);

  auto newOptions = [] {
    AllOptions().push_back(std::make_unique<VerbOptions>());
    return AllOptions().back().get();
  };

  {  // add
    VerbOptions* options = newOptions();
    CLI::App* command = group->add_subcommand("add", "Add one row (fields not named: empty texts, integers 0)");
    AddFieldOptions(command, family, *options, "field value");
    command->callback([&context, &family, options] {
      StoreRecord record(family);
      for (const StoreField& field : family.fields) {
        if (options->givenOption.at(field.name)->count() != 0)
          SetField(record, field, field.name, options->given.at(field.name));
      }
      const int32_t rc = Export<WriteFn>(context, family, "Add")(record.data());
      context.Report(rc == 1, {{"table", family.command}, {"result", rc}}, rc == 1 ? "added" : "not added");
    });
  }
  {  // get
    VerbOptions* options = newOptions();
    CLI::App* command = group->add_subcommand("get", "Show the first row matching the given fields");
    AddFieldOptions(command, family, *options, "criterion");
    command->callback([&context, &family, options] {
      StoreRecord record = Criteria(family, *options);
      const int32_t rc = Export<ReadFn>(context, family, "Get")(record.data());
      nlohmann::json json = {{"table", family.command}, {"result", rc}};
      if (rc == 1) json["row"] = RowJson(family, record);
      context.Report(rc == 1, json, rc == 1 ? RowText(family, record) : "no matching row");
    });
  }
  {  // list
    VerbOptions* options = newOptions();
    CLI::App* command = group->add_subcommand("list", "List every row matching the given fields, in ID order");
    AddFieldOptions(command, family, *options, "criterion");
    command->callback([&context, &family, options] {
      int32_t rc = 0;
      const auto rows = Enumerate(context, family, Criteria(family, *options), &rc);
      ReportRows(context, family, rows, rc);
    });
  }
  {  // edit
    VerbOptions* options = newOptions();
    CLI::App* command = group->add_subcommand(
        "edit", "Change the --new-* fields of the rows matching the given fields (other fields keep the values "
                "of the first matching row)");
    AddFieldOptions(command, family, *options, "criterion");
    for (const StoreField& field : family.fields) {
      options->newOption[field.name] = command->add_option(std::string("--new-") + field.name,
                                                           options->newValue[field.name], "new value");
    }
    command->callback([&context, &family, options] {
      const StoreRecord match = Criteria(family, *options);
      StoreRecord values = match;
      const int32_t found = Export<ReadFn>(context, family, "Get")(values.data());
      if (found != 1) {
        context.Report(false, {{"table", family.command}, {"result", found}}, "no matching row");
        return;
      }
      bool changed = false;
      for (const StoreField& field : family.fields) {
        if (options->newOption.at(field.name)->count() == 0) continue;
        SetField(values, field, std::string("new-") + field.name, options->newValue.at(field.name));
        changed = true;
      }
      if (!changed) throw HostError(kExitUsage, "edit: name at least one --new-FIELD");
      const int32_t rc = Export<EditFn>(context, family, "Edit")(match.data(), values.data());
      context.Report(rc == 1, {{"table", family.command}, {"result", rc}}, rc == 1 ? "edited" : "not edited");
    });
  }
  {  // remove
    VerbOptions* options = newOptions();
    CLI::App* command = group->add_subcommand("remove", "Remove every row matching the given fields");
    AddFieldOptions(command, family, *options, "criterion");
    command->add_flag("--all", options->all, "Allow a remove without criteria (removes every row)");
    command->callback([&context, &family, options] {
      size_t given = 0;
      const StoreRecord match = Criteria(family, *options, &given);
      if (given == 0 && !options->all) throw HostError(kExitUsage, "remove: no criterion given (use --all)");
      const int32_t rc = Export<WriteFn>(context, family, "Remove")(match.data());
      context.Report(rc == 1, {{"table", family.command}, {"result", rc}}, rc == 1 ? "removed" : "nothing removed");
    });
  }

  if (std::string(family.command) == "access") {
    VerbOptions* options = newOptions();
    CLI::App* command = group->add_subcommand(
        "check", "List the access rules whose mask covers ADDRESS (IPv4 or IPv6), per Mode");
    command->add_option("ADDRESS", options->address, "IPv4 or IPv6 address")->required();
    for (const StoreField& field : family.fields) {
      if (std::string(field.name) == "AddressMask") continue;
      options->givenOption[field.name] =
          command->add_option(std::string("--") + field.name, options->given[field.name], "criterion");
    }
    command->callback([&context, &family, options] {
      const StoreField* modeField = &family.fields[0];
      const StoreField* maskField = &family.fields[1];
      StoreRecord criteria(family);
      criteria.SetNotGiven();
      for (const StoreField& field : family.fields) {
        auto option = options->givenOption.find(field.name);
        if (option != options->givenOption.end() && option->second->count() != 0)
          SetField(criteria, field, field.name, options->given.at(field.name));
      }
      if (options->address.size() > maskField->width - 1) throw HostError(kExitUsage, "ADDRESS is too long");
      criteria.SetText(*maskField, options->address);
      // The covering masks are looked up per Mode (a Mode of -1 would compare
      // the mask literally): the given one, or every Mode in the table.
      std::set<int32_t> modes;
      int32_t rc = 0;
      if (options->givenOption.at("Mode")->count() != 0) {
        modes.insert(criteria.Integer(*modeField));
      } else {
        StoreRecord all(family);
        all.SetNotGiven();
        for (const StoreRecord& row : Enumerate(context, family, all, &rc)) modes.insert(row.Integer(*modeField));
      }
      std::vector<StoreRecord> rows;
      for (int32_t mode : modes) {
        if (rc == -1) break;
        criteria.SetInteger(*modeField, mode);
        for (const StoreRecord& row : Enumerate(context, family, criteria, &rc)) rows.push_back(row);
      }
      ReportRows(context, family, rows, rc == -1 ? -1 : 0, {{"address", options->address}});
    });
  }
}

}  // namespace

void RegisterStoreCommands(CLI::App& app, HostContext& context) {
  for (const StoreFamily& family : StoreFamilies()) RegisterFamily(app, context, family);
}

}  // namespace tallowmere::host
