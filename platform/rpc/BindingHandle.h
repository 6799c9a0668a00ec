#pragma once
// The object behind an RPC_BINDING_HANDLE: where the server is (string binding parts), how to
// authenticate, and for a client the association the calls travel over, made on first use.
#include "platform/rpc/CallExchange.h"
#include "platform/rpc/StringBinding.h"
#include "platform/rpc/Transport.h"

#include <mutex>
#include <vector>

namespace rpc {

// A connection with its negotiated fragment sizes and the presentation contexts bound on it.
struct ClientAssociation {
    std::unique_ptr<Connection> connection;
    Channel channel;
    bool bound = false; // the first bind was answered; further interfaces use alter_context
    std::uint32_t assocGroupId = 0;
    std::vector<std::pair<RPC_SYNTAX_IDENTIFIER, std::uint16_t>> contexts; // interface -> context id

    explicit ClientAssociation(std::unique_ptr<Connection> opened)
        : connection(std::move(opened)), channel{*connection} {}
};

struct BindingHandle {
    static constexpr std::uint32_t kMagic = 0x544E4942; // "BINT"
    std::uint32_t magic = kMagic;
    bool isServer = false; // a server's own binding (RpcServerInqBindings): not for calls
    StringBindingParts parts;
    ClientCredentials credentials;

    // Calls on one binding are made one at a time.
    std::mutex callMutex;
    std::unique_ptr<ClientAssociation> association;
    std::u16string resolvedEndpoint; // from the endpoint map, when the binding names none
    std::uint32_t nextCallId = 1;
};

// The binding behind a handle; null for a handle that is not one.
BindingHandle* ToBinding(RPC_BINDING_HANDLE handle);

RPC_BINDING_HANDLE NewBinding(StringBindingParts parts, bool isServer);

} // namespace rpc
