#include "tools/tallowmere/host_context.h"

#include <iostream>

namespace tallowmere::host {

Library& HostContext::Load(const std::string& name) {
  auto& slot = libraries_[name];
  if (!slot) slot = std::make_unique<Library>(LibraryDirectory(libraryDir) + "/lib" + name + ".so");
  return *slot;
}

void HostContext::Report(bool ok, nlohmann::json object, const std::string& text) {
  exitCode = ok ? kExitOk : kExitFailed;
  if (json) {
    object["ok"] = ok;
    std::cout << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
  } else if (!text.empty()) {
    std::cout << text << '\n';
  }
}

}  // namespace tallowmere::host
