// Process-local locks, manual-reset events and pauses.
//
// Named locks live in a process-wide table of weak references: a name refers
// to the same lock for as long as somebody holds it, as a named mutex lives
// while a handle to it is open. A wait of 0xFFFFFFFF milliseconds (INFINITE)
// waits without limit.
#include "platform/sync.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tallowmere::platform {

namespace {

constexpr uint32_t kInfinite = 0xFFFFFFFFu;

class RecursiveTimedLock;

// The locks a thread owns; when the thread ends they are marked abandoned and
// released, so that waiters are not stuck for ever.
struct HeldLocks {
  std::vector<std::pair<RecursiveTimedLock*, std::weak_ptr<RecursiveTimedLock>>> locks;
  ~HeldLocks();
};
thread_local HeldLocks tHeld;
thread_local bool tHeldGone = false;  // set once tHeld is destroyed

// A recursive lock with timed waits. An unlock by a thread that does not own
// it is ignored instead of corrupting the lock.
class RecursiveTimedLock final : public TimedLock,
                                 public std::enable_shared_from_this<RecursiveTimedLock> {
 public:
  bool TryLockFor(uint32_t milliseconds) override {
    return LockFor(milliseconds) != LockResult::kTimeout;
  }

  LockResult LockFor(uint32_t milliseconds) override {
    const auto self = std::this_thread::get_id();
    std::unique_lock<std::mutex> guard(mutex_);
    if (depth_ > 0 && owner_ == self) {
      ++depth_;
      return LockResult::kObtained;
    }
    auto free = [this] { return depth_ == 0; };
    if (milliseconds == kInfinite) {
      released_.wait(guard, free);
    } else if (!released_.wait_for(guard, std::chrono::milliseconds(milliseconds), free)) {
      return LockResult::kTimeout;
    }
    owner_ = self;
    depth_ = 1;
    const bool abandoned = abandoned_;
    abandoned_ = false;
    if (!tHeldGone) tHeld.locks.emplace_back(this, weak_from_this());
    return abandoned ? LockResult::kAbandoned : LockResult::kObtained;
  }

  void Unlock() override {
    std::lock_guard<std::mutex> guard(mutex_);
    if (depth_ == 0 || owner_ != std::this_thread::get_id()) return;
    if (--depth_ == 0) {
      owner_ = std::thread::id();
      if (!tHeldGone) {
        std::erase_if(tHeld.locks, [this](const auto& held) { return held.first == this; });
      }
      released_.notify_one();
    }
  }

  // Called for the owning thread as it ends.
  void Abandon() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (depth_ == 0 || owner_ != std::this_thread::get_id()) return;
    depth_ = 0;
    owner_ = std::thread::id();
    abandoned_ = true;
    released_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  std::thread::id owner_;
  uint64_t depth_ = 0;
  bool abandoned_ = false;
};

HeldLocks::~HeldLocks() {
  tHeldGone = true;
  for (auto& held : locks) {
    if (auto lock = held.second.lock()) lock->Abandon();
  }
}

class ManualResetEvent final : public Event {
 public:
  void Signal() override {
    std::lock_guard<std::mutex> guard(mutex_);
    signalled_ = true;
    changed_.notify_all();
  }

  bool WaitFor(uint32_t milliseconds) override {
    std::unique_lock<std::mutex> guard(mutex_);
    auto set = [this] { return signalled_; };
    if (milliseconds == kInfinite) {
      changed_.wait(guard, set);
      return true;
    }
    return changed_.wait_for(guard, std::chrono::milliseconds(ScaledPause(milliseconds)), set);
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;
};

struct NamedLocks {
  std::mutex mutex;
  std::map<std::string, std::weak_ptr<TimedLock>, std::less<>> byName;
};

NamedLocks& Named() {
  static NamedLocks* locks = new NamedLocks;  // never destroyed: usable during unload
  return *locks;
}

struct PauseHook {
  std::mutex mutex;
  std::function<uint32_t(uint32_t)> scale;
};

PauseHook& Hook() {
  static PauseHook* hook = new PauseHook;  // never destroyed: usable during unload
  return *hook;
}

}  // namespace

std::shared_ptr<TimedLock> OpenTimedLock(std::string_view name) {
  if (name.empty()) return std::make_shared<RecursiveTimedLock>();
  NamedLocks& named = Named();
  std::lock_guard<std::mutex> guard(named.mutex);
  if (auto it = named.byName.find(name); it != named.byName.end()) {
    if (auto lock = it->second.lock()) return lock;
  }
  // Drop the names nobody holds any more, so the table stays small.
  std::erase_if(named.byName, [](const auto& entry) { return entry.second.expired(); });
  auto lock = std::make_shared<RecursiveTimedLock>();
  named.byName[std::string(name)] = lock;
  return lock;
}

std::unique_ptr<Event> CreateEvent() { return std::make_unique<ManualResetEvent>(); }

void Pause(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ScaledPause(milliseconds)));
}

void SetPauseScaleForTests(std::function<uint32_t(uint32_t)> scale) {
  PauseHook& hook = Hook();
  std::lock_guard<std::mutex> guard(hook.mutex);
  hook.scale = std::move(scale);
}

uint32_t ScaledPause(uint32_t milliseconds) {
  std::function<uint32_t(uint32_t)> scale;
  {
    PauseHook& hook = Hook();
    std::lock_guard<std::mutex> guard(hook.mutex);
    scale = hook.scale;
  }
  return scale ? scale(milliseconds) : milliseconds;
}

uint64_t SteadyMilliseconds() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

}  // namespace tallowmere::platform
