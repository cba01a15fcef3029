// Event-log stand-in: every entry goes to syslog(3) (ident = source,
// facility LOG_MAIL, priority from the type: 1 error, 2 warning, 4 information)
// and, when $TALLOWMERE_EVENTLOG names a file, is appended to it as one JSON
// object per line: {"source":…,"type":…,"id":…,"strings":[first, second]}.
// Thread-safe; failures to write are ignored (the event log is best effort).
// Each entry opens and closes syslog under its own ident, so a host that uses
// openlog itself should call it again after an entry. errno is preserved.
#pragma once

#include <cstdint>
#include <string_view>

namespace tallowmere::platform {

enum EventType : uint16_t { kEventError = 1, kEventWarning = 2, kEventInformation = 4 };

// Writes one entry. Returns false when the source could not be registered
// (empty source name), true otherwise.
bool ReportEvent(std::string_view source, uint16_t type, uint32_t id,
                 std::string_view first, std::string_view second);

}  // namespace tallowmere::platform
