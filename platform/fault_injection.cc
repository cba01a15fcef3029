// Test-only fault injection. See fault_injection.h.
#include "platform/fault_injection.h"

#include <atomic>
#include <mutex>

namespace tallowmere::platform {

namespace {

std::atomic<bool> gArmed{false};

struct State {
  std::mutex mutex;
  FileFault fault;
  uint64_t counted = 0;
  uint64_t injected = 0;
};

State& TheState() {
  static State* state = new State;  // never destroyed: usable during unload
  return *state;
}

}  // namespace

void ArmFileFault(const FileFault& fault) {
  State& state = TheState();
  std::lock_guard lock(state.mutex);
  state.fault = fault;
  state.counted = 0;
  state.injected = 0;
  gArmed.store(true, std::memory_order_release);
}

void DisarmFileFault() {
  State& state = TheState();
  std::lock_guard lock(state.mutex);
  gArmed.store(false, std::memory_order_release);
}

uint64_t CountedFileOperations() {
  State& state = TheState();
  std::lock_guard lock(state.mutex);
  return state.counted;
}

uint64_t InjectedFileFaults() {
  State& state = TheState();
  std::lock_guard lock(state.mutex);
  return state.injected;
}

bool FileFaultFires(FileOperation operation) {
  if (!gArmed.load(std::memory_order_relaxed)) return false;
  State& state = TheState();
  std::lock_guard lock(state.mutex);
  if (!gArmed.load(std::memory_order_relaxed) || (state.fault.operations & operation) == 0) return false;
  uint64_t position = ++state.counted;
  bool fires = state.fault.failAt != 0 &&
               (position == state.fault.failAt || (state.fault.persistent && position > state.fault.failAt));
  if (!fires) return false;
  ++state.injected;
  errno = state.fault.error;
  return true;
}

}  // namespace tallowmere::platform
