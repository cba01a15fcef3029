#include "statslog/logproc/group_index.h"

#include <cstring>

namespace tallowmere::logproc {
namespace {

uint64_t Load64(const char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// A multiply-and-fold hash over 8-byte words: group keys are short (user
// names, addresses, paths), and this costs a few cycles per word.
uint32_t HashKey(std::string_view key) {
  constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  const char* p = key.data();
  size_t n = key.size();
  uint64_t h = n * kMultiplier;
  while (n >= 8) {
    h = (h ^ Load64(p)) * kMultiplier;
    h ^= h >> 32;
    p += 8;
    n -= 8;
  }
  if (n > 0) {
    uint64_t tail = 0;
    std::memcpy(&tail, p, n);
    h = (h ^ tail) * kMultiplier;
    h ^= h >> 32;
  }
  h *= kMultiplier;
  return static_cast<uint32_t>(h >> 32);
}

}  // namespace

GroupIndex::GroupIndex() : slots_(1024), mask_(1023) {}

uint32_t GroupIndex::FindOrInsert(std::string_view key, const std::vector<std::string>& keys, bool& inserted) {
  // Log lines of one session come together: the previous key is the likeliest.
  if (last_ != kEmpty && keys[last_] == key) {
    inserted = false;
    return last_;
  }
  const uint32_t row = Lookup(key, keys, inserted);
  last_ = row;
  return row;
}

uint32_t GroupIndex::Lookup(std::string_view key, const std::vector<std::string>& keys, bool& inserted) {
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
