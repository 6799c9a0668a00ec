#pragma once
// The agent's node key: the node number the console passes as the service's start argument.
// It is the sender key of the agent's relay messages and decides its role on the
// reserve/release pipe (1 serves, any other key is the client).
#include "platform/WinTypes.h"

namespace agent {

constexpr LONG kNodeKeyUnset = -1;

// The key for an argument list whose first entry is the service name or the program: the
// decimal value of the second argument (leading blanks skipped, an optional sign, digits up
// to the first other character; no digits gives 0), or kNodeKeyUnset when there is no second
// argument. A value beyond the 32-bit range saturates instead of wrapping around.
LONG ParseNodeKey(DWORD argc, const WCHAR* const* argv);

// The key of this process: kNodeKeyUnset until the RPC server takes it from its arguments.
// Readable from any thread.
LONG NodeKey();
void SetNodeKey(LONG key);

} // namespace agent
