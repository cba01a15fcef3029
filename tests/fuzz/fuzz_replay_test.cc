// Replays every file of fuzz/corpus/<target> and fuzz/regressions/<target>
// through the target's entry function, so that every run of the normal
// tests (and of the sanitizer build) checks the inputs the fuzzers found,
// crashes and check failures included. A failing input aborts the test; the
// line printed before it names the file.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"

namespace tallowmere::fuzz {
namespace {

struct Target {
  const char* name;
  int (*entry)(const uint8_t*, size_t);
};

class FuzzReplayTest : public ::testing::TestWithParam<Target> {};

std::vector<std::filesystem::path> InputsOf(const std::filesystem::path& directory) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST_P(FuzzReplayTest, EveryStoredInputPasses) {
  std::filesystem::path root = TALLOWMERE_FUZZ_INPUTS;
  size_t corpus = 0;
  for (const char* kind : {"corpus", "regressions"}) {
    for (const auto& file : InputsOf(root / kind / GetParam().name)) {
      std::ifstream in(file, std::ios::binary);
      std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::fprintf(stderr, "replaying %s\n", file.c_str());
      EXPECT_EQ(GetParam().entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
      if (std::string(kind) == "corpus") ++corpus;
    }
  }
  EXPECT_GT(corpus, 0u) << "no seed corpus for " << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplayTest,
                         ::testing::Values(Target{"ini_file", FuzzIniFile}, Target{"registry_file", FuzzRegistryFile},
                                           Target{"address", FuzzAddress}, Target{"sql_text", FuzzSqlText},
                                           Target{"report_definition", FuzzReportDefinition},
                                           Target{"log_file", FuzzLogFile}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tallowmere::fuzz
