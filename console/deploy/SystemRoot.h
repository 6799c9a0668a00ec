#pragma once
// The system root directory of a node ("C:\WINNT"), as its registry names it.
#include "console/deploy/DeploymentNames.h"
#include "platform/WinTypes.h"

namespace deploy {

// Reads "SystemRoot" under "SOFTWARE\Microsoft\Windows NT\CurrentVersion" of the node into
// `root`, a buffer of 1024 characters (the 2048 bytes the value may take). Returns 0, the
// status of the registry step that failed, or ERROR_INVALID_DATA for a value that is no usable
// text: empty, an odd number of bytes, or without room for its terminating NUL.
DWORD ReadSystemRoot(LPCWSTR computer, WCHAR (&root)[kPathCapacity]);

} // namespace deploy
