#pragma once
// Files: copies and deletions on this computer's drives and on other computers' shares
// (\\COMPUTER\SHARE\path), the NT path of the running program, and the process error mode.
#include "platform/WinTypes.h"

// Error modes (SetErrorMode): which failures the system would report in a window of its own.
// No window is ever shown here; the mode is kept so that a caller can set and restore it.
constexpr UINT SEM_FAILCRITICALERRORS = 0x0001;
constexpr UINT SEM_NOGPFAULTERRORBOX = 0x0002;
constexpr UINT SEM_NOALIGNMENTFAULTEXCEPT = 0x0004;
constexpr UINT SEM_NOOPENFILEERRORBOX = 0x8000;

// The copy replaces the destination only when it is complete. Failures (last error):
// ERROR_FILE_NOT_FOUND (no source), ERROR_PATH_NOT_FOUND (no destination folder),
// ERROR_FILE_EXISTS (failIfExists), ERROR_BAD_NETPATH (no such computer, or it does not
// answer), ERROR_BAD_NET_NAME (no such share), ERROR_ACCESS_DENIED.
BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists);

BOOL DeleteFileW(LPCWSTR fileName);

// The NT path of the running program for module null: a drive path of this computer, or the
// host drive Z: for a program outside the computer's drives. A buffer too small gets as much as
// fits (NUL-terminated), the result is `size` and the last error ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);

// Sets the process's error mode and returns the one before.
UINT SetErrorMode(UINT mode);
