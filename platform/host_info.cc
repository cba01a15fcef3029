// Host name and executable path from the operating system.
#include "platform/host_info.h"

#include <limits.h>
#include <unistd.h>

#include <cerrno>

#include "platform/last_error.h"

namespace tallowmere::platform {

std::string ComputerName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) {
    SetLastError(errno);
    return {};
  }
  std::string result(name);
  if (auto dot = result.find('.'); dot != std::string::npos) result.resize(dot);
  return result;
}

std::string ExecutablePath() {
  char path[PATH_MAX] = {};
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n < 0) {
    SetLastError(errno);
    return {};
  }
  return std::string(path, static_cast<size_t>(n));
}

}  // namespace tallowmere::platform
