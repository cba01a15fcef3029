// The mail root: base directory of every postoffice and of the statistics
// tree, read once per process from the registry value "Mail Root" of
// HKEY_LOCAL_MACHINE\SOFTWARE\Tallowmere\Tallowmere, default
// "D:\Tallowmere\Postoffices" (a drive path, mapped by the platform layer).
// Thread-safe: the first callers race to fill the cache with the same text.
#pragma once

#include <string>

namespace tallowmere::stats {

inline constexpr const char* kMailRootKey = "SOFTWARE\\Tallowmere\\Tallowmere";
inline constexpr const char* kMailRootValue = "Mail Root";
inline constexpr const char* kDefaultMailRoot = "D:\\Tallowmere\\Postoffices";

// The cached mail root; never fails (a missing, empty or over-long value
// gives the default). Registry changes after the first call are not seen.
std::string GetMailRoot();

// Empties the cache so that the next call reads the registry again (tests).
void ResetMailRootForTests();

}  // namespace tallowmere::stats
