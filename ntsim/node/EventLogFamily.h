#pragma once
// The event-log interface of a computer: its own processes and signed-in callers write events.
#include "ntsim/node/NodeServer.h"

namespace ntsim::node {

void AddEventLogFamily(NodeServer& server);

} // namespace ntsim::node
