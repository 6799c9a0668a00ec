#pragma once
// The pipe router interface of a computer's ntnode and the "pipes" section of its status
// document.
#include "ntsim/node/NodeServer.h"
#include "ntsim/node/PipeRouter.h"

namespace ntsim::node {

void AddPipeFamily(NodeServer& server);

// The procedures of the interface, served by `router` for callers that `node` authenticates.
RPC_STATUS DispatchPipeCall(Node& node, PipeRouter& router, std::uint32_t opnum, rpc::ByteView request,
                            rpc::Bytes& reply);

} // namespace ntsim::node
