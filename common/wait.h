// Waiting and locking helpers used by the provider core. Thread-safe.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/sync.h"

namespace tallowmere {

using EventHandle = tallowmere::platform::Event*;
using MutexHandle = std::shared_ptr<tallowmere::platform::TimedLock>;

// Waits until the event is signalled (1) or the time passes (0); a null
// handle returns 0 at once. There are no window messages here: the wait is a
// plain sleep on the event, shortened by the platform's test hook.
int MessageWait(EventHandle handle, uint32_t milliseconds);

// The process-local lock of that name, created when missing; a null name
// creates a new unnamed lock every time. Never null in practice.
MutexHandle OpenOrCreateMutex(const char* name);

// Waits for the lock at most `milliseconds`: 1 obtained, 2 time-out,
// 3 obtained after its previous owner thread ended without releasing it,
// 0 failure (null handle). 0xFFFFFFFF waits without limit.
enum WaitResult : int { kWaitFailed = 0, kWaitObtained = 1, kWaitTimeout = 2, kWaitAbandoned = 3 };
int WaitForMutex(const MutexHandle& handle, uint32_t milliseconds);
// Releases a lock obtained by WaitForMutex.
void ReleaseMutex(const MutexHandle& handle);

}  // namespace tallowmere
