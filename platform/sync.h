// Locks, events and pauses. Process-local: a named lock is shared by every
// caller in the process that asks for the same name, for as long as one of
// them holds it. Thread-safe. A time of 0xFFFFFFFF ms (INFINITE) waits
// without limit; lock waits are never shortened by the pause hook.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace tallowmere::platform {

enum class LockResult { kObtained, kTimeout, kAbandoned };

// A recursive lock with timed waits (the owner may lock again). When a thread
// ends while owning it, the lock is released and the next thread to obtain it
// learns that it was abandoned.
class TimedLock {
 public:
  virtual ~TimedLock() = default;
  // true when obtained within `milliseconds` (abandoned or not).
  virtual bool TryLockFor(uint32_t milliseconds) = 0;
  // Obtained, obtained after its owner ended without releasing it, or not
  // obtained within `milliseconds`.
  virtual LockResult LockFor(uint32_t milliseconds) {
    return TryLockFor(milliseconds) ? LockResult::kObtained : LockResult::kTimeout;
  }
  // Releases one level; ignored when the calling thread does not own the lock.
  virtual void Unlock() = 0;
};

// The lock of that name, created on first use; an empty name gives a new
// unnamed lock every time.
std::shared_ptr<TimedLock> OpenTimedLock(std::string_view name);

// A manual-reset event.
class Event {
 public:
  virtual ~Event() = default;
  virtual void Signal() = 0;
  // true when signalled within `milliseconds` (scaled by the pause hook).
  virtual bool WaitFor(uint32_t milliseconds) = 0;
};
std::unique_ptr<Event> CreateEvent();

// Sleeps `milliseconds`, as shortened by the test hook below.
void Pause(uint32_t milliseconds);

// Test hook: every pause and event wait of `ms` milliseconds lasts
// `scale(ms)` instead. Pass nullptr to restore the documented lengths.
void SetPauseScaleForTests(std::function<uint32_t(uint32_t)> scale);
uint32_t ScaledPause(uint32_t milliseconds);

// Milliseconds from a steady clock.
uint64_t SteadyMilliseconds();

}  // namespace tallowmere::platform
