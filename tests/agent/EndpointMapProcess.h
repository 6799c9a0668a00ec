#pragma once
// The endpoint map the agent's server registers in, for tests without a lab: a child process,
// forked before the tests start, serves it on a free TCP port of 127.0.0.1, and VTARN_NTNODE
// names it as this computer's (for the test process and the programs it starts).
#include "platform/rpc/EndpointMap.h"

#include <string>

namespace agenttest {

// "127.0.0.1:<port>", the value of VTARN_NTNODE.
const std::string& EndpointMapAddress();

} // namespace agenttest
