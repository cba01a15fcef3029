// INI layer throughput: writes into a 1,000-key file, reads from a 10,000-key
// file (cold: parse every time; cached), key-list reads, section reads and one
// 100,000-key batch write. Prints one table row per measurement:
//   name, operations, wall seconds, per wall second, CPU seconds, per CPU second
// Usage: ini_bench [directory] (default: a fresh directory under $TMPDIR or /tmp).
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/ini_file.h"

namespace {

using Clock = std::chrono::steady_clock;
using tallowmere::platform::IniClearCache;
using tallowmere::platform::IniEdit;
using tallowmere::platform::IniGetString;
using tallowmere::platform::IniReadSection;
using tallowmere::platform::IniWriteString;
using tallowmere::platform::IniWriteStrings;

double CpuSeconds() {
  struct timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Wall-clock time and the process's CPU time: on a shared machine the first
// includes waiting for a core, the second does not (but leaves out waiting
// for the disk).
struct Timer {
  Clock::time_point wall = Clock::now();
  double cpu = CpuSeconds();
};

void Row(const char* name, long operations, const Timer& timer) {
  double seconds = std::chrono::duration<double>(Clock::now() - timer.wall).count();
  double cpu = CpuSeconds() - timer.cpu;
  std::printf("%-44s %9ld %9.3f %12.0f %9.3f %12.0f\n", name, operations, seconds, operations / seconds, cpu,
              operations / cpu);
}

std::string Key(int i) { return "key" + std::to_string(i); }

void MakeFile(const std::string& path, int keys) {
  std::vector<IniEdit> edits;
  for (int i = 0; i < keys; ++i) edits.push_back({Key(i), std::to_string(i * 1.5)});
  if (!IniWriteStrings(path, "Stats", edits)) std::abort();
}

// Waits until a freshly written file is trusted by its identity alone.
void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }

}  // namespace

int main(int argc, char** argv) {
  std::string dir;
  if (argc > 1) {
    dir = argv[1];
  } else {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tallowmere-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) return 1;
    dir = pattern;
  }
  std::printf("%-44s %9s %9s %12s %9s %12s\n", "measurement", "ops", "wall s", "ops/s", "cpu s", "ops/cpu s");
  char buffer[256];

  // Writes: replace values of a 1,000-key file, one write per call.
  {
    std::string path = dir + "/w1000.ini";
    MakeFile(path, 1000);
    const int n = 3000;
    Timer start;
    for (int i = 0; i < n; ++i) {
      if (!IniWriteString(path, "Stats", Key((i * 7919) % 1000).c_str(), std::to_string(i).c_str())) return 2;
    }
    Row("write 1 key into a 1,000-key file", n, start);
  }

  std::string big = dir + "/r10000.ini";
  MakeFile(big, 10000);
  Settle();

  // Cold reads: every read parses the file again.
  {
    const int n = 200;
    Timer start;
    for (int i = 0; i < n; ++i) {
      IniClearCache();
      if (IniGetString(big, "Stats", Key(i * 37).c_str(), "", buffer, sizeof buffer) == 0) return 3;
    }
    Row("read 1 key of 10,000, cold (parse each)", n, start);
  }
  // Cached reads: all 10,000 keys one by one, the file parsed once.
  {
    IniClearCache();
    const int rounds = 5;
    Timer start;
    for (int r = 0; r < rounds; ++r) {
      for (int i = 0; i < 10000; ++i) {
        if (IniGetString(big, "stats", Key(i).c_str(), "", buffer, sizeof buffer) == 0) return 4;
      }
    }
    Row("read 1 key of 10,000, cached", rounds * 10000L, start);
  }
  // Key lists.
  {
    std::vector<char> list(200000);
    const int n = 2000;
    Timer start;
    for (int i = 0; i < n; ++i) {
      if (IniGetString(big, "Stats", nullptr, "", list.data(), list.size()) == 0) return 5;
    }
    Row("key list of 10,000 keys, cached", n, start);
    std::string small = dir + "/w1000.ini";
    const int m = 20000;
    start = Timer();
    for (int i = 0; i < m; ++i) {
      if (IniGetString(small, "Stats", nullptr, "", list.data(), list.size()) == 0) return 5;
    }
    Row("key list of 1,000 keys, cached", m, start);
  }
  // Whole sections.
  {
    const int n = 500;
    Timer start;
    for (int i = 0; i < n; ++i) {
      if (!IniReadSection(big, "Stats")) return 6;
    }
    Row("read section of 10,000 keys, cached", n, start);
  }
  // One batch of 100,000 keys into a new file, then one into the full file.
  {
    std::string path = dir + "/b100000.ini";
    std::vector<IniEdit> edits;
    for (int i = 0; i < 100000; ++i) edits.push_back({Key(i), std::to_string(i * 2.5)});
    Timer start;
    if (!IniWriteStrings(path, "Stats", edits)) return 7;
    Row("batch write 100,000 keys (new file)", 100000, start);
    for (auto& edit : edits) edit.value = "1.000000";
    start = Timer();
    if (!IniWriteStrings(path, "Stats", edits)) return 7;
    Row("batch write 100,000 keys (replace all)", 100000, start);
  }
  if (argc <= 1) std::filesystem::remove_all(dir);
  return 0;
}
