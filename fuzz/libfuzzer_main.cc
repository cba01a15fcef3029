// The libFuzzer entry of one target; the target's function is chosen at
// compile time (TALLOWMERE_FUZZ_ENTRY, set by fuzz/CMakeLists.txt).
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return tallowmere::fuzz::TALLOWMERE_FUZZ_ENTRY(data, size);
}
