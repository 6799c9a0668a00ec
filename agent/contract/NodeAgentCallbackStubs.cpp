// The agent's callback stubs: each marshals its parameters through the description and calls
// the console whose call this thread serves, with NdrServerCallback.
#include "agent/contract/TypedStubs.h"
#include "agent/include/NodeAgentServer.h"

namespace nodeagent {
namespace {

RPC_STATUS ToCaller(std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
    return NdrServerCallback(opnum, request, reply);
}

} // namespace

RPC_STATUS RelayPost(LONG senderKey, LONG tag, const BYTE* data, LONG sizeA) {
    return typed::Call<kCallbacks, kRelayPost>(ToCaller, senderKey, tag, data, sizeA);
}

RPC_STATUS RelayFetch(LONG callerKey, LONG tag, BYTE* data, LONG sizeA, LONG* size) {
    return typed::Call<kCallbacks, kRelayFetch>(ToCaller, callerKey, tag, data, sizeA, size);
}

} // namespace nodeagent
