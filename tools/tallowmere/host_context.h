// What every command of the tallowmere program shares: the global options,
// the libraries loaded so far, the exit code, and the output in text or JSON.
// Not thread-safe (one per run). Library loading failures throw HostError.
#pragma once

#include <map>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "tools/tallowmere/host_error.h"
#include "tools/tallowmere/library.h"

namespace tallowmere::host {

class HostContext {
 public:
  bool json = false;           // --json: one JSON object per command on stdout
  std::string libraryDir;      // --library-dir
  int exitCode = kExitOk;

  // lib<name>.so from the library directory, loaded on first use.
  Library& Load(const std::string& name);

  // Prints the result: `object` as one JSON line with --json, else `text`
  // (nothing when empty). Sets the exit code from `ok`.
  void Report(bool ok, nlohmann::json object, const std::string& text);

 private:
  std::map<std::string, std::unique_ptr<Library>> libraries_;
};

// Runs `call` with the library's standard output sent to standard error, so
// that the library's console lines never mix with the program's result.
template <typename Call>
auto WithConsoleOnStderr(Call call) -> decltype(call());

}  // namespace tallowmere::host

#include "tools/tallowmere/console_redirect.h"
