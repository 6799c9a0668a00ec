#pragma once
// request, response and fault: the PDUs of a call. Decoded stub data points into the input.
#include "platform/rpc/PduHeader.h"

namespace rpc::pdu {

constexpr std::size_t kRequestHeaderSize = 24; // plus 16 when an object UUID is carried
constexpr std::size_t kResponseHeaderSize = 24;
constexpr std::size_t kFaultSize = 32;

struct RequestPdu {
    std::uint32_t callId = 0;
    std::uint8_t flags = kWholeCall;
    DataRepresentation drep = kNdrLittleEndian; // decoded only: the representation of `stub`
    std::uint32_t allocHint = 0;
    std::uint16_t contextId = 0;
    std::uint16_t opnum = 0;
    std::optional<GUID> objectUuid; // sent with PFC_OBJECT_UUID
    ByteView stub;
};

struct ResponsePdu {
    std::uint32_t callId = 0;
    std::uint8_t flags = kWholeCall;
    DataRepresentation drep = kNdrLittleEndian; // decoded only
    std::uint32_t allocHint = 0;
    std::uint16_t contextId = 0;
    std::uint8_t cancelCount = 0;
    ByteView stub;
};

struct FaultPdu {
    std::uint32_t callId = 0;
    std::uint8_t flags = kWholeCall;
    std::uint32_t allocHint = 0;
    std::uint16_t contextId = 0;
    std::uint8_t cancelCount = 0;
    std::uint32_t status = 0; // the fault status as it travels (see FaultStatus.h)
};

// Empty when the fragment would exceed the 65,535 bytes frag_length can state.
Bytes EncodeRequest(const RequestPdu& request);
RPC_STATUS DecodeRequest(ByteView data, RequestPdu& request);

Bytes EncodeResponse(const ResponsePdu& response);
RPC_STATUS DecodeResponse(ByteView data, ResponsePdu& response);

Bytes EncodeFault(const FaultPdu& fault);
RPC_STATUS DecodeFault(ByteView data, FaultPdu& fault);

} // namespace rpc::pdu
