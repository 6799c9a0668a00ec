#pragma once
// The logon interface of a computer: hands out the challenges callers answer.
#include "ntsim/node/NodeServer.h"

namespace ntsim::node {

void AddLogonFamily(NodeServer& server);

} // namespace ntsim::node
