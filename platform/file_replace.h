// Whole-file replacement and the writers' lock, shared by the INI writer and
// ReplaceFileContents. Paths here are native paths (already converted).
// Writers of files in one directory serialise on an exclusive flock of the
// directory itself: it excludes other threads (each lock opens its own
// descriptor) and other processes, and leaves no lock file behind. Readers
// take no lock: a replacement is a rename, so they see the old file or the
// new one. Every failure sets LastError() to the errno value.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace tallowmere::platform {

// What tells two versions of a file apart without reading them. ctime is in
// it because no program can set it back: an in-place rewrite that keeps size
// and restores mtime still changes ctime.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = -1;
  int64_t mtimeNs = 0;
  int64_t ctimeNs = 0;
  bool operator==(const FileIdentity&) const = default;
};
FileIdentity IdentityOf(const struct stat& st);

// Splits a native path into its directory ("." for a bare name, "/" for a
// name in the root) and its last component. False (EINVAL) when there is no
// usable last component ("", "/", ".", "..").
bool SplitNativePath(const std::string& native, std::string& directory, std::string& name);

// Exclusive writers' lock on one directory, held until destruction.
class DirectoryLock {
 public:
  // Opens and locks `directory`; ok() is false (LastError set) when the
  // directory cannot be opened (missing: ENOENT) or locked. The first lock a
  // process takes on a directory removes the temporary files that writers
  // killed in the middle of a replacement left there.
  explicit DirectoryLock(const std::string& directory);
  bool ok() const { return fd_.valid(); }
  int fd() const { return fd_.get(); }

 private:
  UniqueFd fd_;
};

// Writes `contents` to a hidden temporary file in the locked directory and
// renames it over `name`. The new file keeps the permission bits (and, for
// root, the owner) of `existing` when given. On success `written` receives the
// stat of the new file as it is after the rename. On failure the old file is
// untouched and no temporary file is left.
bool ReplaceInDirectory(const DirectoryLock& lock, const std::string& name, std::string_view contents,
                        const struct stat* existing, struct stat* written);

// Whole content of an open file. Files over kMaxFileBytes fail with EFBIG.
constexpr size_t kMaxFileBytes = size_t{1} << 30;
bool ReadWholeFile(int fd, std::string& contents);

// True when the owner write bit is set: what Windows calls not read-only.
inline bool OwnerWritable(const struct stat& st) { return (st.st_mode & S_IWUSR) != 0; }

}  // namespace tallowmere::platform
