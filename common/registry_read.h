// Registry readers over the platform registry (HKEY_LOCAL_MACHINE, read only).
// Re-entrant.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tallowmere {

// Reads a value of any type as text into dst (at most size − 1 characters, up
// to the first NUL of the stored data). Returns 1 when copied; 0 (dst empty)
// when size is 0, the key or value is missing, the data is empty or the data
// does not fit size bytes. The key path is normalised first
// (NormaliseRegistryPath).
int ReadRegistryString(const char* keyPath, const char* valueName, char* dst, size_t size);

// Reads at most 4 raw bytes of a value of any type into a zeroed integer
// (little-endian; a shorter value fills the low bytes). Returns 1 and stores
// it; 0 (dst unchanged) on an empty key path, a missing key or value, or data
// longer than 4 bytes (the registry's "more data" failure). The key path is
// used unchanged.
int ReadRegistryDword(const char* keyPath, const char* valueName, uint32_t* dst);

}  // namespace tallowmere
