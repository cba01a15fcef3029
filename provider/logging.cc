// The logging hook: one callback for the life of the library.
#include "provider/logging.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace tallowmere::provider {
namespace {

struct Hook {
  std::atomic<LoggingCallback> callback{nullptr};
  std::atomic<bool> claimed{false};
  int32_t ctx1 = 0, ctx2 = 0, ctx3 = 0;
};

Hook& TheHook() {
  static Hook hook;
  return hook;
}

}  // namespace

int32_t SetLoggingFunction(int32_t ctx1, LoggingCallback callback, int32_t ctx2, int32_t ctx3) {
  Hook& hook = TheHook();
  if (hook.callback.load(std::memory_order_acquire) != nullptr) return 0;
  if (callback == nullptr) return 2;
  bool expected = false;
  if (!hook.claimed.compare_exchange_strong(expected, true)) return 0;
  hook.ctx1 = ctx1;
  hook.ctx2 = ctx2;
  hook.ctx3 = ctx3;
  hook.callback.store(callback, std::memory_order_release);
  return 1;
}

int LogMessage(int32_t level, const char* text) {
  Hook& hook = TheHook();
  LoggingCallback callback = hook.callback.load(std::memory_order_acquire);
  if (callback == nullptr) return 0;
  callback(hook.ctx1, hook.ctx2, hook.ctx3, level, text != nullptr ? text : "");
  return 1;
}

bool LoggingActive() { return TheHook().callback.load(std::memory_order_acquire) != nullptr; }

int LogFormat(int32_t level, size_t bufferSize, const char* format, ...) {
  if (TheHook().callback.load(std::memory_order_acquire) == nullptr) return 0;
  if (bufferSize == 0) bufferSize = 1;
  std::vector<char> buffer(bufferSize);
  va_list args;
  va_start(args, format);
  int written = std::vsnprintf(buffer.data(), buffer.size(), format, args);
  va_end(args);
  // A line cut to its buffer still ends in its line feed.
  if (written >= static_cast<int>(bufferSize) && bufferSize >= 2) buffer[bufferSize - 2] = '\n';
  return LogMessage(level, buffer.data());
}

void ResetLoggingForTests() {
  Hook& hook = TheHook();
  hook.callback.store(nullptr, std::memory_order_release);
  hook.claimed.store(false);
  hook.ctx1 = hook.ctx2 = hook.ctx3 = 0;
}

}  // namespace tallowmere::provider
