// Shared pieces of the fuzz targets: the check macro (a failed check prints
// where and aborts, which libFuzzer reports as a crash and the replay test as
// a failed test), the entry points of every target, and a splitter that cuts
// the fuzzer's bytes into fields. Not thread-safe; test-only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tallowmere::fuzz {

[[noreturn]] void CheckFailed(const char* condition, const char* file, int line);

#define FUZZ_CHECK(condition)                                                    \
  do {                                                                           \
    if (!(condition)) ::tallowmere::fuzz::CheckFailed(#condition, __FILE__, __LINE__); \
  } while (0)

// One entry per target, called with one input; returns 0 as libFuzzer wants.
int FuzzIniFile(const uint8_t* data, size_t size);
int FuzzRegistryFile(const uint8_t* data, size_t size);
int FuzzAddress(const uint8_t* data, size_t size);
int FuzzSqlText(const uint8_t* data, size_t size);
int FuzzReportDefinition(const uint8_t* data, size_t size);
int FuzzLogFile(const uint8_t* data, size_t size);

// Takes the text up to the next LF (or all of the rest) off the front.
inline std::string_view TakeLine(std::string_view& rest) {
  size_t end = rest.find('\n');
  std::string_view line = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  return line;
}

}  // namespace tallowmere::fuzz
