// The logging hook of a provider library: the host registers one callback
// (SetLoggingFunction, first registration final) and every diagnostic line
// of the core and the stores goes to it through LogMessage / LogFormat.
// Thread-safe: registration publishes the callback atomically after its
// context values; LogMessage may run on any number of threads at once.
// Lines logged while no callback is registered are dropped.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tallowmere::provider {

// int32_t callback(ctx1, ctx2, ctx3, level, text); its result is ignored.
using LoggingCallback = int32_t (*)(int32_t, int32_t, int32_t, int32_t, const char*);

// Levels handed to the callback.
inline constexpr int32_t kLogOpenConnection = 8;  // a connection is being opened
inline constexpr int32_t kLogDiagnostic = 9;      // every other diagnostic
inline constexpr int32_t kLogTolerated = 10;      // a tolerated database error

// 1 registered; 0 a callback is already registered (nothing changes);
// 2 the callback is null (nothing registered).
int32_t SetLoggingFunction(int32_t ctx1, LoggingCallback callback, int32_t ctx2, int32_t ctx3);

// Hands one line to the callback (ctx1, ctx2, ctx3, level, text). Returns 1
// when a callback received it, 0 when none is registered.
int LogMessage(int32_t level, const char* text);

// True when a callback is registered (lets callers skip building a line).
bool LoggingActive();

// printf-style: formats into a buffer of `bufferSize` bytes (the line is cut
// to fit, never overflowing) and calls LogMessage.
int LogFormat(int32_t level, size_t bufferSize, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Test hook: forgets the registered callback so a test can register another.
void ResetLoggingForTests();

}  // namespace tallowmere::provider
