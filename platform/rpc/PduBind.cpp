#include "platform/rpc/PduBind.h"

#include "platform/WinError.h"

#include <limits>

namespace rpc::pdu {
namespace {

constexpr std::size_t kMaxListCount = std::numeric_limits<std::uint8_t>::max();

} // namespace

Bytes EncodeBind(const BindPdu& bind, PduType type) {
    if (bind.contexts.size() > kMaxListCount) {
        return {};
    }
    Bytes pdu;
    ByteWriter writer(pdu);
    WriteCommonHeader(writer, type, bind.flags, bind.callId);
    writer.U16(bind.maxXmitFrag);
    writer.U16(bind.maxRecvFrag);
    writer.U32(bind.assocGroupId);
    writer.U8(static_cast<std::uint8_t>(bind.contexts.size()));
    writer.U8(0);
    writer.U16(0);
    for (const PresentationContext& context : bind.contexts) {
        if (context.transferSyntaxes.size() > kMaxListCount) {
            return {};
        }
        writer.U16(context.contextId);
        writer.U8(static_cast<std::uint8_t>(context.transferSyntaxes.size()));
        writer.U8(0);
        writer.Syntax(context.abstractSyntax);
        for (const RPC_SYNTAX_IDENTIFIER& syntax : context.transferSyntaxes) {
            writer.Syntax(syntax);
        }
    }
    return FinishPdu(std::move(pdu));
}

RPC_STATUS DecodeBind(ByteView data, BindPdu& bind, PduType* type) {
    Fragment fragment;
    RPC_STATUS status = DecodeFragmentOfType(data, PduType::Bind, PduType::AlterContext, fragment);
    if (status != RPC_S_OK) {
        return status;
    }
    if (type != nullptr) {
        *type = fragment.header.type;
    }
    ByteReader reader(fragment.body, IsBigEndian(fragment.header.drep));
    bind.callId = fragment.header.callId;
    bind.flags = fragment.header.flags;
    bind.authenticated = fragment.auth.has_value();
    bind.maxXmitFrag = reader.U16();
    bind.maxRecvFrag = reader.U16();
    bind.assocGroupId = reader.U32();
    std::uint8_t count = reader.U8();
    reader.Skip(3);
    bind.contexts.clear();
    for (std::uint8_t i = 0; i < count && reader.Ok(); ++i) {
        PresentationContext context;
        context.contextId = reader.U16();
        std::uint8_t syntaxCount = reader.U8();
        reader.Skip(1);
        context.abstractSyntax = reader.Syntax();
        for (std::uint8_t j = 0; j < syntaxCount && reader.Ok(); ++j) {
            context.transferSyntaxes.push_back(reader.Syntax());
        }
        bind.contexts.push_back(std::move(context));
    }
    return reader.Ok() ? RPC_S_OK : RPC_S_PROTOCOL_ERROR;
}

Bytes EncodeBindAck(const BindAckPdu& ack, PduType type) {
    if (ack.results.size() > kMaxListCount || ack.secondaryAddress.size() >= kMaxPduSize) {
        return {};
    }
    Bytes pdu;
    ByteWriter writer(pdu);
    WriteCommonHeader(writer, type, ack.flags, ack.callId);
    writer.U16(ack.maxXmitFrag);
    writer.U16(ack.maxRecvFrag);
    writer.U32(ack.assocGroupId);
    if (ack.secondaryAddress.empty()) {
        writer.U16(0);
    } else {
        // The length counts the terminating NUL.
        writer.U16(static_cast<std::uint16_t>(ack.secondaryAddress.size() + 1));
        for (char c : ack.secondaryAddress) {
            writer.U8(static_cast<std::uint8_t>(c));
        }
        writer.U8(0);
    }
    writer.PadTo(4);
    writer.U8(static_cast<std::uint8_t>(ack.results.size()));
    writer.U8(0);
    writer.U16(0);
    for (const ContextResult& result : ack.results) {
        writer.U16(static_cast<std::uint16_t>(result.result));
        writer.U16(static_cast<std::uint16_t>(result.reason));
        writer.Syntax(result.transferSyntax);
    }
    return FinishPdu(std::move(pdu));
}

RPC_STATUS DecodeBindAck(ByteView data, BindAckPdu& ack, PduType* type) {
    Fragment fragment;
    RPC_STATUS status = DecodeFragmentOfType(data, PduType::BindAck, PduType::AlterContextResp, fragment);
    if (status != RPC_S_OK) {
        return status;
    }
    if (type != nullptr) {
        *type = fragment.header.type;
    }
    ByteReader reader(fragment.body, IsBigEndian(fragment.header.drep));
    ack.callId = fragment.header.callId;
    ack.flags = fragment.header.flags;
    ack.maxXmitFrag = reader.U16();
    ack.maxRecvFrag = reader.U16();
    ack.assocGroupId = reader.U32();
    std::uint16_t addressLength = reader.U16();
    ByteView address = reader.Take(addressLength);
    ack.secondaryAddress.clear();
    for (std::uint8_t c : address) {
        if (c == 0) {
            break;
        }
        ack.secondaryAddress.push_back(static_cast<char>(c));
    }
    reader.AlignTo(4, kCommonHeaderSize);
    std::uint8_t count = reader.U8();
    reader.Skip(3);
    ack.results.clear();
    for (std::uint8_t i = 0; i < count && reader.Ok(); ++i) {
        ContextResult result;
        result.result = static_cast<ContextResultKind>(reader.U16());
        result.reason = static_cast<ProviderReason>(reader.U16());
        result.transferSyntax = reader.Syntax();
        ack.results.push_back(result);
    }
    return reader.Ok() ? RPC_S_OK : RPC_S_PROTOCOL_ERROR;
}

Bytes EncodeBindNak(const BindNakPdu& nak) {
    if (nak.versions.size() > kMaxListCount) {
        return {};
    }
    Bytes pdu;
    ByteWriter writer(pdu);
    WriteCommonHeader(writer, PduType::BindNak, kWholeCall, nak.callId);
    writer.U16(static_cast<std::uint16_t>(nak.reason));
    writer.U8(static_cast<std::uint8_t>(nak.versions.size()));
    for (const ProtocolVersion& version : nak.versions) {
        writer.U8(version.major);
        writer.U8(version.minor);
    }
    writer.PadTo(4);
    return FinishPdu(std::move(pdu));
}

RPC_STATUS DecodeBindNak(ByteView data, BindNakPdu& nak) {
    Fragment fragment;
    RPC_STATUS status = DecodeFragmentOfType(data, PduType::BindNak, PduType::BindNak, fragment);
    if (status != RPC_S_OK) {
        return status;
    }
    ByteReader reader(fragment.body, IsBigEndian(fragment.header.drep));
    nak.callId = fragment.header.callId;
    nak.reason = static_cast<RejectReason>(reader.U16());
    nak.versions.clear();
    if (!reader.Ok()) {
        return RPC_S_PROTOCOL_ERROR;
    }
    // Some senders stop after the reason; the version list is optional.
    if (reader.Remaining() == 0) {
        return RPC_S_OK;
    }
    std::uint8_t count = reader.U8();
    for (std::uint8_t i = 0; i < count && reader.Ok(); ++i) {
        ProtocolVersion version;
        version.major = reader.U8();
        version.minor = reader.U8();
        nak.versions.push_back(version);
    }
    return reader.Ok() ? RPC_S_OK : RPC_S_PROTOCOL_ERROR;
}

} // namespace rpc::pdu
