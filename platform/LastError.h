#pragma once
// The thread's last error, as every failing platform operation leaves it.
#include "platform/WinTypes.h"

DWORD GetLastError();
void SetLastError(DWORD errorCode);
