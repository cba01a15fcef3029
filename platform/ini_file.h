// INI (private profile) files with the Windows reading and writing rules
// (see the notes at the top of ini_file.cc). Paths are system paths as
// file_system.h takes them. Parsed files are cached by path and identity
// (device, inode, size, mtime), so repeated reads of an unchanged file cost
// one parse. Writes replace the file atomically (temporary file + rename)
// under a lock that holds across threads and processes; a write changes only
// its own line (or adds a line or a section) and keeps every other byte.
// Thread-safe.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tallowmere::platform {

// GetPrivateProfileStringA: with a key, copies the value (or `def` when the
// file, section or key is missing) cut to size − 1 bytes plus NUL, and returns
// the bytes copied. With key == nullptr, copies the section's key names, each
// NUL-terminated, plus a final NUL (cut as Windows cuts: result size − 2);
// an empty or missing section gives `def` instead. section == nullptr lists
// the section names the same way. size == 0 returns 0 and writes nothing.
// A file that cannot be read counts as missing (LastError set).
size_t IniGetString(std::string_view path, const char* section, const char* key,
                    const char* def, char* buffer, size_t size);

// WritePrivateProfileStringA: value == nullptr removes the key, key ==
// nullptr the whole section. Returns false (file untouched, LastError set)
// when section is null, the directory is missing (ENOENT), the file is
// read-only (EACCES) or cannot be written, or the key or value would not read
// back as written (EINVAL: an empty key, a key with "=", a leading "[" or
// ";", blanks at its ends, CR, LF or NUL; a value with CR, LF or NUL). A value
// with blanks at its ends or enclosed in quotes is protected with one more
// pair of double quotes. Removing from a missing file succeeds and creates
// nothing; a write that would change nothing leaves the file as it is.
bool IniWriteString(std::string_view path, const char* section, const char* key,
                    const char* value);

// Several writes to one section of one file in one atomic rewrite, with the
// same result as the single writes in order (nullopt value removes). Linear
// in the file size plus the edits. All or nothing: when one edit is refused,
// the file is untouched and false is returned.
struct IniEdit {
  std::string key;
  std::optional<std::string> value;
};
bool IniWriteStrings(std::string_view path, std::string_view section, const std::vector<IniEdit>& edits);

// Every key of a section with its value as IniGetString would return it (first
// of duplicate keys wins; file order). nullopt when the file or the section is
// missing, or when the file exists but cannot be read; `unreadable`, when
// given, tells the last case apart (true; LastError set).
std::optional<std::vector<std::pair<std::string, std::string>>> IniReadSection(std::string_view path,
                                                                               std::string_view section,
                                                                               bool* unreadable = nullptr);

// The whole value of one key, as IniGetString would return it uncut. nullopt
// when the file, section or key is missing or the key is empty, and when the
// file cannot be read (`unreadable` set to true as above).
std::optional<std::string> IniGetValue(std::string_view path, std::string_view section, std::string_view key,
                                       bool* unreadable = nullptr);

// Drops every cached parse (tests and benchmarks measure cold reads with it).
void IniClearCache();

}  // namespace tallowmere::platform
