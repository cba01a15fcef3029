// Statistics store benchmark through build/lib/libstatslog.so, loaded with
// dlopen as a host loads it:
//   summary  GeneratePeriodSummary (every key) over a 31-day month with
//            KEYS keys per day file (cold: files just written; warm: again)
//   purge    PurgeStatsCacheBeforeDate over 10 postoffices x 3 servers x 400
//            day files (half of them due), and the walk when nothing is due
//   set/get  SetStatsString and GetStatsString calls per second, warm tree
// Usage: stats_bench LIBRARY WORKDIR [KEYS...]   (default keys 5000 10000 20000)
// Prints one Markdown table.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tallowmere/statslog.h"

namespace fs = std::filesystem;

namespace {

struct Exports {
  decltype(&::GetStatsString) get;
  decltype(&::SetStatsString) set;
  decltype(&::PurgeStatsCacheBeforeDate) purgeBefore;
  decltype(&::GeneratePeriodSummary) summary;
};

template <typename F>
F Lookup(void* library, const char* name) {
  void* symbol = dlsym(library, name);
  if (symbol == nullptr) {
    std::fprintf(stderr, "missing export %s\n", name);
    std::exit(1);
  }
  return reinterpret_cast<F>(symbol);
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Row(const std::string& what, const std::string& size, double seconds, const std::string& rate) {
  std::printf("| %-44s | %-22s | %9.3f | %-18s |\n", what.c_str(), size.c_str(), seconds, rate.c_str());
  std::fflush(stdout);
}

std::string PerSecond(double count, double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "%.0f /s", count / seconds);
  return text;
}

void WriteDayFiles(const fs::path& serverDirectory, int keys) {
  fs::create_directories(serverDirectory);
  for (int day = 1; day <= 31; ++day) {
    char name[32];
    std::snprintf(name, sizeof name, "M2026M05D%02d.INI", day);
    std::string text = "[SMTP]\r\n";
    text.reserve(static_cast<size_t>(keys) * 48);
    for (int k = 0; k < keys; ++k) {
      text += "user" + std::to_string(k) + "@example.com=" + std::to_string(k % 97) + "," +
              std::to_string(day) + "," + std::to_string(k % 13 * 1000) + "\r\n";
    }
    std::ofstream(serverDirectory / name, std::ios::binary) << text;
  }
}

// Runs the call with standard output (the summary's console lines) sent to
// /dev/null.
template <typename Call>
double TimedQuiet(Call call) {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, STDOUT_FILENO);
  const auto start = std::chrono::steady_clock::now();
  call();
  std::fflush(stdout);
  const double seconds = Seconds(start);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  close(null);
  return seconds;
}

