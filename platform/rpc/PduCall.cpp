#include "platform/rpc/PduCall.h"

#include "platform/WinError.h"

namespace rpc::pdu {
Bytes EncodeRequest(const RequestPdu& request) {
    Bytes pdu;
    pdu.reserve(kRequestHeaderSize + 16 + request.stub.size());
    ByteWriter writer(pdu);
    std::uint8_t flags = request.flags & static_cast<std::uint8_t>(~PFC_OBJECT_UUID);
    if (request.objectUuid) {
        flags |= PFC_OBJECT_UUID;
    }
    WriteCommonHeader(writer, PduType::Request, flags, request.callId);
    writer.U32(request.allocHint);
    writer.U16(request.contextId);
    writer.U16(request.opnum);
    if (request.objectUuid) {
        writer.Uuid(*request.objectUuid);
    }
    writer.Append(request.stub);
    return FinishPdu(std::move(pdu));
}

RPC_STATUS DecodeRequest(ByteView data, RequestPdu& request) {
    Fragment fragment;
    RPC_STATUS status = DecodeFragmentOfType(data, PduType::Request, PduType::Request, fragment);
    if (status != RPC_S_OK) {
        return status;
    }
    ByteReader reader(fragment.body, IsBigEndian(fragment.header.drep));
    request.callId = fragment.header.callId;
    request.flags = fragment.header.flags;
    request.drep = fragment.header.drep;
    request.allocHint = reader.U32();
    request.contextId = reader.U16();
    request.opnum = reader.U16();
    request.objectUuid.reset();
    if (request.flags & PFC_OBJECT_UUID) {
        request.objectUuid = reader.Uuid();
    }
    request.stub = reader.Take(reader.Remaining());
    return reader.Ok() ? RPC_S_OK : RPC_S_PROTOCOL_ERROR;
}

Bytes EncodeResponse(const ResponsePdu& response) {
    Bytes pdu;
    pdu.reserve(kResponseHeaderSize + response.stub.size());
    ByteWriter writer(pdu);
    WriteCommonHeader(writer, PduType::Response, response.flags, response.callId);
    writer.U32(response.allocHint);
    writer.U16(response.contextId);
    writer.U8(response.cancelCount);
    writer.U8(0);
    writer.Append(response.stub);
    return FinishPdu(std::move(pdu));
}

RPC_STATUS DecodeResponse(ByteView data, ResponsePdu& response) {
    Fragment fragment;
    RPC_STATUS status = DecodeFragmentOfType(data, PduType::Response, PduType::Response, fragment);
    if (status != RPC_S_OK) {
        return status;
    }
    ByteReader reader(fragment.body, IsBigEndian(fragment.header.drep));
    response.callId = fragment.header.callId;
    response.flags = fragment.header.flags;
    response.drep = fragment.header.drep;
    response.allocHint = reader.U32();
    response.contextId = reader.U16();
    response.cancelCount = reader.U8();
    reader.Skip(1);
    response.stub = reader.Take(reader.Remaining());
    return reader.Ok() ? RPC_S_OK : RPC_S_PROTOCOL_ERROR;
}

Bytes EncodeFault(const FaultPdu& fault) {
    Bytes pdu;
    ByteWriter writer(pdu);
    WriteCommonHeader(writer, PduType::Fault, fault.flags, fault.callId);
    writer.U32(fault.allocHint);
    writer.U16(fault.contextId);
    writer.U8(fault.cancelCount);
    writer.U8(0);
    writer.U32(fault.status);
    writer.U32(0); // reserved
    return FinishPdu(std::move(pdu));
}

RPC_STATUS DecodeFault(ByteView data, FaultPdu& fault) {
    Fragment fragment;
    RPC_STATUS status = DecodeFragmentOfType(data, PduType::Fault, PduType::Fault, fragment);
    if (status != RPC_S_OK) {
        return status;
    }
    ByteReader reader(fragment.body, IsBigEndian(fragment.header.drep));
    fault.callId = fragment.header.callId;
    fault.flags = fragment.header.flags;
    fault.allocHint = reader.U32();
    fault.contextId = reader.U16();
    fault.cancelCount = reader.U8();
    reader.Skip(1);
    fault.status = reader.U32();
    // The reserved word and any stub data after it are not needed.
    return reader.Ok() ? RPC_S_OK : RPC_S_PROTOCOL_ERROR;
}

} // namespace rpc::pdu
