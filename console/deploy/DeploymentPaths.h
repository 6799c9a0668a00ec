#pragma once
// The three paths of a deployment, each built into a caller's buffer of known capacity. A path
// that does not fit gives ERROR_FILENAME_EXCED_RANGE and an empty buffer, never a cut path.
#include "platform/WinTypes.h"

#include <string_view>

namespace deploy {

// The program path the node's service manager starts: "<system root>\VtarnSvc.exe", local to
// the node.
DWORD BuildServiceProgramPath(std::u16string_view systemRoot, LPWSTR buffer, DWORD capacity);

// Where the program is copied to and deleted from: "\\<computer>\VTARN$\VtarnSvc.exe".
DWORD BuildCopyDestination(std::u16string_view computer, LPWSTR buffer, DWORD capacity);

// The agent program beside `programPath` (this program's full path): its directory, up to and
// including the last backslash, then "VtarnSvc.exe".
DWORD BuildCopySource(std::u16string_view programPath, LPWSTR buffer, DWORD capacity);

// BuildCopySource on this program's own path (GetModuleFileNameW). A module path that does not
// fit the buffer is refused as too long rather than used cut short.
DWORD GetCopySource(LPWSTR buffer, DWORD capacity);

} // namespace deploy
