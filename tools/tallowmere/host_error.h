// The error a command reports to the user, with the exit code it ends with.
#pragma once

#include <stdexcept>
#include <string>

namespace tallowmere::host {

// Exit codes of the tallowmere program.
enum ExitCode : int {
  kExitOk = 0,
  kExitFailed = 1,      // the library refused or found nothing
  kExitUsage = 2,       // bad command line
  kExitNoLibrary = 3,   // the library or one of its exports could not be loaded
};

class HostError : public std::runtime_error {
 public:
  HostError(int exitCode, const std::string& message) : std::runtime_error(message), exitCode_(exitCode) {}
  int exitCode() const { return exitCode_; }

 private:
  int exitCode_;
};

}  // namespace tallowmere::host
