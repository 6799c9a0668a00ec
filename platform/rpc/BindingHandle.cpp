#include "platform/rpc/BindingHandle.h"

#include "platform/WinError.h"

namespace rpc {

BindingHandle* ToBinding(RPC_BINDING_HANDLE handle) {
    auto* binding = static_cast<BindingHandle*>(handle);
    return binding != nullptr && binding->magic == BindingHandle::kMagic ? binding : nullptr;
}

RPC_BINDING_HANDLE NewBinding(StringBindingParts parts, bool isServer) {
    auto* binding = new BindingHandle;
    binding->parts = std::move(parts);
    binding->isServer = isServer;
    return binding;
}

} // namespace rpc

RPC_STATUS RpcBindingFromStringBindingW(RPC_WSTR StringBinding, RPC_BINDING_HANDLE* Binding) {
    if (Binding == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *Binding = nullptr;
    if (StringBinding == nullptr) {
        return RPC_S_INVALID_STRING_BINDING;
    }
    rpc::StringBindingParts parts;
    RPC_STATUS status = rpc::ParseStringBinding(StringBinding, parts);
    if (status != RPC_S_OK) {
        return status;
    }
    std::shared_ptr<rpc::Transport> transport;
    status = rpc::FindTransport(parts.protseq, transport);
    if (status != RPC_S_OK) {
        return status;
    }
    *Binding = rpc::NewBinding(std::move(parts), false);
    return RPC_S_OK;
}

RPC_STATUS RpcBindingToStringBindingW(RPC_BINDING_HANDLE Binding, RPC_WSTR* StringBinding) {
    rpc::BindingHandle* binding = rpc::ToBinding(Binding);
    if (binding == nullptr || StringBinding == nullptr) {
        return RPC_S_INVALID_BINDING;
    }
    rpc::StringBindingParts parts = binding->parts;
    if (parts.endpoint.empty()) {
        std::lock_guard lock(binding->callMutex);
        parts.endpoint = binding->resolvedEndpoint;
    }
    *StringBinding = rpc::NewRpcString(rpc::ComposeStringBinding(parts));
    return RPC_S_OK;
}

RPC_STATUS RpcBindingSetAuthInfoW(RPC_BINDING_HANDLE Binding, RPC_WSTR, ULONG AuthnLevel, ULONG AuthnSvc,
                                  RPC_AUTH_IDENTITY_HANDLE AuthIdentity, ULONG AuthzSvc) {
    rpc::BindingHandle* binding = rpc::ToBinding(Binding);
    if (binding == nullptr || binding->isServer) {
        return RPC_S_INVALID_BINDING;
    }
    if (AuthnLevel > RPC_C_AUTHN_LEVEL_PKT_PRIVACY) {
        return RPC_S_UNKNOWN_AUTHN_LEVEL;
    }
    if (AuthnSvc != RPC_C_AUTHN_NONE && AuthnSvc != RPC_C_AUTHN_WINNT && AuthnSvc != RPC_C_AUTHN_DEFAULT) {
        return RPC_S_UNKNOWN_AUTHN_SERVICE;
    }
    if (AuthzSvc != RPC_C_AUTHZ_NONE) {
        return RPC_S_UNKNOWN_AUTHZ_SERVICE;
    }
    std::lock_guard lock(binding->callMutex);
    binding->credentials.authnLevel =
        AuthnLevel == RPC_C_AUTHN_LEVEL_DEFAULT ? RPC_C_AUTHN_LEVEL_CONNECT : AuthnLevel;
    binding->credentials.authnService = AuthnSvc == RPC_C_AUTHN_DEFAULT ? RPC_C_AUTHN_WINNT : AuthnSvc;
    binding->credentials.identity = AuthIdentity;
    // New credentials take effect on the next connection.
    binding->association.reset();
    return RPC_S_OK;
}

RPC_STATUS RpcBindingFree(RPC_BINDING_HANDLE* Binding) {
    if (Binding == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    rpc::BindingHandle* binding = rpc::ToBinding(*Binding);
    if (binding == nullptr) {
        return RPC_S_INVALID_BINDING;
    }
    binding->magic = 0;
    delete binding;
    *Binding = nullptr;
    return RPC_S_OK;
}
