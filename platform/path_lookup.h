// Internal to the platform layer: path conversion that also hands back what
// it learnt about the entry, so that callers save a second stat call.
// Thread-safe.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace tallowmere::platform {

// ToNativePath. When the path exists as spelt (every component exact),
// `*found` receives its lstat; otherwise found->st_nlink is 0.
std::string ResolveNativePath(std::string_view path, struct stat* found);

}  // namespace tallowmere::platform
