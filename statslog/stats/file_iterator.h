// FileIterator: enumerates the entries matching one wildcard pattern
// ("dir\*", "dir\*.INI"), optionally only those whose attributes share a bit
// with a mask. Not thread-safe (one per walk); the open search is closed by
// the destructor. A pattern that matches nothing is an empty walk.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace tallowmere::stats {

class FileIterator {
 public:
  explicit FileIterator(std::string pattern);                  // filter off
  FileIterator(std::string pattern, uint32_t attributeMask);   // filter on
  FileIterator(const FileIterator&) = delete;
  FileIterator& operator=(const FileIterator&) = delete;

  // Sets the mask and turns the filter on.
  void SetAttributeMask(uint32_t attributeMask);
  // Name of the first / next matching entry, or "" at the end.
  std::string First();
  std::string Next();
  // True while the last step found an entry.
  bool IsValid() const;
  // Attributes of the entry last returned.
  uint32_t Attributes() const { return entry_.attributes; }

 private:
  bool Matches() const { return !filter_ || (entry_.attributes & mask_) != 0; }

  std::string pattern_;
  uint32_t mask_ = 0;
  bool filter_ = false;
  bool found_ = false;
  platform::DirectorySearch search_;
  platform::DirectoryEntry entry_;
};

}  // namespace tallowmere::stats
