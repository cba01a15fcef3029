// The shell around every exported store function: a null record gives the
// failure result at once, and no exception leaves the library (a fault inside
// gives the failure result too). Header-only, no state.
#pragma once

#include <cstdint>

namespace tallowmere::stores {

template <typename Body>
int32_t GuardExport(int32_t failure, bool argumentsValid, Body&& body) noexcept {
  if (!argumentsValid) return failure;
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

}  // namespace tallowmere::stores
