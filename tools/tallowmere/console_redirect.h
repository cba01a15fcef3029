// WithConsoleOnStderr (declared in host_context.h): the library's standard
// output goes to standard error for the duration of one call.
#pragma once

#include <unistd.h>

#include <cstdio>

namespace tallowmere::host {

class ConsoleOnStderr {
 public:
  ConsoleOnStderr() {
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    if (saved_ >= 0) dup2(STDERR_FILENO, STDOUT_FILENO);
  }
  ~ConsoleOnStderr() {
    std::fflush(stdout);
    if (saved_ >= 0) {
      dup2(saved_, STDOUT_FILENO);
      close(saved_);
    }
  }
  ConsoleOnStderr(const ConsoleOnStderr&) = delete;
  ConsoleOnStderr& operator=(const ConsoleOnStderr&) = delete;

 private:
  int saved_ = -1;
};

template <typename Call>
auto WithConsoleOnStderr(Call call) -> decltype(call()) {
  ConsoleOnStderr redirect;
  return call();
}

}  // namespace tallowmere::host
