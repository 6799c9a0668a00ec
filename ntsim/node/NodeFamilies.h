#pragma once
// Every family a computer's ntnode serves, added to its server in one place.
#include "ntsim/node/NodeServer.h"

namespace ntsim::node {

void AddNodeFamilies(NodeServer& server);

} // namespace ntsim::node
