// Where the log processing stores what it computed: the values tree and the
// flags tree of the statistics store. The log processing ignores refusals
// (a postoffice without a directory, a key the INI layer cannot keep), so the
// results only say whether anything was written. Implementations say their
// own thread-safety; the log processing uses one writer per call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tallowmere::logproc {

struct StatsEntry {
  std::string key;
  std::string value;
};

class StatsWriter {
 public:
  virtual ~StatsWriter() = default;

  // Values tree, PostofficeScope: every entry into one section of one file
  // {postoffice}\STATSROOT\Servers\{server}\{fileName}.INI, in one rewrite.
  // An empty server means the computer's name.
  virtual bool SetValues(const std::string& server, const std::string& postoffice, const std::string& fileName,
                         const std::string& section, const std::vector<StatsEntry>& entries) = 0;

  // Flags tree, postoffice "System": one flag.
  virtual bool SetFlag(const std::string& server, int32_t scope, const std::string& fileName,
                       const std::string& section, const std::string& key, const std::string& value) = 0;
};

}  // namespace tallowmere::logproc
