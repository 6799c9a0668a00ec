#pragma once
// A test interface over the runtime's seam: raw bodies, no marshalling layer.
#include "platform/rpc/Rpc.h"

#include <functional>

namespace rpctest {

inline constexpr RPC_SYNTAX_IDENTIFIER kTestInterfaceId = {
    {0x5b1f3c2e, 0x7d4a, 0x4e21, {0x9c, 0x33, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e, 0x6f}}, {1, 0}};

enum TestProcedure : std::uint32_t {
    Ping = 0,        // empty -> empty
    Echo = 1,        // body -> the same body
    Fill = 2,        // 4-byte count n -> n bytes of Pattern(n)
    Relay = 3,       // message -> callback 0 (post) with it, then callback 1 (fetch) until it
                     // answers 0, retrying every 5000 ms up to 10 times -> the fetched data
    Block = 4,       // runs the block handler, then -> empty
    Throw = 5,       // throws a std::runtime_error
    Raise = 6,       // RpcRaiseException(4-byte status)
    CheckAccess = 7, // -> 4 bytes: RpcImpersonateClient's status; on success also the account
    kProcedureCount = 8,
};

// Callbacks the client serves for Relay: callback 0 (post) and 1 (fetch). Both reply with a
// 4-byte status first; fetch's status 0 is followed by the data.
enum TestCallback : std::uint32_t {
    Post = 0,
    Fetch = 1,
    kCallbackCount = 2,
};

const RPC_SERVER_INTERFACE& TestServerInterface();
RPC_CLIENT_INTERFACE TestClientInterface(rpc::Dispatcher callbacks = {});

// What Block does while it holds its call (the default returns at once).
void SetBlockHandler(std::function<void()> handler);

rpc::Bytes Pattern(std::size_t size);
rpc::Bytes U32(std::uint32_t value);
std::uint32_t ReadU32(rpc::ByteView bytes); // 0xFFFFFFFF when fewer than 4 bytes

} // namespace rpctest
