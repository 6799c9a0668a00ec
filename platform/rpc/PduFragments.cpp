#include "platform/rpc/PduFragments.h"

#include "platform/WinError.h"

#include <algorithm>

namespace rpc::pdu {
namespace {

// The most a call's first fragment makes the reassembler reserve up front.
constexpr std::size_t kMaxReserve = 256 * 1024;

// Cuts `body` into stub parts that fit `maxFragment` after a header of `headerSize` bytes
// (rounded down to a multiple of 8) and sends each as a fragment of `call`.
template <typename Pdu>
RPC_STATUS SendFragments(const Pdu& call, std::size_t headerSize, ByteView body, std::size_t maxFragment,
                         Bytes (*encode)(const Pdu&), const FragmentSink& sink) {
    std::size_t part = maxFragment > headerSize ? std::min(maxFragment, kMaxPduSize) - headerSize : 0;
    part = part / 8 * 8;
    if (part == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    std::size_t offset = 0;
    do {
        Pdu fragment = call;
        std::size_t length = std::min(part, body.size() - offset);
        fragment.flags = 0;
        if (offset == 0) {
            fragment.flags |= PFC_FIRST_FRAG;
        }
        if (offset + length == body.size()) {
            fragment.flags |= PFC_LAST_FRAG;
        }
        fragment.allocHint =
            static_cast<std::uint32_t>(std::min<std::size_t>(body.size() - offset, 0xFFFFFFFFu));
        fragment.stub = body.subspan(offset, length);
        Bytes encoded = encode(fragment);
        if (encoded.empty()) {
            return ERROR_INVALID_PARAMETER;
        }
        RPC_STATUS status = sink(encoded);
        if (status != RPC_S_OK) {
            return status;
        }
        offset += length;
    } while (offset < body.size());
    return RPC_S_OK;
}

} // namespace

RPC_STATUS SendRequestFragments(const RequestPdu& call, ByteView body, std::size_t maxFragment,
                                const FragmentSink& sink) {
    std::size_t headerSize = kRequestHeaderSize + (call.objectUuid ? 16 : 0);
    return SendFragments(call, headerSize, body, maxFragment, EncodeRequest, sink);
}

RPC_STATUS SendResponseFragments(const ResponsePdu& call, ByteView body, std::size_t maxFragment,
                                 const FragmentSink& sink) {
    return SendFragments(call, kResponseHeaderSize, body, maxFragment, EncodeResponse, sink);
}

RPC_STATUS Reassembler::Add(const RequestPdu& fragment) {
    std::uint32_t key = static_cast<std::uint32_t>(fragment.contextId) << 16 | fragment.opnum;
    return AddPart(fragment.callId, fragment.flags, fragment.allocHint, key, fragment.stub);
}

RPC_STATUS Reassembler::Add(const ResponsePdu& fragment) {
    return AddPart(fragment.callId, fragment.flags, fragment.allocHint, fragment.contextId, fragment.stub);
}

RPC_STATUS Reassembler::AddPart(std::uint32_t callId, std::uint8_t flags, std::uint32_t allocHint,
                                std::uint32_t key, ByteView stub) {
    bool first = (flags & PFC_FIRST_FRAG) != 0;
    if (m_complete || first == m_inProgress) {
        Reset();
        return RPC_S_PROTOCOL_ERROR;
    }
    if (first) {
        m_callId = callId;
        m_key = key;
        m_inProgress = true;
        // alloc_hint is only a hint from the sender: it may save reallocations, but it
        // reserves no more than a modest amount; the body grows past that as bytes arrive.
        m_body.reserve(std::min({std::size_t{allocHint}, m_maxBody, kMaxReserve}));
    } else if (callId != m_callId || key != m_key) {
        Reset();
        return RPC_S_PROTOCOL_ERROR;
    }
    if (stub.size() > m_maxBody - m_body.size()) {
        Reset();
        return RPC_S_PROTOCOL_ERROR;
    }
    m_body.insert(m_body.end(), stub.begin(), stub.end());
    if (flags & PFC_LAST_FRAG) {
        m_inProgress = false;
        m_complete = true;
    }
    return RPC_S_OK;
}

Bytes Reassembler::Take() {
    Bytes body = std::move(m_body);
    Reset();
    return body;
}

void Reassembler::Reset() {
    m_body = Bytes{};
    m_inProgress = false;
    m_complete = false;
}

} // namespace rpc::pdu
