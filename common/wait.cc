// Waiting and locking helpers over the platform's locks and events.
#include "common/wait.h"

#include <string_view>

namespace tallowmere {

int MessageWait(EventHandle handle, uint32_t milliseconds) {
  if (handle == nullptr) return 0;
  return handle->WaitFor(milliseconds) ? 1 : 0;
}

MutexHandle OpenOrCreateMutex(const char* name) {
  return platform::OpenTimedLock(name != nullptr ? std::string_view(name) : std::string_view());
}

int WaitForMutex(const MutexHandle& handle, uint32_t milliseconds) {
  if (!handle) return kWaitFailed;
  switch (handle->LockFor(milliseconds)) {
    case platform::LockResult::kObtained: return kWaitObtained;
    case platform::LockResult::kAbandoned: return kWaitAbandoned;
    case platform::LockResult::kTimeout: break;
  }
  return kWaitTimeout;
}

void ReleaseMutex(const MutexHandle& handle) {
  if (handle) handle->Unlock();
}

}  // namespace tallowmere
