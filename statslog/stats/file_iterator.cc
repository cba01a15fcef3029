#include "statslog/stats/file_iterator.h"

#include <utility>

namespace tallowmere::stats {

FileIterator::FileIterator(std::string pattern) : pattern_(std::move(pattern)) {}

FileIterator::FileIterator(std::string pattern, uint32_t attributeMask)
    : pattern_(std::move(pattern)), mask_(attributeMask), filter_(true) {}

void FileIterator::SetAttributeMask(uint32_t attributeMask) {
  mask_ = attributeMask;
  filter_ = true;
}

std::string FileIterator::First() {
  search_.Close();
  found_ = search_.First(pattern_, entry_);
  if (!found_) return {};
  if (Matches()) return entry_.name;
  return Next();
}

std::string FileIterator::Next() {
  while (found_ && search_.IsOpen()) {
    found_ = search_.Next(entry_);
    if (!found_) break;
    if (Matches()) return entry_.name;
  }
  found_ = false;
  return {};
}

bool FileIterator::IsValid() const { return found_; }

}  // namespace tallowmere::stats
