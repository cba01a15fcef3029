// The failure path of FUZZ_CHECK.
#include "fuzz/fuzz_check.h"

#include <cstdio>
#include <cstdlib>

namespace tallowmere::fuzz {

void CheckFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  std::abort();
}

}  // namespace tallowmere::fuzz
