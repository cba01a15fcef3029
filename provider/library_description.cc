// The description both provider libraries put into their event-log entries.
#include "common/event_log_write.h"

namespace tallowmere {
const char* const kLibraryDescription = "Tallowmere Database Provider";
}  // namespace tallowmere
