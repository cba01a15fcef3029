// A shared library of this project loaded with dlopen, as the mail server's
// services load them, and its exports looked up by name. Not thread-safe
// (the host program is single-threaded). Failures throw HostError with a
// message naming the file and the loader's reason.
#pragma once

#include <string>

#include "tools/tallowmere/host_error.h"

namespace tallowmere::host {

class Library {
 public:
  // Loads `path` (RTLD_NOW: every symbol resolved up front).
  explicit Library(std::string path);
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  const std::string& path() const { return path_; }

  // The export `name` as a function pointer of type F.
  template <typename F>
  F Function(const char* name) const {
    return reinterpret_cast<F>(Symbol(name));
  }

 private:
  void* Symbol(const char* name) const;

  std::string path_;
  void* handle_ = nullptr;
};

// The directory the libraries are loaded from: `option` when given, else
// $TALLOWMERE_LIBRARY_DIR, else ../lib beside this program's executable.
std::string LibraryDirectory(const std::string& option);

}  // namespace tallowmere::host
