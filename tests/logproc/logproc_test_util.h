// Helpers of the log processing tests: a line source over a string, a
// definition builder and a StatsWriter that records what it is given.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "statslog/logproc/line_reader.h"
#include "statslog/logproc/stats_writer.h"

namespace tallowmere::logproc::testing {

// A LineReader read function that serves text in pieces of at most `chunk` bytes.
inline LineReader::ReadFunction StringSource(const std::string& text, size_t chunk = 1 << 20) {
  auto position = std::make_shared<size_t>(0);
  return [&text, position, chunk](char* buffer, size_t size) -> long {
    const size_t n = std::min({size, chunk, text.size() - *position});
    if (n > 0) std::memcpy(buffer, text.data() + *position, n);
    *position += n;
    return static_cast<long>(n);
  };
}

struct WriteCall {
  std::string kind;  // "values" or "flag"
  std::string server;
  int32_t scope = 1;
  std::string postoffice;
  std::string fileName;
  std::string section;
  std::vector<StatsEntry> entries;  // a flag: one entry
};

class RecordingWriter : public StatsWriter {
 public:
  bool SetValues(const std::string& server, const std::string& postoffice, const std::string& fileName,
                 const std::string& section, const std::vector<StatsEntry>& entries) override {
    calls.push_back(WriteCall{"values", server, 1, postoffice, fileName, section, entries});
    return true;
  }
  bool SetFlag(const std::string& server, int32_t scope, const std::string& fileName, const std::string& section,
               const std::string& key, const std::string& value) override {
    calls.push_back(WriteCall{"flag", server, scope, "System", fileName, section, {StatsEntry{key, value}}});
    return true;
  }
  std::vector<WriteCall> calls;
};

}  // namespace tallowmere::logproc::testing
