#pragma once
// The status a failed step reports. A failure is never reported as 0, even if the platform call
// that failed left no error number behind.
#include "platform/LastError.h"
#include "platform/WinError.h"

namespace deploy {

inline DWORD FailureStatus(DWORD error) {
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

inline DWORD LastFailureStatus() {
    return FailureStatus(GetLastError());
}

} // namespace deploy
