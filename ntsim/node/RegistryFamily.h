#pragma once
// The registry interface of a computer (HKEY_LOCAL_MACHINE): signed-in callers read, its
// administrators (and its own SYSTEM) change.
#include "ntsim/node/NodeServer.h"

namespace ntsim::node {

void AddRegistryFamily(NodeServer& server);

} // namespace ntsim::node
