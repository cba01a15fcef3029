// Facts about the machine and the running program.
#pragma once

#include <string>

namespace tallowmere::platform {

// The short host name (gethostname, cut at the first "."); "" on failure.
std::string ComputerName();

// Path of the host program's executable (/proc/self/exe); "" on failure.
std::string ExecutablePath();

}  // namespace tallowmere::platform
