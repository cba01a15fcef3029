// Registry stand-in: read-only access to HKEY_LOCAL_MACHINE as exported in a
// .reg file (REGEDIT4 8-bit, or version 5.00 UTF-16LE with BOM, or UTF-8).
// The file is named by $TALLOWMERE_REGISTRY (default /etc/tallowmere/registry.reg)
// and re-read whenever its identity (device, inode, size, mtime) changes.
// Thread-safe. A missing or unreadable file means every value is absent; a
// malformed line is skipped; nothing in the file can crash or hang the reader
// (parsing is linear; only the first 64 MiB of a file are read).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tallowmere::platform {

// Registry value types as Windows numbers them.
enum RegistryType : uint32_t {
  kRegNone = 0,
  kRegSz = 1,          // "text"
  kRegExpandSz = 2,    // hex(2):
  kRegBinary = 3,      // hex:
  kRegDword = 4,       // dword:
  kRegMultiSz = 7,     // hex(7):
  kRegQword = 11,      // hex(b):
};

struct RegistryValue {
  uint32_t type = kRegNone;
  // The raw data as the registry stores it: text values are 8-bit text
  // followed by one terminating NUL (so "" has one byte), dword values are
  // 4 little-endian bytes, hex values their bytes (version 5 UTF-16 texts of
  // hex(1)/hex(2)/hex(7) converted to 8-bit text, as the registry's 8-bit
  // read converts them).
  std::string data;
};

// Path of the registry file in force (from the environment, or the default).
std::string RegistryFilePath();

// Looks up `valueName` ("" or "@" is the default value) of the key
// `keyPath`, relative to HKEY_LOCAL_MACHINE ("SOFTWARE\\Tallowmere\\..."),
// comparing key paths and names ignoring ASCII case.
// Returns nullopt when the key or the value is absent.
std::optional<RegistryValue> ReadRegistryValue(std::string_view keyPath, std::string_view valueName);

// True when a section for the key exists in the file.
bool RegistryKeyExists(std::string_view keyPath);

}  // namespace tallowmere::platform
