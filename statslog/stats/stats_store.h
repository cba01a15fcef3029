// The statistics store's C++ entry points: one value or status flag read or
// written in an INI file of the statistics tree, or many keys of one file
// written in one rewrite. The exports and the log processing both go through
// here. Thread-safe (no lock of its own; concurrent writers meet in the INI
// layer). Every function refuses (0 / false / nullopt, nothing created or
// written) an unsafe server, postoffice or file name, a path that would exceed
// 1023 characters, and a values-tree write to a postoffice whose directory is
// missing (except "System", which is created).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ini_file.h"

namespace tallowmere::stats {

// The two trees under every branch: values (STATSROOT\Servers\...) and
// status flags (STATSROOT\Flags\Servers\...).
enum class StatsTree { kValues, kFlags };

// Where one INI file of the tree lives. Empty server: the computer name.
// scope 1 = postoffice, 2 = nested ("postoffice\level" in postoffice),
// anything else = "System" (postoffice ignored). fileName has no ".INI"; it
// may start with one folder and "\" (the folder directory is created on
// write). The views must stay valid for the call only.
struct StatsFile {
  StatsTree tree = StatsTree::kValues;
  std::string_view server;
  int32_t scope = 0;
  std::string_view postoffice;
  std::string_view fileName;
  std::string_view section;
};

// GetStatsString / GetStatsStatusString: copies the value of `key` (or, for a
// null or empty key, the section's key names, each NUL-terminated, plus one
// more NUL) cut to size − 1 bytes plus NUL. Returns 1 when at least one byte
// was copied, else 0 with result[0] = NUL. size 0 or a null result: 0,
// nothing written. Creates nothing.
int ReadStatsString(const StatsFile& file, const char* key, char* result, size_t size);

// The whole value of `key` ("" when the file, section or key is missing, or
// the value is empty). Creates nothing. `unreadable`, when given, is set to
// true when the file exists but cannot be read (the result is then "").
std::string ReadStatsValue(const StatsFile& file, std::string_view key, bool* unreadable = nullptr);

// Every key of the section with its value, in file order; nullopt when the
// file or section is missing, the address is refused, or the file cannot be
// read (`unreadable` as above). Creates nothing.
std::optional<std::vector<std::pair<std::string, std::string>>> ReadStatsSection(const StatsFile& file,
                                                                                 bool* unreadable = nullptr);

// SetStatsString / SetStatsStatusString: creates the directory chain, then
// writes key = value (value null removes the key). Every "=" of the key is
// stored as ":". Returns false when refused or when the INI write fails.
bool WriteStatsString(const StatsFile& file, std::string_view key, const char* value);

// Many keys of one section of one file in one atomic rewrite (nullopt value
// removes). Keys get "=" → ":" as above. Keys the INI layer cannot store (see
// IsStorableKey) make the whole call fail with the file untouched; callers
// that take keys from outside filter them first.
bool WriteStatsStrings(const StatsFile& file, const std::vector<platform::IniEdit>& edits);

// True when an INI key (after "=" → ":") reads back as written: not empty,
// no CR or LF, no blank or tab at either end, not starting with "[" or ";".
bool IsStorableKey(std::string_view key);

}  // namespace tallowmere::stats
