#include "statslog/logproc/group_index.h"

#include <functional>

namespace tallowmere::logproc {
namespace {

uint32_t HashKey(std::string_view key) {
  const size_t h = std::hash<std::string_view>{}(key);
  return static_cast<uint32_t>(h ^ (h >> 32));
}

}  // namespace

GroupIndex::GroupIndex() : slots_(1024), mask_(1023) {}

uint32_t GroupIndex::FindOrInsert(std::string_view key, const std::vector<std::string>& keys, bool& inserted) {
  const uint32_t hash = HashKey(key);
  size_t i = hash & mask_;
  while (true) {
    Slot& slot = slots_[i];
    if (slot.row == kEmpty) break;
    if (slot.hash == hash && keys[slot.row] == key) {
      inserted = false;
      return slot.row;
    }
    i = (i + 1) & mask_;
  }
  // Keep the load at most one half so probe runs stay short.
  if ((size_ + 1) * 2 > slots_.size()) {
    Grow();
    i = hash & mask_;
    while (slots_[i].row != kEmpty) i = (i + 1) & mask_;
  }
  const uint32_t row = static_cast<uint32_t>(keys.size());
  slots_[i] = Slot{hash, row};
  ++size_;
  inserted = true;
  return row;
}

void GroupIndex::Grow() {
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(old.size() * 2, Slot{});
  mask_ = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.row == kEmpty) continue;
    size_t i = slot.hash & mask_;
    while (slots_[i].row != kEmpty) i = (i + 1) & mask_;
    slots_[i] = slot;
  }
}

}  // namespace tallowmere::logproc
