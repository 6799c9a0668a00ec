// The console's dispatcher of the agent's callbacks, through the one marshaller of the
// description.
#include "agent/contract/TypedStubs.h"
#include "agent/include/NodeAgentClient.h"

namespace nodeagent {
namespace {

constexpr typed::Invoker<CallbackRoutines> kInvokers[kCallbackCount] = {
    &typed::Invoke<kCallbacks, kRelayPost, &CallbackRoutines::RelayPost>,
    &typed::Invoke<kCallbacks, kRelayFetch, &CallbackRoutines::RelayFetch>,
};

} // namespace

RPC_STATUS DispatchCallback(CallbackRoutines& routines, std::uint32_t opnum, rpc::ByteView request,
                            rpc::Bytes& reply) {
    return typed::Dispatch(kCallbacks, kInvokers, routines, opnum, request, reply);
}

} // namespace nodeagent
