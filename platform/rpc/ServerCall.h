#pragma once
// The call a server thread is serving: what NdrServerCallback calls back over, whom
// RpcImpersonateClient impersonates. Server code of the lab asks here who its caller is.
#include "platform/rpc/CallExchange.h"

namespace rpc {

struct ServerCall {
    Channel& channel;
    std::uint32_t callId;
    std::uint16_t contextId;
    const std::optional<ClientIdentity>& client;
    bool impersonating = false;
};

// Makes `call` the current call of this thread for the scope's lifetime.
class ServerCallScope {
public:
    explicit ServerCallScope(ServerCall& call);
    ~ServerCallScope();
    ServerCallScope(const ServerCallScope&) = delete;
    ServerCallScope& operator=(const ServerCallScope&) = delete;

private:
    ServerCall* m_previous;
};

// The authenticated client of the call this thread serves; null outside a call or for an
// anonymous caller.
const ClientIdentity* CallingClient();

// The client this thread impersonates (between RpcImpersonateClient and RpcRevertToSelf);
// null when it acts as itself.
const ClientIdentity* ImpersonatedClient();

} // namespace rpc
