#pragma once
// The interface the lab's RPC tests serve and call, in the test process and in a program of its
// own: procedure 0 answers the account it impersonated ("refused" when it could not).
#include "platform/WinError.h"
#include "platform/rpc/Rpc.h"

#include <string>

namespace labtest {

// 5b7e1f30-0c2d-4a8e-9f61-2d3c4b5a6978 version 1.0.
inline constexpr RPC_SYNTAX_IDENTIFIER kWhoAmI = {
    {0x5b7e1f30, 0x0c2d, 0x4a8e, {0x9f, 0x61, 0x2d, 0x3c, 0x4b, 0x5a, 0x69, 0x78}}, {1, 0}};

// Calls procedure 0 over `text`, a string binding: the answer, or "status N" when the call fails.
inline std::string CallWhoAmI(std::u16string text) {
    RPC_BINDING_HANDLE binding = nullptr;
    RPC_STATUS status = RpcBindingFromStringBindingW(text.data(), &binding);
    if (status != RPC_S_OK) {
        return "no binding: status " + std::to_string(status);
    }
    RPC_CLIENT_INTERFACE client{kWhoAmI, NdrTransferSyntax, 0, {}};
    rpc::Bytes reply;
    status = NdrClientCall(binding, &client, 0, {}, reply);
    RpcBindingFree(&binding);
    return status == RPC_S_OK ? std::string(reply.begin(), reply.end()) : "status " + std::to_string(status);
}

} // namespace labtest
