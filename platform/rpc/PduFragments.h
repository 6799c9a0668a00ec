#pragma once
// Splitting a call body into fragments that fit the negotiated fragment size, and putting the
// fragments of a received call back together.
#include "platform/rpc/PduCall.h"

#include <functional>

namespace rpc::pdu {

// Receives each encoded fragment in order; a status other than RPC_S_OK stops the sending.
using FragmentSink = std::function<RPC_STATUS(ByteView fragment)>;

// Sends `body` as request fragments of the call described by `call` (call id, context, opnum,
// object UUID; its flags, alloc hint and stub are ignored), none longer than `maxFragment`
// bytes. Every stub part but the last is a multiple of 8 bytes; alloc_hint is the number of body
// bytes from that fragment on. An empty body is one fragment without stub data.
// ERROR_INVALID_PARAMETER when `maxFragment` leaves no room for stub data.
RPC_STATUS SendRequestFragments(const RequestPdu& call, ByteView body, std::size_t maxFragment,
                                const FragmentSink& sink);
RPC_STATUS SendResponseFragments(const ResponsePdu& call, ByteView body, std::size_t maxFragment,
                                 const FragmentSink& sink);

// Collects the fragments of one call (request or response) in order.
class Reassembler {
public:
    // `maxBody` bounds the body: neither alloc_hint nor the fragments may make it grow beyond.
    explicit Reassembler(std::size_t maxBody) : m_maxBody(maxBody) {}

    // Adds the next fragment. RPC_S_PROTOCOL_ERROR when it does not continue the call in
    // progress (no first fragment, a second first fragment, another call id, context or opnum)
    // or when the body would exceed the bound; the reassembler is then reset.
    RPC_STATUS Add(const RequestPdu& fragment);
    RPC_STATUS Add(const ResponsePdu& fragment);

    bool InProgress() const { return m_inProgress; }
    bool Complete() const { return m_complete; }
    // The body of the completed call; the reassembler is ready for the next call.
    Bytes Take();
    void Reset();

private:
    RPC_STATUS AddPart(std::uint32_t callId, std::uint8_t flags, std::uint32_t allocHint, std::uint32_t key,
                       ByteView stub);

    std::size_t m_maxBody;
    Bytes m_body;
    std::uint32_t m_callId = 0;
    std::uint32_t m_key = 0;
    bool m_inProgress = false;
    bool m_complete = false;
};

} // namespace rpc::pdu
