// The cache of parsed INI files. See ini_cache.h.
//
// Why the settling: file timestamps come from a coarse clock (one kernel tick,
// a few milliseconds; whole seconds on some file systems). A program that
// rewrites a file in place within the same tick, with the same size, leaves
// device, inode, size and both times unchanged. A parse read at time T is
// therefore trusted on identity alone only when T lies more than a tick plus
// the file system's time granularity after the file's last change: every
// change after T carries a later timestamp. Until then each use compares the
// file's bytes with the cached text (a read and a compare, no parse).
#include "platform/ini_cache.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <unordered_map>

#include "platform/fault_injection.h"
#include "platform/last_error.h"
#include "platform/unique_fd.h"

namespace tallowmere::platform {

namespace {

constexpr int64_t kSettleNs = 50'000'000;           // nanosecond timestamps
constexpr int64_t kSettleCoarseNs = 2'500'000'000;  // whole-second timestamps (2 s on FAT)
constexpr size_t kMaxCachedBytes = size_t{64} << 20;
constexpr size_t kMaxEntries = 512;

int64_t NowNs() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

bool Settled(const FileIdentity& identity, int64_t readStartNs) {
  int64_t latest = std::max(identity.mtimeNs, identity.ctimeNs);
  bool wholeSeconds = identity.mtimeNs % 1'000'000'000 == 0 && identity.ctimeNs % 1'000'000'000 == 0;
  return readStartNs - latest > (wholeSeconds ? kSettleCoarseNs : kSettleNs);
}

size_t Footprint(const ini::IniDocument& document) {
  return document.text().size() + document.lines().size() * (sizeof(ini::Line) + 48) + 256;
}
size_t Footprint(const std::string& text) { return text.size() + 256; }

class DocumentCache {
 public:
  static DocumentCache& Instance() {
    static DocumentCache* cache = [] {
      auto* created = new DocumentCache;  // never destroyed: used until the process ends
      pthread_atfork([] { Instance().mutex_.lock(); }, [] { Instance().mutex_.unlock(); },
                     [] { Instance().mutex_.unlock(); });
      return created;
    }();
    return *cache;
  }

  // A cached version: its parse, or (written by this process and not used
  // since) its text only.
  struct Hit {
    std::shared_ptr<const ini::IniDocument> document;
    std::shared_ptr<const std::string> text;
    bool settled = false;
  };

  Hit Find(const std::string& native, const FileIdentity& identity) {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(native);
    if (it == entries_.end() || !(it->second.identity == identity)) return {};
    it->second.lastUse = ++tick_;
    return {it->second.document, it->second.text, it->second.settled};
  }

  void Put(const std::string& native, const FileIdentity& identity,
           std::shared_ptr<const ini::IniDocument> document, bool settled) {
    size_t footprint = Footprint(*document);
    Store(native, Entry{identity, std::move(document), nullptr, settled, 0, footprint});
  }

  void PutText(const std::string& native, const FileIdentity& identity, std::shared_ptr<const std::string> text) {
    size_t footprint = Footprint(*text);
    Store(native, Entry{identity, nullptr, std::move(text), false, 0, footprint});
  }

  void Erase(const std::string& native) {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(native);
    if (it == entries_.end()) return;
    bytes_ -= it->second.footprint;
    entries_.erase(it);
  }

  void Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    bytes_ = 0;
  }

 private:
  struct Entry {
    FileIdentity identity;
    std::shared_ptr<const ini::IniDocument> document;
    std::shared_ptr<const std::string> text;
    bool settled = false;
    uint64_t lastUse = 0;
    size_t footprint = 0;
  };

  void Store(const std::string& native, Entry entry) {
    if (entry.footprint > kMaxCachedBytes / 2) {
      Erase(native);
      return;
    }
    std::lock_guard lock(mutex_);
    entry.lastUse = ++tick_;
    auto [it, inserted] = entries_.try_emplace(native);
    if (!inserted) bytes_ -= it->second.footprint;
    bytes_ += entry.footprint;
    it->second = std::move(entry);
    while ((bytes_ > kMaxCachedBytes || entries_.size() > kMaxEntries) && entries_.size() > 1) EvictOldest();
  }

  void EvictOldest() {
    auto oldest = entries_.begin();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (it->second.lastUse < oldest->second.lastUse) oldest = it;
    }
    bytes_ -= oldest->second.footprint;
    entries_.erase(oldest);
  }

  std::mutex mutex_;
  std::unordered_map<std::string, Entry> entries_;
  size_t bytes_ = 0;
  uint64_t tick_ = 0;
};

}  // namespace

std::shared_ptr<const ini::IniDocument> LoadIniDocument(const std::string& native, const struct stat* known) {
  DocumentCache& cache = DocumentCache::Instance();
  struct stat st;
  if (known && known->st_nlink > 0 && S_ISREG(known->st_mode)) {
    st = *known;
  } else if (::stat(native.c_str(), &st) != 0) {
    SetLastError(errno);
    return nullptr;
  }
  if (S_ISDIR(st.st_mode)) {
    SetLastError(EISDIR);
    return nullptr;
  }
  DocumentCache::Hit hit = cache.Find(native, IdentityOf(st));
  if (hit.document && hit.settled) return hit.document;

  int64_t readStart = NowNs();
  UniqueFd fd(FileFaultFires(kFileOpen) ? -1 : ::open(native.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    SetLastError(errno);
    return nullptr;
  }
  struct stat before, after;
  if (::fstat(fd.get(), &before) != 0) {
    SetLastError(errno);
    return nullptr;
  }
  if (!S_ISREG(before.st_mode)) {
    SetLastError(S_ISDIR(before.st_mode) ? EISDIR : EINVAL);
    return nullptr;
  }
  std::string text;
  if (!ReadWholeFile(fd.get(), text)) return nullptr;
  bool steady = ::fstat(fd.get(), &after) == 0 && IdentityOf(before) == IdentityOf(after) &&
                static_cast<size_t>(after.st_size) == text.size();
  if (!steady) after = before;
  FileIdentity identity = IdentityOf(after);

  std::shared_ptr<const ini::IniDocument> document;
  if (hit.document && hit.document->text() == text) {
    document = std::move(hit.document);
  } else if (hit.text && *hit.text == text) {
    hit.text.reset();  // the one copy now moves into the parse
    document = std::make_shared<const ini::IniDocument>(std::move(text));
  } else {
    document = std::make_shared<const ini::IniDocument>(std::move(text));
  }
  // A file that changed while it was read is used once, never cached.
  if (steady) cache.Put(native, identity, document, Settled(identity, readStart));
  return document;
}

void RememberIniText(const std::string& native, const FileIdentity& identity, std::string text) {
  DocumentCache::Instance().PutText(native, identity, std::make_shared<const std::string>(std::move(text)));
}

void ClearIniCache() { DocumentCache::Instance().Clear(); }

}  // namespace tallowmere::platform
