#include "statslog/stats/mail_root.h"

#include <mutex>

#include "common/registry_read.h"

namespace tallowmere::stats {
namespace {

// The process-wide cache, empty at load.
std::mutex gMailRootMutex;
std::string gMailRoot;

}  // namespace

std::string GetMailRoot() {
  std::lock_guard<std::mutex> lock(gMailRootMutex);
  if (gMailRoot.empty()) {
    char buffer[1024] = {};
    if (ReadRegistryString(kMailRootKey, kMailRootValue, buffer, sizeof buffer) == 1 && buffer[0] != '\0') {
      gMailRoot = buffer;
    } else {
      gMailRoot = kDefaultMailRoot;
    }
  }
  return gMailRoot;
}

void ResetMailRootForTests() {
  std::lock_guard<std::mutex> lock(gMailRootMutex);
  gMailRoot.clear();
}

}  // namespace tallowmere::stats
