// The event-log report operation over the platform event log.
#include "common/event_log_write.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/event_log.h"
#include "platform/last_error.h"

namespace tallowmere {

void WriteEventLog(uint16_t type, const char* source, const char* /*category*/, uint32_t eventId,
                   const char* text) {
  // Taken before anything else can change it.
  const int lastError = platform::LastError();
  std::string_view name = (source != nullptr && *source != '\0') ? source : "Tallowmere";
  if (name.size() > 255) name = name.substr(0, 255);
  char first[256];
  std::snprintf(first, sizeof first, "%s error: %d",
                kLibraryDescription != nullptr ? kLibraryDescription : "", lastError);
  platform::ReportEvent(name, type, eventId, first, text != nullptr ? text : "");
}

}  // namespace tallowmere
