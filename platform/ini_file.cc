// INI (private profile) files with the Windows rules:
//
// Reading. A missing file, section or key gives the default (its trailing
// blanks removed, as Windows does); a key with an empty value gives "".
// Section and key names compare ignoring ASCII case; blanks around names,
// values and the lookup arguments are ignored; one matching pair of double or
// single quotes around a value is removed. ";" starts a comment line, "#"
// does not. Lines without "=" are not keys. The first of duplicate keys and
// of duplicate sections wins. "[a]y]" names "a]y", "[s] junk" names "s",
// "[open" is no header, "[]" names the empty section. CR LF, LF and CR end
// lines. Bytes pass unchanged; a UTF-8 byte-order mark is not skipped. A NUL
// inside a line ends the name or value there. An empty key argument ("")
// gives the default; an empty or missing section with a null key (the key
// list) gives the default too, as a plain text.
//
// Writing. See ini_edit.h for what changes in the text. The file is replaced
// as a whole (temporary file + rename, see file_replace.h) while the writer
// holds an exclusive flock on the file's directory, so that writers in any
// thread or process never lose each other's updates and readers (no lock)
// never see a partial file. A write that changes nothing leaves the file as
// it is. A read-only file (no owner write bit) is not written (EACCES), as on
// Windows. A removal from a file that does not exist succeeds and creates
// nothing. A null key removes the whole section (Windows does the same).
#include "platform/ini_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/file_replace.h"
#include "platform/file_system.h"
#include "platform/ini_cache.h"
#include "platform/ini_edit.h"
#include "platform/last_error.h"
#include "platform/path_lookup.h"

