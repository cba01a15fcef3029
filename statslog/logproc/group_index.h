// Hash index from group key to row number: open addressing with linear
// probing over a power-of-two table, so a lookup costs the same whatever
// order the keys arrive in and looking up an existing key allocates nothing.
// The keys themselves live in the caller's rows; the index keeps row numbers
// and hashes. Not thread-safe. Growing may throw std::bad_alloc.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tallowmere::logproc {

class GroupIndex {
 public:
  GroupIndex();

  // The row of key, where keys[row] is each row's key; when absent, inserts
  // `keys.size()` (the row the caller is about to append) and sets inserted.
  uint32_t FindOrInsert(std::string_view key, const std::vector<std::string>& keys, bool& inserted);

  size_t size() const { return size_; }

 private:
  struct Slot {
    uint32_t hash = 0;
    uint32_t row = kEmpty;
  };
  static constexpr uint32_t kEmpty = 0xFFFFFFFFu;

  uint32_t Lookup(std::string_view key, const std::vector<std::string>& keys, bool& inserted);
  void Grow();

  std::vector<Slot> slots_;
  size_t mask_ = 0;
  size_t size_ = 0;
  uint32_t last_ = kEmpty;  // row of the previous lookup
};

}  // namespace tallowmere::logproc
