// tallowmere stats process DEFINITION-FILE: one ProcessDelimitedLogFile call
// of libstatslog on a report definition read from a file, then the status
// flags and the stored values read back through the library's exports. On a
// terminal a progress line shows which log file is being read and how far,
// taken from the position of the library's open log file in /proc/self.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "statslog/logproc/report_definition.h"
#include "statslog/logproc/results_writer.h"
#include "tallowmere/statslog.h"
#include "tools/tallowmere/commands.h"

namespace tallowmere::host {
namespace {

namespace fs = std::filesystem;

struct ProcessOptions {
  std::string definitionFile;
  bool verbose = false;
  bool noProgress = false;
};

// The log file the library is reading now: an open descriptor of this
// process whose target ends in ".log", with its read position.
bool CurrentLogFile(std::string& name, uint64_t& position, uint64_t& size) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd", error)) {
    const fs::path target = fs::read_symlink(entry.path(), error);
    if (error || target.extension() != ".log") continue;
    std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
    std::string key;
    uint64_t value = 0;
    while (info >> key >> value) {
      if (key == "pos:") break;
    }
    struct stat status {};
    if (stat(target.c_str(), &status) != 0) continue;
    name = target.filename().string();
    position = value;
    size = static_cast<uint64_t>(status.st_size);
    return true;
  }
  return false;
}

// Shows a progress line on standard error while `done` is false, starting
// after one second so that short runs print nothing.
void ShowProgress(const std::atomic<bool>& done) {
  const auto start = std::chrono::steady_clock::now();
  bool shown = false;
  while (!done.load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (seconds < 1.0 || done.load()) continue;
    std::string name;
    uint64_t position = 0, size = 0;
    char line[256];
    if (CurrentLogFile(name, position, size) && size > 0) {
      std::snprintf(line, sizeof line, "\rprocessing %s: %3.0f%% of %.1f MiB, %.0f s", name.c_str(),
                    100.0 * static_cast<double>(position) / static_cast<double>(size),
                    static_cast<double>(size) / 1048576.0, seconds);
    } else {
      std::snprintf(line, sizeof line, "\rprocessing: storing results, %.0f s", seconds);
    }
    std::cerr << line << "\033[K" << std::flush;
    shown = true;
  }
  if (shown) std::cerr << "\r\033[K" << std::flush;
}

// Runs call() with the library's standard output discarded.
template <typename Call>
void WithConsoleDiscarded(Call call) {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  std::FILE* sink = std::fopen("/dev/null", "w");
  if (saved >= 0 && sink != nullptr) dup2(fileno(sink), STDOUT_FILENO);
  call();
  std::fflush(stdout);
  if (saved >= 0) {
    dup2(saved, STDOUT_FILENO);
    close(saved);
  }
  if (sink != nullptr) std::fclose(sink);
}

// A whole stored text through a Get export; with an empty key the section's
// key names, each followed by a NUL.
std::string Get(decltype(&::GetStatsString) get, const logproc::ReportDefinition& def, int32_t scope,
                const std::string& postoffice, const std::string& file, const std::string& key) {
  for (size_t size = 4096;; size *= 8) {
    std::vector<char> buffer(size, '\0');
    if (get(def.server.empty() ? nullptr : def.server.c_str(), scope, postoffice.c_str(), def.logSchema.c_str(),
            file.c_str(), key.c_str(), buffer.data(), static_cast<int32_t>(size)) != 1) {
      return {};
    }
    size_t end = 0;
    if (key.empty()) {
      while (end < size && buffer[end] != '\0') end += strnlen(buffer.data() + end, size - end) + 1;
    } else {
      end = strnlen(buffer.data(), size);
    }
    // A text that fills the buffer may have been cut: read again with more room.
    if (end + 2 < size || size >= (size_t{1} << 28)) return std::string(buffer.data(), std::min(end, size));
  }
}

