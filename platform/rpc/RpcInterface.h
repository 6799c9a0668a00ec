#pragma once
// The seam between the RPC runtime and the interface stubs that ride on it.
//
// The runtime moves request and reply bodies (NDR stub data) and knows nothing of any
// procedure's parameters; an interface's stubs marshal and unmarshal those bodies and know
// nothing of sockets or PDUs. A server registers an RPC_SERVER_INTERFACE whose dispatcher turns
// one request body into one reply body; a client calls through NdrClientCall, naming its
// RPC_CLIENT_INTERFACE, whose callback dispatcher serves the callbacks that a server routine
// issues while the call is in progress (NdrServerCallback, on the server side).
#include "platform/WinTypes.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

using RPC_STATUS = LONG;
using RPC_BINDING_HANDLE = void*;
using handle_t = RPC_BINDING_HANDLE;

struct RPC_VERSION {
    USHORT MajorVersion;
    USHORT MinorVersion;
    friend bool operator==(const RPC_VERSION&, const RPC_VERSION&) = default;
};

struct RPC_SYNTAX_IDENTIFIER {
    GUID SyntaxGUID;
    RPC_VERSION SyntaxVersion;
    friend bool operator==(const RPC_SYNTAX_IDENTIFIER&, const RPC_SYNTAX_IDENTIFIER&) = default;
};

namespace rpc {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// Serves one call (or one callback): decodes `request`, runs the routine, encodes `reply`.
// Returns 0 when `reply` holds the reply body; any other value is sent to the caller as a
// fault with that status. A dispatcher may throw: the runtime then sends a fault as well.
using Dispatcher = std::function<RPC_STATUS(std::uint32_t opnum, ByteView request, Bytes& reply)>;

} // namespace rpc

// The NDR transfer syntax 8a885d04-1ceb-11c9-9fe8-08002b104860 version 2.0.
inline constexpr RPC_SYNTAX_IDENTIFIER NdrTransferSyntax = {
    {0x8a885d04, 0x1ceb, 0x11c9, {0x9f, 0xe8, 0x08, 0x00, 0x2b, 0x10, 0x48, 0x60}}, {2, 0}};

struct RPC_SERVER_INTERFACE {
    RPC_SYNTAX_IDENTIFIER InterfaceId;
    RPC_SYNTAX_IDENTIFIER TransferSyntax;
    DWORD ProcedureCount;
    rpc::Dispatcher Dispatch; // procedures 0 .. ProcedureCount-1
};

struct RPC_CLIENT_INTERFACE {
    RPC_SYNTAX_IDENTIFIER InterfaceId;
    RPC_SYNTAX_IDENTIFIER TransferSyntax;
    DWORD CallbackCount;
    rpc::Dispatcher Callbacks; // may be empty when the interface has no callbacks
};

using RPC_IF_HANDLE = const void*; // points at an RPC_SERVER_INTERFACE or RPC_CLIENT_INTERFACE

// Client side: one call of procedure `opnum` on `binding`; blocks until the reply (or a fault,
// or a communication failure) arrives. Callbacks that arrive meanwhile are served on this
// thread by `clientInterface->Callbacks`. Returns 0 with `reply` filled, or the RPC status of
// the failure (a fault's status, RPC_S_SERVER_UNAVAILABLE, RPC_S_CALL_FAILED, ...). Never throws.
RPC_STATUS NdrClientCall(RPC_BINDING_HANDLE binding, const RPC_CLIENT_INTERFACE* clientInterface,
                         std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply);

// Server side, only inside a server routine: calls callback `opnum` of the client whose call
// this thread is serving, over that call's connection. Returns as NdrClientCall does;
// RPC_S_NO_CALL_ACTIVE outside a call. Never throws.
RPC_STATUS NdrServerCallback(std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply);
