#include "tools/tallowmere/library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>
#include <vector>

namespace tallowmere::host {

Library::Library(std::string path) : path_(std::move(path)) {
  // RTLD_NODELETE: the libraries keep process-wide caches (registry, INI
  // files, mail root) for the life of the process; unloading them would only
  // drop those caches unreleased.
  handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle_ == nullptr) {
    const char* reason = dlerror();
    throw HostError(kExitNoLibrary, "cannot load " + path_ + ": " + (reason ? reason : "unknown reason"));
  }
}

Library::~Library() {
  if (handle_ != nullptr) dlclose(handle_);
}

void* Library::Symbol(const char* name) const {
  dlerror();
  void* symbol = dlsym(handle_, name);
  if (symbol == nullptr) {
    throw HostError(kExitNoLibrary, path_ + " does not export " + name);
  }
  return symbol;
}

std::string LibraryDirectory(const std::string& option) {
  if (!option.empty()) return option;
  if (const char* fromEnvironment = std::getenv("TALLOWMERE_LIBRARY_DIR"); fromEnvironment && *fromEnvironment) {
    return fromEnvironment;
  }
  std::vector<char> buffer(4096);
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return "../lib";
  std::string executable(buffer.data(), static_cast<size_t>(length));
  const size_t slash = executable.rfind('/');
  const std::string bin = slash == std::string::npos ? std::string(".") : executable.substr(0, slash);
#ifdef TALLOWMERE_INSTALL_LIBDIR
  // Installed under a prefix whose library directory is not "lib" (Debian's
  // /usr/lib/x86_64-linux-gnu): use the one the installation put them in.
  const std::string installed = bin + "/../" TALLOWMERE_INSTALL_LIBDIR;
  if (access((bin + "/../lib/libstatslog.so").c_str(), F_OK) != 0 &&
      access((installed + "/libstatslog.so").c_str(), F_OK) == 0) {
    return installed;
  }
#endif
  return bin + "/../lib";
}

}  // namespace tallowmere::host
