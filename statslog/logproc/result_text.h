// The caller's result text buffer of a log-processing call, which receives
// the version failure message. Never written past its size; not thread-safe.
#pragma once

#include <cstddef>
#include <string_view>

namespace tallowmere::logproc {

// The caller's buffer for the version failure message; always NUL-terminated,
// never written past size (nothing is written when size is 0).
class ResultText {
 public:
  ResultText(char* data, size_t size) : data_(size > 0 ? data : nullptr), size_(data ? size : 0) {}
  void Clear();
  void Set(std::string_view text);  // cut to size − 1 characters
 private:
  char* data_;
  size_t size_;
};

}  // namespace tallowmere::logproc
