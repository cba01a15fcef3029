#include "statslog/logproc/result_text.h"

#include <algorithm>
#include <cstring>

namespace tallowmere::logproc {

void ResultText::Clear() {
  if (data_ != nullptr) data_[0] = '\0';
}

void ResultText::Set(std::string_view text) {
  if (data_ == nullptr) return;
  const size_t n = std::min(text.size(), size_ - 1);
  if (n > 0) std::memcpy(data_, text.data(), n);
  data_[n] = '\0';
}

}  // namespace tallowmere::logproc
