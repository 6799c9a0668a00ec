#pragma once
// The common 16-byte header of every connection-oriented DCE/RPC 5.0 PDU, and a fragment taken
// apart into header, body and authentication trailer.
#include "platform/rpc/PduBytes.h"
#include "platform/rpc/RpcInterface.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace rpc::pdu {

enum class PduType : std::uint8_t {
    Request = 0,
    Response = 2,
    Fault = 3,
    Bind = 11,
    BindAck = 12,
    BindNak = 13,
    AlterContext = 14,
    AlterContextResp = 15,
    Auth3 = 16,
    Shutdown = 17,
    CoCancel = 18,
    Orphaned = 19,
};

// pfc_flags
constexpr std::uint8_t PFC_FIRST_FRAG = 0x01;
constexpr std::uint8_t PFC_LAST_FRAG = 0x02;
constexpr std::uint8_t PFC_PENDING_CANCEL = 0x04;
constexpr std::uint8_t PFC_CONC_MPX = 0x10;
constexpr std::uint8_t PFC_DID_NOT_EXECUTE = 0x20;
constexpr std::uint8_t PFC_MAYBE = 0x40;
constexpr std::uint8_t PFC_OBJECT_UUID = 0x80;
constexpr std::uint8_t kWholeCall = PFC_FIRST_FRAG | PFC_LAST_FRAG;

constexpr std::uint8_t kRpcVersion = 5;
constexpr std::uint8_t kRpcVersionMinor = 0;
constexpr std::size_t kCommonHeaderSize = 16;
constexpr std::size_t kAuthTrailerSize = 8;

// Data representation label: little-endian integers, ASCII characters, IEEE floating point.
using DataRepresentation = std::array<std::uint8_t, 4>;
constexpr DataRepresentation kNdrLittleEndian = {0x10, 0, 0, 0};

inline bool IsBigEndian(const DataRepresentation& drep) {
    return (drep[0] & 0xF0) == 0;
}
// Whether stub data in this representation can be handed to the stubs as it stands.
inline bool IsNativeRepresentation(const DataRepresentation& drep) {
    return drep[0] == kNdrLittleEndian[0] && drep[1] == 0;
}

struct CommonHeader {
    std::uint8_t version = kRpcVersion;
    std::uint8_t versionMinor = kRpcVersionMinor;
    PduType type = PduType::Request;
    std::uint8_t flags = 0;
    DataRepresentation drep = kNdrLittleEndian;
    std::uint16_t fragLength = 0;
    std::uint16_t authLength = 0;
    std::uint32_t callId = 0;
};

struct AuthTrailer {
    std::uint8_t authType = 0;
    std::uint8_t authLevel = 0;
    std::uint8_t padLength = 0;
    std::uint32_t contextId = 0;
    ByteView credentials;
};

// One fragment taken apart. `body` lies between the common header and the authentication
// trailer (its pad removed) and points into the decoded input.
struct Fragment {
    CommonHeader header;
    ByteView body;
    std::optional<AuthTrailer> auth;
};

// Reads the common header from the first 16 bytes of `data`. Refuses (RPC_S_PROTOCOL_ERROR) a
// header that is cut short, of another major version or minor version above 1, with a
// frag_length below 16 or an unknown data representation; even then `header` holds the fields
// that could be read, so that a server can answer a bind of another version with bind_nak.
// Integers are read in the sender's byte order.
RPC_STATUS DecodeCommonHeader(ByteView data, CommonHeader& header);

// Takes apart the fragment at the start of `data`: refuses a header DecodeCommonHeader refuses,
// a frag_length beyond the bytes held, or an authentication trailer that does not fit.
RPC_STATUS DecodeFragment(ByteView data, Fragment& fragment);

// DecodeFragment, and RPC_S_PROTOCOL_ERROR unless the fragment is of type `type` or `other`.
RPC_STATUS DecodeFragmentOfType(ByteView data, PduType type, PduType other, Fragment& fragment);

// Starts a PDU: the common header with frag_length 0, which FinishPdu fills in. FinishPdu
// returns the PDU, or nothing when it is longer than the 65,535 bytes frag_length can state.
void WriteCommonHeader(ByteWriter& writer, PduType type, std::uint8_t flags, std::uint32_t callId);
Bytes FinishPdu(Bytes pdu);

constexpr std::size_t kMaxPduSize = 0xFFFF;

} // namespace rpc::pdu
