// Changes to the text of an INI file with the Windows writing rules: a new
// key goes after the last key line of its section, a new section at the end,
// a replaced value rewrites only its own line (keeping the key's spelling),
// a removal drops only its own line; every other byte stays. Also the checks
// that refuse names and values which would not read back as written.
// Pure (no I/O), thread-compatible.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ini_document.h"

namespace tallowmere::platform::ini {

// False for names a read could not find again: empty, "=" inside, a leading
// "[" or ";", blanks at either end, CR, LF or NUL.
bool KeyWritable(std::string_view key);
// False for a section name with CR, LF or NUL (its blanks are trimmed).
bool SectionWritable(std::string_view section);
// False for a value with CR, LF or NUL.
bool ValueWritable(std::string_view value);
// The text stored for a value: the value itself, or the value in one more
// pair of double quotes when a read would otherwise trim its blanks or strip
// its own quotes.
std::string StoredValue(std::string_view value);

struct KeyChange {
  std::string_view key;
  std::optional<std::string_view> value;  // nullopt removes the key
};

// The text after applying `changes` in order to `section` of `document` (null
// for a missing file). Names and values must have passed the checks above.
// Linear in the size of the text plus the changes.
std::string ApplyChanges(const IniDocument* document, std::string_view section,
                         const std::vector<KeyChange>& changes);

// The text without the first section of that name (its header and lines).
std::string RemoveSection(const IniDocument& document, std::string_view section);

}  // namespace tallowmere::platform::ini
