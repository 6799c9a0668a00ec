#pragma once
// The copy of the agent program onto a node.
#include "platform/WinTypes.h"

namespace deploy {

// Copies `source` over `destination` (an existing file is replaced) with critical-error prompts
// suppressed. A copy that fails with ERROR_NETNAME_DELETED, the share's connection dropping
// under it, is made once more at once; any other failure, or a second one, is returned as the
// last error. Returns 0 on success.
DWORD CopyAgentProgram(LPCWSTR source, LPCWSTR destination);

} // namespace deploy
