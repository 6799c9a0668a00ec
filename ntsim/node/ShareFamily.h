#pragma once
// The share and file interfaces of a computer's server service, and the "shares" section of
// its status document.
#include "ntsim/node/NodeServer.h"

namespace ntsim::node {

void AddShareFamily(NodeServer& server);
void AddFileFamily(NodeServer& server);

} // namespace ntsim::node
