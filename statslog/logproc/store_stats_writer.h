// The StatsWriter of the shipped library: writes through the statistics
// store (values tree with PostofficeScope, flags tree under "System"), one
// batch per file. Keys the INI layer cannot keep are dropped before the batch
// so that one odd group key cannot cost the others. Thread-safe as the store.
#pragma once

#include "statslog/logproc/stats_writer.h"

namespace tallowmere::logproc {

class StoreStatsWriter : public StatsWriter {
 public:
  bool SetValues(const std::string& server, const std::string& postoffice, const std::string& fileName,
                 const std::string& section, const std::vector<StatsEntry>& entries) override;
  bool SetFlag(const std::string& server, int32_t scope, const std::string& fileName, const std::string& section,
               const std::string& key, const std::string& value) override;
};

}  // namespace tallowmere::logproc