void BuildPurgeTree(const fs::path& mailRoot) {
  for (int p = 0; p < 10; ++p) {
    for (int s = 0; s < 3; ++s) {
      const fs::path directory =
          mailRoot / ("po" + std::to_string(p)) / "STATSROOT" / "Servers" / ("MX" + std::to_string(s));
      fs::create_directories(directory);
      // 400 consecutive days from 2025-01-01.
      int year = 2025, month = 1, day = 1;
      static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
      for (int i = 0; i < 400; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "M%04dM%02dD%02d.INI", year, month, day);
        std::ofstream(directory / name, std::ios::binary) << "[SMTP]\r\nk=1\r\n";
        if (++day > kDays[month - 1]) {
          day = 1;
          if (++month > 12) {
            month = 1;
            ++year;
          }
        }
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s libstatslog.so WORKDIR [KEYS...]\n", argv[0]);
    return 2;
  }
  const fs::path work = fs::absolute(argv[2]);
  fs::remove_all(work);
  const fs::path mailRoot = work / "mail";
  fs::create_directories(mailRoot);
  std::ofstream(work / "registry.reg", std::ios::binary)
      << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere]\r\n\"Mail Root\"=\"" << mailRoot.string()
      << "\"\r\n";
  setenv("TALLOWMERE_REGISTRY", (work / "registry.reg").c_str(), 1);
  setenv("TALLOWMERE_EVENTLOG", (work / "events.jsonl").c_str(), 1);

  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "dlopen: %s\n", dlerror());
    return 1;
  }
  const Exports lib{Lookup<decltype(&::GetStatsString)>(library, "GetStatsString"),
                    Lookup<decltype(&::SetStatsString)>(library, "SetStatsString"),
                    Lookup<decltype(&::PurgeStatsCacheBeforeDate)>(library, "PurgeStatsCacheBeforeDate"),
                    Lookup<decltype(&::GeneratePeriodSummary)>(library, "GeneratePeriodSummary")};

  std::vector<int> keyCounts;
  for (int i = 3; i < argc; ++i) keyCounts.push_back(std::atoi(argv[i]));
  if (keyCounts.empty()) keyCounts = {5000, 10000, 20000};

  std::printf("| %-44s | %-22s | %9s | %-18s |\n", "operation", "size", "seconds", "rate");
  std::printf("|%s|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(24, '-').c_str(),
              std::string(11, '-').c_str(), std::string(20, '-').c_str());

  for (int keys : keyCounts) {
    const fs::path server = mailRoot / "System" / "STATSROOT" / "Servers" / "MX1";
    fs::remove_all(mailRoot / "System");
    WriteDayFiles(server, keys);
    int32_t state = 0;
    const double cold = TimedQuiet([&] { state = lib.summary("MX1", 0, "", "SMTP", "M2026M05", 0, "", 0); });
    const double warm = TimedQuiet([&] { state = lib.summary("MX1", 0, "", "SMTP", "M2026M05", 0, "", 0); });
    if (state != 1) std::fprintf(stderr, "unexpected summary state %d\n", state);
    char check[64];
    lib.get("MX1", 0, "", "SMTP", "M2026M05", "user1@example.com", check, sizeof check);
    if (std::string(check).rfind("31.000000,496.000000,", 0) != 0) std::fprintf(stderr, "unexpected sum %s\n", check);
    const std::string size = "31 days x " + std::to_string(keys) + " keys";
    Row("GeneratePeriodSummary, every key (cold)", size, cold, PerSecond(31.0 * keys, cold) + " values");
    Row("GeneratePeriodSummary, every key (again)", size, warm, PerSecond(31.0 * keys, warm) + " values");
  }
  fs::remove_all(mailRoot / "System");

  BuildPurgeTree(mailRoot);
  double nothing = 0;
  {
    const auto start = std::chrono::steady_clock::now();
    lib.purgeBefore("X2024X12D31");
    nothing = Seconds(start);
  }
  const auto start = std::chrono::steady_clock::now();
  lib.purgeBefore("X2025X07D19");  // day 200 of the 400
  const double purge = Seconds(start);
  size_t left = 0;
  for (const auto& entry : fs::recursive_directory_iterator(mailRoot)) left += entry.is_regular_file();
  if (left != 10 * 3 * 200) std::fprintf(stderr, "unexpected files left: %zu\n", left);
  Row("PurgeStatsCacheBeforeDate, nothing due", "10 x 3 x 400 files", nothing, PerSecond(12000, nothing) + " files");
  Row("PurgeStatsCacheBeforeDate, half due", "10 x 3 x 400 files", purge, PerSecond(12000, purge) + " files");
  fs::remove_all(mailRoot);
  fs::create_directories(mailRoot / "acme");

  constexpr int kCalls = 20000;
  constexpr int kKeys = 100;
  std::vector<std::string> keyNames;
  for (int k = 0; k < kKeys; ++k) keyNames.push_back("key" + std::to_string(k));
  for (int32_t scope : {0, 1}) {
    const char* postoffice = scope == 0 ? "" : "acme";
    const std::string where = std::string(scope == 0 ? "system" : "postoffice") + ", 100 keys";
    for (int k = 0; k < kKeys; ++k) lib.set("MX1", scope, postoffice, "M2026M05D01", "SMTP", keyNames[k].data(), "0");
    auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < kCalls; ++i) {
      const std::string value = std::to_string(i);
      lib.set("MX1", scope, postoffice, "M2026M05D01", "SMTP", keyNames[i % kKeys].data(), value.c_str());
    }
    const double setSeconds = Seconds(begin);
    char buffer[64];
    int found = 0;
    begin = std::chrono::steady_clock::now();
    for (int i = 0; i < kCalls; ++i) {
      found += lib.get("MX1", scope, postoffice, "SMTP", "M2026M05D01", keyNames[i % kKeys].c_str(), buffer, 64);
    }
    const double getSeconds = Seconds(begin);
    if (found != kCalls) std::fprintf(stderr, "unexpected misses: %d\n", kCalls - found);
    Row("SetStatsString, warm tree", where + ", " + std::to_string(kCalls), setSeconds, PerSecond(kCalls, setSeconds));
    Row("GetStatsString, warm tree", where + ", " + std::to_string(kCalls), getSeconds, PerSecond(kCalls, getSeconds));
  }
  dlclose(library);
  fs::remove_all(work);
  return 0;
}
