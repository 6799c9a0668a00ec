#include "platform/rpc/ServerCall.h"

#include "platform/WinError.h"
#include "platform/rpc/Rpc.h"

namespace rpc {
namespace {

thread_local ServerCall* tCurrentCall = nullptr;

// The call a binding argument names: null names this thread's call, and so does that call's
// own handle.
ServerCall* CallOf(RPC_BINDING_HANDLE binding) {
    if (binding == nullptr || binding == tCurrentCall) {
        return tCurrentCall;
    }
    return nullptr;
}

} // namespace

ServerCallScope::ServerCallScope(ServerCall& call) : m_previous(tCurrentCall) {
    tCurrentCall = &call;
}

ServerCallScope::~ServerCallScope() {
    tCurrentCall = m_previous;
}

const ClientIdentity* CallingClient() {
    if (tCurrentCall == nullptr || !tCurrentCall->client) {
        return nullptr;
    }
    return &*tCurrentCall->client;
}

const ClientIdentity* ImpersonatedClient() {
    if (tCurrentCall == nullptr || !tCurrentCall->impersonating) {
        return nullptr;
    }
    return CallingClient();
}

} // namespace rpc

RPC_STATUS NdrServerCallback(std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
    rpc::ServerCall* call = rpc::tCurrentCall;
    if (call == nullptr) {
        return RPC_S_NO_CALL_ACTIVE;
    }
    if (call->channel.broken) {
        return RPC_S_CALL_FAILED;
    }
    if (opnum > 0xFFFF) {
        return RPC_S_PROCNUM_OUT_OF_RANGE;
    }
    rpc::pdu::RequestPdu callback;
    callback.callId = call->callId;
    callback.contextId = call->contextId;
    callback.opnum = static_cast<std::uint16_t>(opnum);
    return rpc::CallOverChannel(call->channel, callback, request, reply, nullptr, 0);
}

RPC_STATUS RpcImpersonateClient(RPC_BINDING_HANDLE BindingHandle) {
    rpc::ServerCall* call = rpc::CallOf(BindingHandle);
    if (call == nullptr) {
        return BindingHandle == nullptr ? RPC_S_NO_CALL_ACTIVE : RPC_S_INVALID_BINDING;
    }
    if (!call->client) {
        return RPC_S_NO_CONTEXT_AVAILABLE;
    }
    call->impersonating = true;
    return RPC_S_OK;
}

RPC_STATUS RpcRevertToSelf() {
    if (rpc::tCurrentCall == nullptr) {
        return RPC_S_NO_CALL_ACTIVE;
    }
    rpc::tCurrentCall->impersonating = false;
    return RPC_S_OK;
}

RPC_BINDING_HANDLE I_RpcGetCurrentCallHandle() {
    return rpc::tCurrentCall;
}
