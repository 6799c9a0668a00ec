#include "platform/LastError.h"

namespace {
thread_local DWORD t_lastError = 0;
}

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD errorCode) { t_lastError = errorCode; }
