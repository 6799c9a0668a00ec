#pragma once
// bind, alter_context (one layout), bind_ack, alter_context_resp (one layout) and bind_nak:
// presentation-context negotiation at the start of an association.
#include "platform/rpc/PduHeader.h"

#include <string>
#include <vector>

namespace rpc::pdu {

struct PresentationContext {
    std::uint16_t contextId = 0;
    RPC_SYNTAX_IDENTIFIER abstractSyntax{};
    std::vector<RPC_SYNTAX_IDENTIFIER> transferSyntaxes;
};

struct BindPdu {
    std::uint32_t callId = 0;
    std::uint8_t flags = kWholeCall;
    std::uint16_t maxXmitFrag = 0;
    std::uint16_t maxRecvFrag = 0;
    std::uint32_t assocGroupId = 0;
    std::vector<PresentationContext> contexts;
    bool authenticated = false; // decoded only: the PDU carried an authentication trailer
};

enum class ContextResultKind : std::uint16_t {
    Acceptance = 0,
    UserRejection = 1,
    ProviderRejection = 2,
};

enum class ProviderReason : std::uint16_t {
    NotSpecified = 0,
    AbstractSyntaxNotSupported = 1,
    ProposedTransferSyntaxesNotSupported = 2,
    LocalLimitExceeded = 3,
};

struct ContextResult {
    ContextResultKind result = ContextResultKind::Acceptance;
    ProviderReason reason = ProviderReason::NotSpecified;
    RPC_SYNTAX_IDENTIFIER transferSyntax{}; // all zero when the context is rejected
};

struct BindAckPdu {
    std::uint32_t callId = 0;
    std::uint8_t flags = kWholeCall;
    std::uint16_t maxXmitFrag = 0;
    std::uint16_t maxRecvFrag = 0;
    std::uint32_t assocGroupId = 0;
    std::string secondaryAddress; // the server's endpoint (a TCP port as text, ...); may be empty
    std::vector<ContextResult> results;
};

enum class RejectReason : std::uint16_t {
    NotSpecified = 0,
    TemporaryCongestion = 1,
    LocalLimitExceeded = 2,
    CalledPaddrUnknown = 3,
    ProtocolVersionNotSupported = 4,
    DefaultContextNotSupported = 5,
    UserDataNotReadable = 6,
    NoPsapAvailable = 7,
    AuthenticationTypeNotRecognized = 8,
};

struct ProtocolVersion {
    std::uint8_t major = kRpcVersion;
    std::uint8_t minor = kRpcVersionMinor;
};

struct BindNakPdu {
    std::uint32_t callId = 0;
    RejectReason reason = RejectReason::NotSpecified;
    std::vector<ProtocolVersion> versions; // the versions the server supports
};

// `type` is Bind or AlterContext. Empty when the lists exceed what the PDU can count or hold.
Bytes EncodeBind(const BindPdu& bind, PduType type = PduType::Bind);
// Accepts bind and alter_context; `type` tells which arrived.
RPC_STATUS DecodeBind(ByteView data, BindPdu& bind, PduType* type = nullptr);

// `type` is BindAck or AlterContextResp. Empty when the lists exceed what the PDU can hold.
Bytes EncodeBindAck(const BindAckPdu& ack, PduType type = PduType::BindAck);
RPC_STATUS DecodeBindAck(ByteView data, BindAckPdu& ack, PduType* type = nullptr);

Bytes EncodeBindNak(const BindNakPdu& nak);
RPC_STATUS DecodeBindNak(ByteView data, BindNakPdu& nak);

} // namespace rpc::pdu
