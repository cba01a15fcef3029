// The system event-log report operation.
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
