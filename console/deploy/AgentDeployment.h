#pragma once
// Puts the agent VtarnSvc on a node and takes it away again, through the node's own networking
// services only: its remote registry (the system root), its server service (the hidden share
// "VTARN$" on the system root), a file copy to \\node\VTARN$\VtarnSvc.exe, and its service
// control manager (the demand-start service "VtarnService"). The operations keep no state
// between calls and take no lock: two node workers may deploy to their own nodes at once.
// Progress and failure lines go to standard output.
//
// `computer` is the node's bare name ("NODE1", no leading backslashes).
#include "platform/WinTypes.h"

namespace deploy {

// Shares the node's system root, copies the agent program from this program's own directory,
// registers the service (or opens an existing registration unchanged), starts it with
// `arguments` (handed unchanged to StartServiceW) and waits 4000 ms for it to settle. Returns 0
// when the agent is running (also when it already ran), else the Win32 or network-management
// status of the step that failed, never 0. A failure leaves what was already made in place for
// RemoveAgent.
DWORD InstallAgent(LPCWSTR computer, DWORD argumentCount, LPCWSTR* arguments);

// Stops and deletes the service, deletes the program file and the share; every step is tried
// whatever the one before gave. False only when the share exists and cannot be deleted.
bool RemoveAgent(LPCWSTR computer);

// Whether this account may administer the computer's services.
inline constexpr DWORD kAdminAccessGranted = 1;
inline constexpr DWORD kAdminAccessDenied = 255;
inline constexpr DWORD kAdminAccessUnreachable = 2; // no such computer, or it does not answer
DWORD CheckAdminAccess(LPCWSTR computer);

} // namespace deploy