namespace tallowmere::platform {

namespace {

using ini::IniDocument;
using ini::KeyChange;
using ini::LineKind;

std::string_view DefaultText(const char* def) {
  std::string_view text = def ? std::string_view(def) : std::string_view();
  while (!text.empty() && ini::IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

size_t CopyText(std::string_view text, char* buffer, size_t size) {
  size_t n = std::min(text.size(), size - 1);
  if (n > 0) std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return n;
}

// Names each followed by NUL, then one more NUL. When it does not fit, the
// list is cut to size - 2 bytes and ends in two NULs; the result is size - 2.
size_t CopyList(const std::vector<std::string_view>& names, const char* def, char* buffer, size_t size) {
  if (names.empty()) return CopyText(DefaultText(def), buffer, size);
  size_t total = 1;
  for (std::string_view name : names) total += name.size() + 1;
  if (total <= size) {
    char* out = buffer;
    for (std::string_view name : names) {
      if (!name.empty()) std::memcpy(out, name.data(), name.size());
      out += name.size();
      *out++ = '\0';
    }
    *out = '\0';
    return total - 1;
  }
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  size_t limit = size - 2, used = 0;
  for (std::string_view name : names) {
    if (used == limit) break;
    size_t n = std::min(name.size(), limit - used);
    if (n > 0) std::memcpy(buffer + used, name.data(), n);
    used += n;
    if (used == limit) break;
    buffer[used++] = '\0';
  }
  buffer[limit] = '\0';
  buffer[limit + 1] = '\0';
  return limit;
}

std::vector<std::string_view> KeyNames(const IniDocument* document, const char* section) {
  std::vector<std::string_view> names;
  if (!document) return names;
  int index = document->FindSection(section);
  if (index < 0) return names;
  const ini::SectionBlock& block = document->sections()[static_cast<size_t>(index)];
  for (uint32_t i = block.header + 1; i < block.end; ++i) {
    const ini::Line& line = document->lines()[i];
    if (line.kind == LineKind::kKey) names.push_back(document->Name(line));
  }
  return names;
}

std::vector<std::string_view> SectionNames(const IniDocument* document) {
  std::vector<std::string_view> names;
  if (!document) return names;
  for (const ini::SectionBlock& block : document->sections()) {
    std::string_view name = document->Name(document->lines()[block.header]);
    if (!name.empty()) names.push_back(name);
  }
  return names;
}

std::shared_ptr<const IniDocument> Load(std::string_view path) {
  struct stat st;
  std::string native = ResolveNativePath(path, &st);
  if (native.empty()) {
    SetLastError(ENOENT);
    return nullptr;
  }
  return LoadIniDocument(native, &st);
}

std::string NativeOf(const std::string& directory, const std::string& name, bool bare) {
  if (bare) return name;
  return directory == "/" ? "/" + name : directory + "/" + name;
}

bool Refuse(int code) {
  SetLastError(code);
  return false;
}

// One locked read-change-replace cycle. `removeSection` drops the section
// instead of applying `changes`.
bool WriteChanges(std::string_view path, std::string_view section, const std::vector<KeyChange>& changes,
                  bool removeSection) {
  if (!ini::SectionWritable(section)) return Refuse(EINVAL);
  bool onlyRemovals = true;
  for (const KeyChange& change : changes) {
    if (!ini::KeyWritable(change.key)) return Refuse(EINVAL);
    if (change.value) {
      if (!ini::ValueWritable(*change.value)) return Refuse(EINVAL);
      onlyRemovals = false;
    }
  }
  std::string native = ToNativePath(path);
  std::string directory, name;
  if (!SplitNativePath(native, directory, name)) return false;
  bool bare = native.find('/') == std::string::npos;

  DirectoryLock lock(directory);
  if (!lock.ok()) return onlyRemovals && LastError() == ENOENT;  // nothing to remove from a missing file
  // Look the name up again under the lock: another writer may have created
  // the file meanwhile with another letter case.
  std::string again = ToNativePath(path), directoryAgain, nameAgain;
  if (SplitNativePath(again, directoryAgain, nameAgain) && directoryAgain == directory) name = nameAgain;
  native = NativeOf(directory, name, bare);

  struct stat st;
  const struct stat* existing = nullptr;
  std::shared_ptr<const IniDocument> document;
  if (::fstatat(lock.fd(), name.c_str(), &st, 0) == 0) {
    if (S_ISDIR(st.st_mode)) return Refuse(EISDIR);
    if (!OwnerWritable(st)) return Refuse(EACCES);
    existing = &st;
    document = LoadIniDocument(native, &st);
    if (!document) return false;
  } else if (errno != ENOENT) {
    return Refuse(errno);
  } else if (onlyRemovals) {
    return true;
  }

  std::string text;
  if (removeSection) {
    if (!document) return true;
    text = ini::RemoveSection(*document, section);
  } else {
    text = ini::ApplyChanges(document.get(), section, changes);
  }
  if (document ? text == document->text() : text.empty()) return true;

  struct stat written;
  if (!ReplaceInDirectory(lock, name, text, existing, &written)) return false;
  if (written.st_size >= 0) {
    RememberIniText(native, IdentityOf(written), std::move(text));
  }
  return true;
}

}  // namespace

size_t IniGetString(std::string_view path, const char* section, const char* key, const char* def, char* buffer,
                    size_t size) {
  if (!buffer || size == 0) return 0;
  buffer[0] = '\0';
  try {
    std::shared_ptr<const IniDocument> document = Load(path);
    if (!section) return CopyList(SectionNames(document.get()), def, buffer, size);
    if (!key) {
      if (!*section) return CopyText(DefaultText(def), buffer, size);
      return CopyList(KeyNames(document.get(), section), def, buffer, size);
    }
    if (document && *key) {
      int line = document->FindKey(document->FindSection(section), key);
      if (line >= 0) return CopyText(document->Value(document->lines()[static_cast<size_t>(line)]), buffer, size);
    }
    return CopyText(DefaultText(def), buffer, size);
  } catch (...) {
    buffer[0] = '\0';
    SetLastError(ENOMEM);
    return 0;
  }
}

bool IniWriteString(std::string_view path, const char* section, const char* key, const char* value) {
  if (!section) return Refuse(EINVAL);
  try {
    if (!key) return WriteChanges(path, section, {}, true);
    std::vector<KeyChange> changes{KeyChange{key, value ? std::optional<std::string_view>(value) : std::nullopt}};
    return WriteChanges(path, section, changes, false);
  } catch (...) {
    return Refuse(ENOMEM);
  }
}

bool IniWriteStrings(std::string_view path, std::string_view section, const std::vector<IniEdit>& edits) {
  try {
    std::vector<KeyChange> changes;
    changes.reserve(edits.size());
    for (const IniEdit& edit : edits) {
      changes.push_back(KeyChange{edit.key, edit.value ? std::optional<std::string_view>(*edit.value) : std::nullopt});
    }
    return WriteChanges(path, section, changes, false);
  } catch (...) {
    return Refuse(ENOMEM);
  }
}

namespace {

// Loads the file for a whole-section or whole-value read; nullptr when it is
// missing (no such file, or a directory under its name) or unreadable,
// telling the two apart through `unreadable`.
std::shared_ptr<const IniDocument> LoadForRead(std::string_view path, bool* unreadable) {
  std::shared_ptr<const IniDocument> document = Load(path);
  if (unreadable != nullptr) {
    const int error = document ? 0 : LastError();
    *unreadable = error != 0 && error != ENOENT && error != ENOTDIR && error != EISDIR;
  }
  return document;
}

}  // namespace

std::optional<std::vector<std::pair<std::string, std::string>>> IniReadSection(std::string_view path,
                                                                               std::string_view section,
                                                                               bool* unreadable) {
  try {
    std::shared_ptr<const IniDocument> document = LoadForRead(path, unreadable);
    if (!document) return std::nullopt;
    int index = document->FindSection(section);
    if (index < 0) return std::nullopt;
    std::vector<std::pair<std::string, std::string>> result;
    const ini::SectionBlock& block = document->sections()[static_cast<size_t>(index)];
    for (uint32_t i = block.header + 1; i < block.end; ++i) {
      const ini::Line& line = document->lines()[i];
      if (line.kind != LineKind::kKey) continue;
      if (document->FindKey(index, document->Name(line)) != static_cast<int>(i)) continue;  // a later duplicate
      result.emplace_back(document->Name(line), document->Value(line));
    }
    return result;
  } catch (...) {
    SetLastError(ENOMEM);
    if (unreadable != nullptr) *unreadable = true;
    return std::nullopt;
  }
}

std::optional<std::string> IniGetValue(std::string_view path, std::string_view section, std::string_view key,
                                       bool* unreadable) {
  try {
    std::shared_ptr<const IniDocument> document = LoadForRead(path, unreadable);
    if (!document || key.empty()) return std::nullopt;
    const int line = document->FindKey(document->FindSection(section), key);
    if (line < 0) return std::nullopt;
    return std::string(document->Value(document->lines()[static_cast<size_t>(line)]));
  } catch (...) {
    SetLastError(ENOMEM);
    if (unreadable != nullptr) *unreadable = true;
    return std::nullopt;
  }
}

void IniClearCache() { ClearIniCache(); }

}  // namespace tallowmere::platform
