#include "platform/rpc/PduHeader.h"

#include "platform/WinError.h"

namespace rpc::pdu {

RPC_STATUS DecodeCommonHeader(ByteView data, CommonHeader& header) {
    if (data.size() < kCommonHeaderSize) {
        return RPC_S_PROTOCOL_ERROR;
    }
    header.version = data[0];
    header.versionMinor = data[1];
    header.type = static_cast<PduType>(data[2]);
    header.flags = data[3];
    for (std::size_t i = 0; i < header.drep.size(); ++i) {
        header.drep[i] = data[4 + i];
    }
    ByteReader reader(data.subspan(8, 8), IsBigEndian(header.drep));
    header.fragLength = reader.U16();
    header.authLength = reader.U16();
    header.callId = reader.U32();

    bool knownRepresentation =
        (header.drep[0] >> 4) <= 1 && (header.drep[0] & 0x0F) <= 1 && header.drep[1] <= 3;
    if (header.version != kRpcVersion || header.versionMinor > 1 || !knownRepresentation ||
        header.fragLength < kCommonHeaderSize) {
        return RPC_S_PROTOCOL_ERROR;
    }
    return RPC_S_OK;
}

RPC_STATUS DecodeFragment(ByteView data, Fragment& fragment) {
    RPC_STATUS status = DecodeCommonHeader(data, fragment.header);
    if (status != RPC_S_OK) {
        return status;
    }
    const CommonHeader& header = fragment.header;
    if (header.fragLength > data.size()) {
        return RPC_S_PROTOCOL_ERROR;
    }
    ByteView whole = data.first(header.fragLength);
    std::size_t bodyEnd = whole.size();
    fragment.auth.reset();
    if (header.authLength > 0) {
        std::size_t trailerSize = kAuthTrailerSize + header.authLength;
        if (trailerSize > whole.size() - kCommonHeaderSize) {
            return RPC_S_PROTOCOL_ERROR;
        }
        std::size_t trailerStart = whole.size() - trailerSize;
        ByteReader reader(whole.subspan(trailerStart), IsBigEndian(header.drep));
        AuthTrailer auth;
        auth.authType = reader.U8();
        auth.authLevel = reader.U8();
        auth.padLength = reader.U8();
        reader.Skip(1);
        auth.contextId = reader.U32();
        auth.credentials = reader.Take(header.authLength);
        if (!reader.Ok() || auth.padLength > trailerStart - kCommonHeaderSize) {
            return RPC_S_PROTOCOL_ERROR;
        }
        bodyEnd = trailerStart - auth.padLength;
        fragment.auth = auth;
    }
    fragment.body = whole.subspan(kCommonHeaderSize, bodyEnd - kCommonHeaderSize);
    return RPC_S_OK;
}

RPC_STATUS DecodeFragmentOfType(ByteView data, PduType type, PduType other, Fragment& fragment) {
    RPC_STATUS status = DecodeFragment(data, fragment);
    if (status != RPC_S_OK) {
        return status;
    }
    if (fragment.header.type != type && fragment.header.type != other) {
        return RPC_S_PROTOCOL_ERROR;
    }
    return RPC_S_OK;
}

void WriteCommonHeader(ByteWriter& writer, PduType type, std::uint8_t flags, std::uint32_t callId) {
    writer.U8(kRpcVersion);
    writer.U8(kRpcVersionMinor);
    writer.U8(static_cast<std::uint8_t>(type));
    writer.U8(flags);
    writer.Append(kNdrLittleEndian);
    writer.U16(0); // frag_length, set by FinishPdu
    writer.U16(0); // auth_length: this runtime sends no authentication trailers
    writer.U32(callId);
}

Bytes FinishPdu(Bytes pdu) {
    if (pdu.size() > kMaxPduSize) {
        return {};
    }
    ByteWriter(pdu).PatchU16(8, static_cast<std::uint16_t>(pdu.size()));
    return pdu;
}

} // namespace rpc::pdu
