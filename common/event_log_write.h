// The system event-log report operation. Thread-safe.
// The error number in the first string is platform::LastError(), the value
// the last failed platform call stored (GetLastError's counterpart), not the
// raw errno, which any successful C library call may change; code that wants
// a C library error reported stores it with platform::SetLastError first.
#pragma once

#include <cstdint>

namespace tallowmere {

// Each deliverable defines this text ("Tallowmere Database Provider" or
// "Tallowmere Provider Library"); it fills the first string of every entry.
extern const char* const kLibraryDescription;

// Writes one entry under `source` ("Tallowmere" when null or empty; at most 255
// characters) with two strings: "%s error: %d" (library description, the
// thread's last system error taken first) and `text`. The category text is
// not used. Nothing is returned; a failure writes nothing.
void WriteEventLog(uint16_t type, const char* source, const char* category, uint32_t eventId,
                   const char* text);

}  // namespace tallowmere
