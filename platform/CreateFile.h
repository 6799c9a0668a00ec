#pragma once
// CreateFileW, the one opening operation for the objects that live behind paths: named pipes
// ("\\COMPUTER\pipe\NAME", "\\.\pipe\NAME") so far. The handle it returns works with ReadFile,
// WriteFile, FlushFileBuffers and CloseHandle (platform/Handle.h).
#include "platform/AccessRights.h"
#include "platform/Handle.h"
#include "platform/Security.h"
#include "platform/WinTypes.h"

constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD FILE_SHARE_DELETE = 0x00000004;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;

// A pipe is opened only with OPEN_EXISTING (else ERROR_INVALID_PARAMETER). Pipe failures:
// ERROR_FILE_NOT_FOUND (nobody serves it), ERROR_PIPE_BUSY (no instance free),
// ERROR_ACCESS_DENIED (a null session and a pipe not open to it), ERROR_BAD_NETPATH (no such
// computer, or it does not answer). A path that is no pipe: ERROR_PATH_NOT_FOUND.
HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
