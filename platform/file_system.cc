// File-system stand-in: path conversion with case-insensitive lookup,
// directories, attributes, directory search, deletion, whole-file I/O.
//
// Attributes: a directory is 0x10; a file without the owner write bit is
// read-only 0x01; a name starting with "." (other than "." and "..") is hidden
// 0x02; every entry that is not a directory is a file with archive 0x20.
// Normal 0x80 is never reported: Windows reports it only when no other bit is
// set, and archive is always set here. The purge's file mask 0x1A6 therefore
// selects every file through its archive bit. A symbolic link is reported as
// itself: reparse point 0x400 plus directory 0x10 when its target is a
// directory, else archive 0x20 (as Windows reports a file link); DeleteFile
// and RemoveDirectory remove the link, never its target.
#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/file_replace.h"
#include "platform/path_lookup.h"
#include "platform/last_error.h"
#include "platform/unique_fd.h"

namespace tallowmere::platform {

namespace {

constexpr std::string_view kDefaultDrives = "/var/lib/tallowmere/drives";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool LessNoCase(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    char x = Lower(a[i]), y = Lower(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::string DrivesRoot() {
  const char* env = std::getenv("TALLOWMERE_DRIVES");
  std::string root = (env && *env) ? std::string(env) : std::string(kDefaultDrives);
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

bool HasDrive(std::string_view path) { return path.size() >= 2 && IsLetter(path[0]) && path[1] == ':'; }

std::string Join(const std::string& directory, std::string_view name) {
  if (directory.empty()) return std::string(name);
  std::string result = directory;
  if (result.back() != '/') result += '/';
  result += name;
  return result;
}

// The name of an entry of `directory` equal to `name` ignoring ASCII case;
// the smallest such name when several differ only in case. Empty when none.
std::string FindNoCaseIn(const std::string& directory, std::string_view name) {
  DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (!dir) return {};
  std::string found;
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view candidate(entry->d_name);
    if (EqualNoCase(candidate, name) && (found.empty() || candidate < found)) found = candidate;
  }
  ::closedir(dir);
  return found;
}

// `st` is the entry itself (lstat); `pointsToDirectory` tells, for a link,
// whether its target is a directory.
uint32_t AttributesOf(const struct stat& st, std::string_view name, bool pointsToDirectory) {
  uint32_t attributes;
  if (S_ISLNK(st.st_mode)) {
    attributes = kAttrReparsePoint | (pointsToDirectory ? kAttrDirectory : kAttrArchive);
  } else {
    attributes = S_ISDIR(st.st_mode) ? kAttrDirectory : kAttrArchive;
    if (!OwnerWritable(st)) attributes |= kAttrReadOnly;
  }
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") attributes |= kAttrHidden;
  return attributes;
}

std::string_view LastComponent(std::string_view native) {
  size_t slash = native.rfind('/');
  return slash == std::string_view::npos ? native : native.substr(slash + 1);
}

// Attributes of the entry at a native path, or kInvalidAttributes.
uint32_t AttributesAt(const std::string& native) {
  struct stat st, target;
  if (::lstat(native.c_str(), &st) != 0) {
    SetLastError(errno);
    return kInvalidAttributes;
  }
  bool toDirectory = S_ISLNK(st.st_mode) && ::stat(native.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
  return AttributesOf(st, LastComponent(native), toDirectory);
}

bool Fail(int code) {
  SetLastError(code);
  return false;
}

}  // namespace

std::string ToNativePath(std::string_view path) { return ResolveNativePath(path, nullptr); }

std::string ResolveNativePath(std::string_view path, struct stat* found) {
  if (found) found->st_nlink = 0;
  std::string base;
  size_t i = 0;
  if (HasDrive(path)) {
    base = DrivesRoot() + "/" + Lower(path[0]);
    i = 2;
  } else if (!path.empty() && IsSeparator(path[0])) {
    base = "/";
  }
  std::vector<std::string_view> parts;
  while (i < path.size()) {
    while (i < path.size() && IsSeparator(path[i])) ++i;
    size_t start = i;
    while (i < path.size() && !IsSeparator(path[i])) ++i;
    std::string_view part = path.substr(start, i - start);
    // "." and ".." are resolved on the text, as Windows does: a path never
    // climbs above its root or its drive directory.
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") {
        parts.pop_back();
      } else if (base.empty()) {
        parts.push_back(part);  // a relative path may start above the current directory
      }
      continue;
    }
    parts.push_back(part);
  }
  // Fast path: the exact spelling exists.
  std::string exact = base;
  for (std::string_view part : parts) exact = Join(exact, part);
  struct stat st;
  if (exact.empty()) return path.empty() ? exact : std::string(".");
  if (::lstat(exact.c_str(), &st) == 0) {
    if (found) *found = st;
    return exact;
  }

  std::string result = base;
  bool resolving = true;
  for (std::string_view part : parts) {
    if (resolving && part != "..") {
      std::string candidate = Join(result, part);
      if (::lstat(candidate.c_str(), &st) == 0) {  // exists here, though not all the way down
        result = std::move(candidate);
        continue;
      }
      std::string other = FindNoCaseIn(result, part);
      if (!other.empty()) {
        result = Join(result, other);
        continue;
      }
      resolving = false;  // nothing below a missing name can exist
    }
    result = Join(result, part);
  }
  return result;
}

bool MatchesPattern(std::string_view pattern, std::string_view name) {
  if (pattern == "*" || pattern == "*.*") return true;
  // Greedy wildcard match with one backtrack point for the last "*".
  size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool MakeDirectory(std::string_view path) {
  std::string native = ToNativePath(path);
  if (native.empty()) return Fail(ENOENT);
  if (FileFaultFires(kFileMakeDirectory) || ::mkdir(native.c_str(), 0777) != 0) return Fail(errno);
  return true;
}

bool DirectoryExists(std::string_view path) {
  std::string native = ToNativePath(path);
  struct stat st;
  if (native.empty() || ::stat(native.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode);
}

uint32_t GetFileAttributes(std::string_view path) {
  std::string native = ToNativePath(path);
  if (native.empty()) {
    SetLastError(ENOENT);
    return kInvalidAttributes;
  }
  return AttributesAt(native);
}

bool DeleteFile(std::string_view path) {
  std::string native = ToNativePath(path);
  if (native.empty()) return Fail(ENOENT);
  struct stat st;
  if (::lstat(native.c_str(), &st) != 0) return Fail(errno);
  if (S_ISDIR(st.st_mode)) return Fail(EISDIR);
  if (!S_ISLNK(st.st_mode) && !OwnerWritable(st)) return Fail(EACCES);  // read-only, as Windows refuses
  if (FileFaultFires(kFileDelete) || ::unlink(native.c_str()) != 0) return Fail(errno);
  return true;
}

bool RemoveDirectory(std::string_view path) {
  std::string native = ToNativePath(path);
  if (native.empty()) return Fail(ENOENT);
  struct stat st, target;
  if (::lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    // A link to a directory is removed itself, as Windows removes a
    // directory link; its target stays.
    if (::stat(native.c_str(), &target) != 0 || !S_ISDIR(target.st_mode)) return Fail(ENOTDIR);
    if (FileFaultFires(kFileDelete) || ::unlink(native.c_str()) != 0) return Fail(errno);
    return true;
  }
  if (FileFaultFires(kFileDelete) || ::rmdir(native.c_str()) != 0) return Fail(errno);
  return true;
}

// ---------------------------------------------------------------------------
// Directory search: the matching names are taken when the search starts and
// sorted as Windows lists them ("." and ".." first, then ignoring case); the
// attributes of each are read when it is reached, and names that vanished in
// between are skipped.

struct DirectorySearch::State {
  DIR* dir = nullptr;
  std::vector<std::string> names;
  size_t next = 0;
  ~State() {
    if (dir) ::closedir(dir);
  }
};

DirectorySearch::DirectorySearch() = default;
DirectorySearch::~DirectorySearch() = default;

void DirectorySearch::Close() { state_.reset(); }
bool DirectorySearch::IsOpen() const { return state_ != nullptr; }

bool DirectorySearch::First(std::string_view pattern, DirectoryEntry& entry) {
  Close();
  size_t cut = pattern.find_last_of("\\/");
  std::string_view directory, last;
  if (cut != std::string_view::npos) {
    directory = pattern.substr(0, cut + 1);
    last = pattern.substr(cut + 1);
  } else if (HasDrive(pattern)) {
    directory = pattern.substr(0, 2);
    last = pattern.substr(2);
  } else {
    last = pattern;
  }
  if (last.empty()) return Fail(ENOENT);

  if (last.find_first_of("*?") == std::string_view::npos) {
    // A plain name: that one entry, with its spelling on disk.
    std::string native = ToNativePath(pattern);
    if (native.empty()) return Fail(ENOENT);
    uint32_t attributes = AttributesAt(native);
    if (attributes == kInvalidAttributes) return false;
    entry.name = std::string(LastComponent(native));
    entry.attributes = attributes;
    return true;  // nothing stays open: Next() reports the end
  }

  std::string nativeDirectory = directory.empty() ? std::string(".") : ToNativePath(directory);
  if (nativeDirectory.empty()) nativeDirectory.assign(1, '.');
  auto state = std::make_unique<State>();
  state->dir = FileFaultFires(kFileOpen) ? nullptr : ::opendir(nativeDirectory.c_str());
  if (!state->dir) return Fail(errno);
  while (const dirent* item = ::readdir(state->dir)) {
    std::string_view name(item->d_name);
    if (MatchesPattern(last, name)) state->names.emplace_back(name);
  }
  std::sort(state->names.begin(), state->names.end(), [](const std::string& a, const std::string& b) {
    int rankA = a == "." ? 0 : a == ".." ? 1 : 2;
    int rankB = b == "." ? 0 : b == ".." ? 1 : 2;
    if (rankA != rankB) return rankA < rankB;
    return LessNoCase(a, b);
  });
  state_ = std::move(state);
  if (!Next(entry)) return Fail(ENOENT);
  return true;
}

bool DirectorySearch::Next(DirectoryEntry& entry) {
  if (!state_) return Fail(ENOENT);
  int dirFd = ::dirfd(state_->dir);
  while (state_->next < state_->names.size()) {
    const std::string& name = state_->names[state_->next++];
    struct stat st, target;
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // removed since the search started
    bool toDirectory =
        S_ISLNK(st.st_mode) && ::fstatat(dirFd, name.c_str(), &target, 0) == 0 && S_ISDIR(target.st_mode);
    entry.name = name;
    entry.attributes = AttributesOf(st, name, toDirectory);
    return true;
  }
  Close();
  return Fail(ENOENT);
}

// ---------------------------------------------------------------------------

InputFile::~InputFile() { Close(); }

bool InputFile::Open(std::string_view path) {
  Close();
  std::string native = ToNativePath(path);
  if (native.empty()) return Fail(ENOENT);
  fd_ = FileFaultFires(kFileOpen) ? -1 : ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return Fail(errno);
  struct stat st;
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    Close();
    return Fail(EISDIR);
  }
  return true;
}

long InputFile::Read(void* buffer, size_t size) {
  if (fd_ < 0) {
    SetLastError(EBADF);
    return -1;
  }
  for (;;) {
    ssize_t n = ::read(fd_, buffer, size);
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) {
      SetLastError(errno);
      return -1;
    }
  }
}

void InputFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool ReplaceFileContents(std::string_view path, std::string_view contents) {
  std::string native = ToNativePath(path);
  std::string directory, name;
  if (!SplitNativePath(native, directory, name)) return false;
  DirectoryLock lock(directory);
  if (!lock.ok()) return false;
  // Look the name up again under the lock: another writer may have created
  // it meanwhile with another letter case.
  std::string again = ToNativePath(path);
  std::string directoryAgain, nameAgain;
  if (SplitNativePath(again, directoryAgain, nameAgain) && directoryAgain == directory) name = nameAgain;
  struct stat st;
  const struct stat* existing = nullptr;
  if (::fstatat(lock.fd(), name.c_str(), &st, 0) == 0) {
    if (S_ISDIR(st.st_mode)) return Fail(EISDIR);
    if (!OwnerWritable(st)) return Fail(EACCES);
    existing = &st;
  }
  return ReplaceInDirectory(lock, name, contents, existing, nullptr);
}

}  // namespace tallowmere::platform
