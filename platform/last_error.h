// The thread's last system error number, as GetLastError keeps it: every
// platform call that fails stores its errno value here; callers read it right
// after the failed call. Successful calls leave it unchanged.
#pragma once

namespace tallowmere::platform {

int LastError();
void SetLastError(int code);

}  // namespace tallowmere::platform
