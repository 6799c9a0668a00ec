#pragma once
// What both ends of an association do with calls: send a body in fragments, answer a request
// through a dispatcher, and make a call and wait for its reply while serving the callbacks the
// other end makes meanwhile (a server routine calling back into its client).
#include "platform/rpc/PduCall.h"
#include "platform/rpc/Transport.h"

namespace rpc {

// Fragment sizes. Every peer must accept fragments of 1432 bytes; this runtime offers 5840.
constexpr std::size_t kMinFragmentSize = 1432;
constexpr std::size_t kMaxFragmentSize = 5840;
// The largest request or reply body accepted from the wire.
constexpr std::size_t kMaxCallBodySize = 16 * 1024 * 1024;

// One end of an association as calls see it.
struct Channel {
    Connection& connection;
    std::size_t maxXmitFrag = kMaxFragmentSize; // the largest fragment this end sends
    std::size_t maxRecvFrag = kMaxFragmentSize; // the largest fragment this end accepts
    int interruptFd = -1;                       // ends waits between calls (server: the stop event)
    bool broken = false;                        // the connection can carry no further PDU
};

RPC_STATUS SendFault(Channel& channel, std::uint32_t callId, std::uint16_t contextId, RPC_STATUS status,
                     bool didNotExecute);

// Runs `dispatcher`, turning what it throws into a status: RpcRaiseException's status, 14 for
// an allocation failure, RPC_S_INTERNAL_ERROR for anything else.
RPC_STATUS RunDispatcher(const Dispatcher& dispatcher, std::uint32_t opnum, ByteView request, Bytes& reply);

// Sends the answer to `request`: `reply` as the response when `status` is 0, else a fault with
// `status`. Marks the channel broken when the answer cannot be sent.
void SendAnswer(Channel& channel, const pdu::RequestPdu& request, RPC_STATUS status, ByteView reply);

// Sends `call` (call id, context, opnum) with `body` and waits for the reply. Requests of the
// same call that arrive meanwhile are callbacks, served by `callbacks` (null: refused with a
// fault). Returns 0 with `reply` filled, the status of a fault, or the status of a failure
// (RPC_S_CALL_FAILED when the connection breaks, RPC_S_PROTOCOL_ERROR for a reply that does
// not decode; the channel is then marked broken).
RPC_STATUS CallOverChannel(Channel& channel, const pdu::RequestPdu& call, ByteView body, Bytes& reply,
                           const Dispatcher* callbacks, DWORD callbackCount);

} // namespace rpc
