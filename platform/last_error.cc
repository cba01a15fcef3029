// The thread's last system error number.
#include "platform/last_error.h"

namespace tallowmere::platform {

namespace {
thread_local int tLastError = 0;
}

int LastError() { return tLastError; }
void SetLastError(int code) { tLastError = code; }

}  // namespace tallowmere::platform
