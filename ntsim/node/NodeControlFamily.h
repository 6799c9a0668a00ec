#pragma once
// How ntlab reaches a running ntnode: ping and the status document.
#include "ntsim/node/NodeServer.h"

namespace ntsim::node {

void AddNodeControlFamily(NodeServer& server);

} // namespace ntsim::node
