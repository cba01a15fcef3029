// File-system stand-in. Paths are given as the system composes them: "\" or
// "/" separate, a leading drive "X:" maps to $TALLOWMERE_DRIVES/x (default
// /var/lib/tallowmere/drives/x). Existing names are found whatever their
// letter case (exact spelling first); new ones get the spelling asked for.
// Thread-safe. Failures return false/0 and set LastError() to the errno value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tallowmere::platform {

// File attribute bits as Windows reports them.
enum FileAttribute : uint32_t {
  kAttrReadOnly = 0x01,  // no owner write bit
  kAttrHidden = 0x02,    // name starts with "."
  kAttrSystem = 0x04,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,   // regular file
  kAttrNormal = 0x80,    // regular file
  kAttrTemporary = 0x100,
  kAttrReparsePoint = 0x400,  // symbolic link (see below)
};

// Symbolic links are reported as themselves, never followed: GetFileAttributes
// and DirectorySearch give a link kAttrReparsePoint (plus kAttrDirectory when
// it points to a directory, as Windows reports a directory link), and
// DeleteFile removes the link itself whatever it points to. Tree walks that
// delete (the statistics purges) rely on this to stay inside their tree.

// Converts a system path to the native path it names, resolving every
// existing component case-insensitively. Components that do not exist keep
// the spelling asked for. Empty components ("a\\\\b") count as one separator;
// "." and ".." are resolved on the text as Windows does, never above the root
// or the drive directory ("C:\\..\\x" is $TALLOWMERE_DRIVES/c/x).
std::string ToNativePath(std::string_view path);

// True when `name` matches the wildcard pattern ("*" any run, "?" one
// character), ignoring ASCII letter case. "*.*" matches every name.
bool MatchesPattern(std::string_view pattern, std::string_view name);

// Creates one directory level, as _mkdir does: the parent must exist.
// Returns true on success; false (LastError set, EEXIST included) otherwise.
bool MakeDirectory(std::string_view path);

// True when the path names an existing directory.
bool DirectoryExists(std::string_view path);

// Attributes of an existing entry, or nullopt-like 0xFFFFFFFF when missing.
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;
uint32_t GetFileAttributes(std::string_view path);

// Deletes a file. Fails (EACCES) on a read-only file, as Windows does, and on
// a directory (EISDIR/EPERM).
bool DeleteFile(std::string_view path);

// Removes an empty directory.
bool RemoveDirectory(std::string_view path);

struct DirectoryEntry {
  std::string name;
  uint32_t attributes = 0;
};

// Directory search in the manner of FindFirstFile/FindNextFile. The pattern is
// a directory path, a separator and a last component with "*" and "?"
// wildcards matched ignoring case ("*", "*.INI"), or a plain name (which then
// finds that one entry). "." and ".." are reported for "*" as Windows does.
class DirectorySearch {
 public:
  DirectorySearch();
  ~DirectorySearch();
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;

  // Starts a new search (closing any open one). Returns false when nothing
  // matches (LastError ENOENT) or the directory cannot be read.
  bool First(std::string_view pattern, DirectoryEntry& entry);
  // Next matching entry; false at the end (the search is then closed).
  bool Next(DirectoryEntry& entry);
  void Close();
  bool IsOpen() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// A file opened for reading; closed by the destructor.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  bool Open(std::string_view path);
  // Bytes read (0 at the end), or −1 on error.
  long Read(void* buffer, size_t size);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Creates or replaces a whole file atomically (temporary file in the same
// directory, then rename): readers see the old content or the new, never a
// part. Returns false (old file untouched) on any failure.
bool ReplaceFileContents(std::string_view path, std::string_view contents);

}  // namespace tallowmere::platform