void Process(HostContext& context, const ProcessOptions& options) {
  std::ifstream input(options.definitionFile, std::ios::binary);
  if (!input) throw HostError(kExitUsage, "cannot read the report definition " + options.definitionFile);
  std::stringstream text;
  text << input.rdbuf();
  const std::string definition = text.str();
  const logproc::ReportDefinition def = logproc::ParseReportDefinition(definition);

  Library& library = context.Load("statslog");
  const auto process = library.Function<decltype(&::ProcessDelimitedLogFile)>("ProcessDelimitedLogFile");
  const auto getValue = library.Function<decltype(&::GetStatsString)>("GetStatsString");
  const auto getFlag = library.Function<decltype(&::GetStatsStatusString)>("GetStatsStatusString");

  std::vector<char> result(65536, '\0');
  const auto resultSize = static_cast<int32_t>(result.size());
  const auto call = [&] { process(definition.c_str(), 0, result.data(), &resultSize); };
  std::atomic<bool> done{false};
  std::thread progress;
  if (!options.noProgress && isatty(STDERR_FILENO)) progress = std::thread(ShowProgress, std::cref(done));
  if (options.verbose) {
    WithConsoleOnStderr(call);
  } else {
    WithConsoleDiscarded(call);
  }
  done = true;
  if (progress.joinable()) progress.join();

  const std::string failure = result.data();
  const std::string statusFile = logproc::StatusFileName(def);
  const std::string state = Get(getFlag, def, 1, "System", statusFile, "State");
  const std::string lastModified = Get(getFlag, def, 1, "System", statusFile, "LastModified");

  // What the day stored: the group list, or the totals under "System".
  const std::string postoffice =
      def.resultType == 1 ? (def.statsRoot.empty() ? std::string("System") : def.statsRoot) : std::string("System");
  nlohmann::json values = nlohmann::json::object();
  std::string table;
  if (state == "[COMPLETE]") {
    const std::string keys = Get(getValue, def, 1, postoffice, def.period, "");
    for (size_t at = 0; at < keys.size();) {
      const std::string key(keys.c_str() + at);
      at += key.size() + 1;
      if (key.empty()) continue;
      const std::string value = Get(getValue, def, 1, postoffice, def.period, key);
      values[key] = value;
      table += "  " + key + " = " + value + "\n";
    }
  }
  std::string columns = "Count";
  for (int32_t j = 1; j < def.fieldCount; ++j) columns += "," + def.fields[static_cast<size_t>(j)].name;

  const bool ok = failure.empty() && state == "[COMPLETE]";
  std::string out = def.period + ": " + (state.empty() ? std::string("(no State flag stored)") : state);
  if (!lastModified.empty()) out += " (LastModified " + lastModified + ")";
  out += "\n";
  if (!failure.empty()) out += failure + "\n";
  if (!table.empty()) {
    out += "stored in postoffice " + postoffice + ", file " + def.period + ", section [" + def.logSchema + "]";
    if (def.resultType == 1) out += ", values " + columns;
    out += ":\n" + table;
  }
  if (ok && !def.outputFileName.empty()) out += "report file: " + def.outputFileName + "\n";
  if (!out.empty() && out.back() == '\n') out.pop_back();

  nlohmann::json object = {{"period", def.period},       {"state", state},
                           {"lastModified", lastModified}, {"resultText", failure},
                           {"postoffice", postoffice},     {"section", def.logSchema},
                           {"values", values}};
  context.Report(ok, object, out);
}

}  // namespace

void RegisterLogProcessingCommands(CLI::App& stats, HostContext& context) {
  auto options = std::make_shared<ProcessOptions>();
  CLI::App* command = stats.add_subcommand(
      "process", "Turn one day's log files into statistics as a report definition says (ProcessDelimitedLogFile)");
  command->add_option("DEFINITION-FILE", options->definitionFile, "File holding the report definition text")
      ->required();
  command->add_flag("--verbose", options->verbose, "Show the library's console lines on standard error");
  command->add_flag("--no-progress", options->noProgress, "No progress line, even on a terminal");
  command->callback([&context, options] { Process(context, *options); });
}

}  // namespace tallowmere::host
