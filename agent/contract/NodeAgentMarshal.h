#pragma once
// The one marshaller of the NodeAgent interface: encodes and decodes request and reply bodies
// of any procedure or callback from its Operation description. The calling side uses
// EncodeRequest and DecodeReply, the serving side ServeCall (request in, reply out).
#include "agent/include/NodeAgentDescription.h"
#include "platform/rpc/RpcInterface.h"

#include <array>
#include <functional>
#include <memory>
#include <span>

namespace nodeagent {

// One parameter's value during a call; which member counts depends on the parameter's kind.
struct Argument {
    LONG integer = 0;            // Int, Size, InOutInt, OutInt
    const void* input = nullptr; // OptText (null: no text), InText (WCHAR), InBytes (BYTE)
    void* output = nullptr;      // OutText (WCHAR), OutBytes (BYTE): as many as the size says
};

// Calling side. Checks the arguments (sizes 0..kMaxBufferElements, no null buffer behind a
// non-zero size) and writes the request body: RPC_S_INVALID_BOUND, RPC_S_STRING_TOO_LONG or
// RPC_X_NULL_REF_POINTER instead of a body when they are unfit.
RPC_STATUS EncodeRequest(const Operation& operation, std::span<const Argument> arguments,
                         rpc::Bytes& request);

// Calling side. Checks the whole reply against the description and the sizes of the request
// before it stores anything; then fills the out buffers and the integer outputs of `arguments`
// and sets `result` to the status the other side returned. RPC_X_BAD_STUB_DATA (nothing
// stored) when the reply is short, has counts other than the sizes asked for, an out text
// without a NUL, or a length beyond its array.
RPC_STATUS DecodeReply(const Operation& operation, rpc::ByteView reply, std::span<Argument> arguments,
                       RPC_STATUS& result);

// Serving side: runs one routine over the decoded arguments and returns its status.
using RoutineCall = std::function<RPC_STATUS(std::span<Argument> arguments)>;

// Serving side, one call: decodes `request` (RPC_X_BAD_STUB_DATA when it does not fit the
// description, a size is negative or above kMaxBufferElements, an array's count differs from
// its size parameter, or an in text holds no NUL), gives every out array a zero-filled buffer
// of exactly its size, runs `routine`, and writes the reply body. An out text the routine
// left without a NUL gets one in its last character, so that the reply always carries
// terminated texts. Every buffer is freed on every path. What the routine or an allocation
// throws (std::bad_alloc, RpcRaiseException, anything else) passes on to the runtime, after
// the buffers are freed, and the runtime answers the call with a fault.
RPC_STATUS ServeCall(const Operation& operation, rpc::ByteView request, rpc::Bytes& reply,
                     const RoutineCall& routine);

// Calling side, one call over `transport` (NdrClientCall or NdrServerCallback): encodes,
// sends, decodes. Returns the failure of the arguments, of the transport, a fault from the
// other side or a reply that does not decode; RPC_S_OK when the reply was stored into
// `arguments`, with the other side's status in `result`.
RPC_STATUS CallOperation(const Operation& operation, std::uint32_t opnum, const rpc::Dispatcher& transport,
                         std::span<Argument> arguments, RPC_STATUS& result);

} // namespace nodeagent
