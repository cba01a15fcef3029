// Whole-file replacement (temporary file + rename) and the directory lock of
// the writers. See file_replace.h.
#include "platform/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <set>
#include <string_view>
#include <utility>

#include "platform/fault_injection.h"
#include "platform/last_error.h"

namespace tallowmere::platform {

namespace {

int64_t Nanoseconds(const struct timespec& ts) { return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec; }

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    if (FileFaultFires(kFileWrite)) {
      // An injected full or read-only disk: part of the data lands first.
      int code = errno;
      (void)!::write(fd, data.data(), data.size() / 2);
      errno = code;
      return false;
    }
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Hidden, and without an ".INI" ending, so directory searches for "*.INI"
// never report a replacement in progress.
constexpr std::string_view kTemporaryPrefix = ".tallowmere-";
constexpr std::string_view kTemporarySuffix = ".tmp";

std::string TemporaryName() {
  static std::atomic<unsigned long> counter{0};
  char name[64];
  std::snprintf(name, sizeof name, ".tallowmere-%lx-%lx.tmp", static_cast<unsigned long>(::getpid()),
                counter.fetch_add(1, std::memory_order_relaxed));
  return name;
}

// Directories (device, inode) this process has already swept.
class SweptDirectories {
 public:
  static SweptDirectories& Instance() {
    static SweptDirectories* instance = [] {
      static SweptDirectories swept;
      // A child forked while another thread held the mutex would wait forever.
      pthread_atfork([] { swept.mutex_.lock(); }, [] { swept.mutex_.unlock(); }, [] { swept.mutex_.unlock(); });
      return &swept;
    }();
    return *instance;
  }
  // True the first time it is asked for a directory.
  bool FirstVisit(const struct stat& st) {
    std::lock_guard<std::mutex> hold(mutex_);
    return seen_.insert({st.st_dev, st.st_ino}).second;
  }

 private:
  std::mutex mutex_;
  std::set<std::pair<dev_t, ino_t>> seen_;
};

// A writer killed between creating its temporary file and the rename leaves
// that file behind. Temporary files are only made under the directory lock,
// so whoever holds the lock may remove every one it finds: each process does
// it the first time it writes into a directory. Best effort; never fails.
void RemoveOrphanedTemporaries(int directoryFd) {
  struct stat st;
  if (::fstat(directoryFd, &st) != 0 || !SweptDirectories::Instance().FirstVisit(st)) return;
  const int listFd = ::openat(directoryFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0) return;
  DIR* listing = ::fdopendir(listFd);
  if (listing == nullptr) {
    ::close(listFd);
    return;
  }
  while (const struct dirent* entry = ::readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (name.starts_with(kTemporaryPrefix) && name.ends_with(kTemporarySuffix)) {
      ::unlinkat(directoryFd, entry->d_name, 0);
    }
  }
  ::closedir(listing);
}

}  // namespace

FileIdentity IdentityOf(const struct stat& st) {
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                      static_cast<int64_t>(st.st_size), Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim)};
}

bool SplitNativePath(const std::string& native, std::string& directory, std::string& name) {
  size_t slash = native.rfind('/');
  if (slash == std::string::npos) {
    directory.assign(1, '.');
    name = native;
  } else {
    directory.assign(native, 0, slash == 0 ? 1 : slash);
    name.assign(native, slash + 1, std::string::npos);
  }
  if (name.empty() || name == "." || name == "..") {
    SetLastError(EINVAL);
    return false;
  }
  return true;
}

DirectoryLock::DirectoryLock(const std::string& directory) {
  UniqueFd fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid()) {
    SetLastError(errno);
    return;
  }
  while (FileFaultFires(kFileLock) || ::flock(fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR) {
      SetLastError(errno);
      return;
    }
  }
  RemoveOrphanedTemporaries(fd.get());
  fd_ = std::move(fd);  // closing the descriptor releases the lock
}

bool ReplaceInDirectory(const DirectoryLock& lock, const std::string& name, std::string_view contents,
                        const struct stat* existing, struct stat* written) {
  if (!lock.ok()) {
    SetLastError(EBADF);
    return false;
  }
  mode_t mode = existing ? (existing->st_mode & 07777) : 0666;
  std::string temporary;
  UniqueFd fd;
  for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
    temporary = TemporaryName();
    fd.Reset(FileFaultFires(kFileCreate)
                 ? -1
                 : ::openat(lock.fd(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (!fd.valid() && errno != EEXIST) break;
  }
  if (!fd.valid()) {
    SetLastError(errno);
    return false;
  }
  auto fail = [&](int code) {
    ::unlinkat(lock.fd(), temporary.c_str(), 0);
    SetLastError(code);
    return false;
  };
  if (!WriteAll(fd.get(), contents)) return fail(errno);
  if (existing) {
    // The umask may have cut bits of the old mode; root keeps the owner too.
    if (FileFaultFires(kFileWrite) || ::fchmod(fd.get(), mode) != 0) return fail(errno);
    if (::geteuid() == 0 && (existing->st_uid != 0 || existing->st_gid != 0)) {
      (void)!::fchown(fd.get(), existing->st_uid, existing->st_gid);
    }
  }
  // No fsync here, as Windows' own profile writes do none: it would cost a
  // disk flush per write (a few milliseconds each). ext4, Debian's default,
  // writes the data of a file that replaces another by rename before the
  // rename itself, so a crash leaves the old file or the new one.
  if (FileFaultFires(kFileRename) || ::renameat(lock.fd(), temporary.c_str(), lock.fd(), name.c_str()) != 0) {
    return fail(errno);
  }
  if (written && ::fstat(fd.get(), written) != 0) {
    SetLastError(errno);
    written->st_size = -1;  // unknown identity: the caller must not cache it
  }
  return true;
}

bool ReadWholeFile(int fd, std::string& contents) {
  struct stat st;
  size_t expected = 0;
  if (::fstat(fd, &st) == 0 && st.st_size > 0 && static_cast<uint64_t>(st.st_size) <= kMaxFileBytes) {
    expected = static_cast<size_t>(st.st_size);
  }
  // One byte more than expected, so that the end is seen without growing.
  contents.resize(expected + 1);
  size_t used = 0;
  for (;;) {
    if (used == contents.size()) {
      if (contents.size() > kMaxFileBytes) {
        contents.clear();
        SetLastError(EFBIG);
        return false;
      }
      contents.resize(contents.size() * 2);
    }
    ssize_t n = ::read(fd, contents.data() + used, contents.size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      contents.clear();
      SetLastError(errno);
      return false;
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  if (used > kMaxFileBytes) {
    contents.clear();
    SetLastError(EFBIG);
    return false;
  }
  contents.resize(used);
  return true;
}

}  // namespace tallowmere::platform
