#pragma once
// Named pipes. A process of a simulated computer serves a pipe ("\\.\pipe\NAME"), which its
// computer's ntnode makes known; any process of the lab opens it by name
// ("\\COMPUTER\pipe\NAME", CreateFileW) through that computer's ntnode, which checks the
// opener: the workstation's processes open with their logged-on account, the computers'
// processes open pipes of other computers without credentials (a null session), allowed only
// for the names in the computer's LanmanServer "NullSessionPipes". The two ends then talk over
// a connection of their own; ReadFile, WriteFile, FlushFileBuffers and CloseHandle
// (platform/Handle.h) work on both ends.
#include "platform/Handle.h"
#include "platform/Security.h"
#include "platform/WinTypes.h"

#include <optional>
#include <string>

// Open modes.
constexpr DWORD PIPE_ACCESS_INBOUND = 0x00000001;
constexpr DWORD PIPE_ACCESS_OUTBOUND = 0x00000002;
constexpr DWORD PIPE_ACCESS_DUPLEX = 0x00000003;
constexpr DWORD FILE_FLAG_FIRST_PIPE_INSTANCE = 0x00080000;
constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;

// Pipe modes.
constexpr DWORD PIPE_TYPE_BYTE = 0x00000000;
constexpr DWORD PIPE_TYPE_MESSAGE = 0x00000004;
constexpr DWORD PIPE_READMODE_BYTE = 0x00000000;
constexpr DWORD PIPE_READMODE_MESSAGE = 0x00000002;
constexpr DWORD PIPE_WAIT = 0x00000000;
constexpr DWORD PIPE_NOWAIT = 0x00000001;

constexpr DWORD PIPE_UNLIMITED_INSTANCES = 255;
constexpr DWORD NMPWAIT_USE_DEFAULT_WAIT = 0x00000000;
constexpr DWORD NMPWAIT_WAIT_FOREVER = 0xFFFFFFFF;

// Serves pipe `lpName` ("\\.\pipe\NAME"). A further instance of a name beyond its maximum
// fails with ERROR_PIPE_BUSY; overlapped and non-blocking modes are not offered
// (ERROR_INVALID_PARAMETER); a process of no computer gets ERROR_PATH_NOT_FOUND.
HANDLE CreateNamedPipeW(LPCWSTR lpName, DWORD dwOpenMode, DWORD dwPipeMode, DWORD nMaxInstances,
                        DWORD nOutBufferSize, DWORD nInBufferSize, DWORD nDefaultTimeOut,
                        LPSECURITY_ATTRIBUTES lpSecurityAttributes);

// Waits for a client. A client that came before the call: FALSE with ERROR_PIPE_CONNECTED;
// one that came and has already gone: FALSE with ERROR_NO_DATA.
BOOL ConnectNamedPipe(HANDLE hNamedPipe, LPOVERLAPPED lpOverlapped);

// Drops the client (what it has not read is lost); the instance takes no client until the
// next ConnectNamedPipe.
BOOL DisconnectNamedPipe(HANDLE hNamedPipe);

// Only the read mode can be set (PIPE_READMODE_BYTE or PIPE_READMODE_MESSAGE, with PIPE_WAIT).
BOOL SetNamedPipeHandleState(HANDLE hNamedPipe, LPDWORD lpMode, LPDWORD lpMaxCollectionCount,
                             LPDWORD lpCollectDataTimeout);

// Waits until pipe `lpNamedPipeName` has an instance free to take a client, at most nTimeOut
// program milliseconds (NMPWAIT_USE_DEFAULT_WAIT: 5000 ms). ERROR_FILE_NOT_FOUND when nobody
// serves it, ERROR_SEM_TIMEOUT when no instance became free in time.
BOOL WaitNamedPipeW(LPCWSTR lpNamedPipeName, DWORD nTimeOut);

namespace platform {

// Opens pipe `path` as a client (what CreateFileW does for "\\COMPUTER\pipe\NAME"); the Win32
// error as the status.
DWORD OpenPipeClient(std::u16string_view path, DWORD desiredAccess, HANDLE& out);

// The server end's view of its client: the account that ntnode authenticated, or nullopt for a
// null session. ERROR_PIPE_NOT_CONNECTED when no client is connected; ERROR_INVALID_HANDLE
// for a handle that is not a pipe's server end.
DWORD PipeClientAccount(HANDLE serverEnd, std::optional<std::u16string>& account);

} // namespace platform
