// Shared set-up of the provider tests that use real databases: the logging
// hook captured into memory, the provider loaded for a scratch database in
// one connection mode, pauses shortened, and a small record to read into.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sync.h"
#include "provider/frame.h"
#include "provider/lifecycle.h"
#include "provider/logging.h"
#include "provider/settings.h"
#include "support/test_database.h"

namespace tallowmere::provider::test {

using tallowmere::testing::Engine;
using tallowmere::testing::RegistryFile;
using tallowmere::testing::ScratchDatabase;

struct LogLine {
  int32_t level;
  std::string text;
};

// Every line handed to the hook, from any thread. Registers once per process.
class LogCapture {
 public:
  static void Install() {
    static std::once_flag once;
    std::call_once(once, [] { SetLoggingFunction(1, &LogCapture::Receive, 2, 3); });
  }
  static void Clear() {
    std::lock_guard<std::mutex> guard(mutex());
    lines().clear();
  }
  static std::vector<LogLine> Lines() {
    std::lock_guard<std::mutex> guard(mutex());
    return lines();
  }
  // Lines of `level` that contain `part`.
  static size_t Count(int32_t level, const std::string& part) {
    size_t n = 0;
    for (const LogLine& line : Lines()) n += line.level == level && line.text.find(part) != std::string::npos;
    return n;
  }
  static std::string Dump() {
    std::string all;
    for (const LogLine& line : Lines()) all += std::to_string(line.level) + " " + line.text;
    return all;
  }

 private:
  static int32_t Receive(int32_t, int32_t, int32_t, int32_t level, const char* text) {
    std::lock_guard<std::mutex> guard(mutex());
    lines().push_back({level, text});
    return 0;
  }
  static std::mutex& mutex() {
    static std::mutex m;
    return m;
  }
  static std::vector<LogLine>& lines() {
    static std::vector<LogLine> l;
    return l;
  }
};

// The list-member record (Address 256, Postoffice 128, Mailbox 128).
struct MemberRecord {
  char Address[256];
  char Postoffice[128];
  char Mailbox[128];
};
static_assert(sizeof(MemberRecord) == 512);

inline constexpr ResultColumn kMemberColumns[] = {
    {ResultColumn::kText, offsetof(MemberRecord, Address), 256},
    {ResultColumn::kText, offsetof(MemberRecord, Postoffice), 128},
    {ResultColumn::kText, offsetof(MemberRecord, Mailbox), 128},
};

inline RowTarget MemberTarget(MemberRecord& record, int32_t* id = nullptr) {
  RowTarget target;
  target.record = &record;
  target.recordSize = sizeof record;
  target.columns = kMemberColumns;
  target.id = id;
  return target;
}

// Loads the provider (settings from a registry file, then the environment)
// for `connectionString` in the given connection mode, with every pause
// shortened to a millisecond. Unloads it again at destruction.
class LoadedProvider {
 public:
  LoadedProvider(const std::string& providerName, const std::string& connectionString, int32_t connectionMode,
                 uint32_t eventLogStatus = 1) {
    LogCapture::Install();
    platform::SetPauseScaleForTests([](uint32_t) -> uint32_t { return 1; });
    const std::string connector = kSmtpConnectorKey;
    registry_.Text(connector, "Current Provider", providerName)
        .Text(connector + "\\" + providerName, "Data Source", connectionString)
        .Dword(kProvidersKey, "Connection Mode", static_cast<uint32_t>(connectionMode))
        .Dword(kProvidersKey, "Event Log Status", eventLogStatus);
    ProviderLoad(kSmtpConnectorKey);
    LogCapture::Clear();
  }
  ~LoadedProvider() {
    ProviderUnload();
    platform::SetPauseScaleForTests(nullptr);
  }
  RegistryFile& registry() { return registry_; }

 private:
  RegistryFile registry_;
};

inline const char* ModeName(int32_t mode) { return mode == 0 ? "Shared" : "PerCall"; }

#define TALLOWMERE_REQUIRE_SERVICES()                                                  \
  do {                                                                                 \
    if (!::tallowmere::testing::HaveServices()) {                                      \
      if (::tallowmere::testing::ServicesRequired())                                   \
        FAIL() << "database services required but not started";                       \
      GTEST_SKIP() << "database services not started (scripts/test-services.sh)";      \
    }                                                                                  \
  } while (0)

}  // namespace tallowmere::provider::test
