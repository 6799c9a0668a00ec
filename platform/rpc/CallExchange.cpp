#include "platform/rpc/CallExchange.h"

#include "platform/WinError.h"
#include "platform/rpc/FaultStatus.h"
#include "platform/rpc/PduFragments.h"
#include "platform/rpc/PduStream.h"

#include <new>

namespace rpc {
namespace {

// What RpcRaiseException throws; only RunDispatcher catches it.
struct RaisedStatus {
    RPC_STATUS status;
};

RPC_STATUS Send(Channel& channel, ByteView pdu) {
    if (pdu.empty() || channel.connection.Write(pdu) != IoResult::Ok) {
        channel.broken = true;
        return RPC_S_CALL_FAILED;
    }
    return RPC_S_OK;
}

// Collects the fragments of one body so that they go out in a single write.
pdu::FragmentSink Collect(Bytes& batch) {
    return [&batch](ByteView fragment) {
        batch.insert(batch.end(), fragment.begin(), fragment.end());
        return RPC_STATUS{RPC_S_OK};
    };
}

RPC_STATUS Broken(Channel& channel, RPC_STATUS status) {
    channel.broken = true;
    return status;
}

} // namespace

RPC_STATUS SendFault(Channel& channel, std::uint32_t callId, std::uint16_t contextId, RPC_STATUS status,
                     bool didNotExecute) {
    pdu::FaultPdu fault;
    fault.callId = callId;
    fault.contextId = contextId;
    fault.flags = pdu::kWholeCall | (didNotExecute ? pdu::PFC_DID_NOT_EXECUTE : 0);
    fault.status = pdu::FaultCodeFromStatus(status);
    return Send(channel, pdu::EncodeFault(fault));
}

RPC_STATUS RunDispatcher(const Dispatcher& dispatcher, std::uint32_t opnum, ByteView request, Bytes& reply) {
    try {
        return dispatcher(opnum, request, reply);
    } catch (const RaisedStatus& raised) {
        return raised.status;
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    } catch (...) {
        return RPC_S_INTERNAL_ERROR;
    }
}

void SendAnswer(Channel& channel, const pdu::RequestPdu& request, RPC_STATUS status, ByteView reply) {
    if (status != RPC_S_OK) {
        SendFault(channel, request.callId, request.contextId, status, false);
        return;
    }
    pdu::ResponsePdu response;
    response.callId = request.callId;
    response.contextId = request.contextId;
    Bytes batch;
    if (pdu::SendResponseFragments(response, reply, channel.maxXmitFrag, Collect(batch)) != RPC_S_OK) {
        SendFault(channel, request.callId, request.contextId, RPC_S_INTERNAL_ERROR, false);
        return;
    }
    Send(channel, batch);
}

RPC_STATUS CallOverChannel(Channel& channel, const pdu::RequestPdu& call, ByteView body, Bytes& reply,
                           const Dispatcher* callbacks, DWORD callbackCount) {
    Bytes batch;
    if (pdu::SendRequestFragments(call, body, channel.maxXmitFrag, Collect(batch)) != RPC_S_OK) {
        return RPC_S_INTERNAL_ERROR;
    }
    if (Send(channel, batch) != RPC_S_OK) {
        return RPC_S_CALL_FAILED;
    }
    pdu::Reassembler response(kMaxCallBodySize);
    pdu::Reassembler callback(kMaxCallBodySize);
    Bytes fragment;
    for (;;) {
        FragmentRead read = ReadFragment(channel.connection, channel.maxRecvFrag, -1, fragment);
        if (read != FragmentRead::Ok) {
            return Broken(channel,
                          read == FragmentRead::Malformed ? RPC_S_PROTOCOL_ERROR : RPC_S_CALL_FAILED);
        }
        pdu::CommonHeader header;
        pdu::DecodeCommonHeader(fragment, header);
        if (header.callId != call.callId &&
            (header.type == pdu::PduType::Response || header.type == pdu::PduType::Fault ||
             header.type == pdu::PduType::Request)) {
            return Broken(channel, RPC_S_PROTOCOL_ERROR);
        }
        switch (header.type) {
        case pdu::PduType::Response: {
            pdu::ResponsePdu part;
            if (pdu::DecodeResponse(fragment, part) != RPC_S_OK || response.Add(part) != RPC_S_OK) {
                return Broken(channel, RPC_S_PROTOCOL_ERROR);
            }
            if (response.Complete()) {
                reply = response.Take();
                return pdu::IsNativeRepresentation(part.drep) ? RPC_S_OK : RPC_X_BAD_STUB_DATA;
            }
            break;
        }
        case pdu::PduType::Fault: {
            pdu::FaultPdu fault;
            if (pdu::DecodeFault(fragment, fault) != RPC_S_OK) {
                return Broken(channel, RPC_S_PROTOCOL_ERROR);
            }
            return pdu::StatusFromFaultCode(fault.status);
        }
        case pdu::PduType::Request: {
            pdu::RequestPdu part;
            if (pdu::DecodeRequest(fragment, part) != RPC_S_OK || callback.Add(part) != RPC_S_OK) {
                return Broken(channel, RPC_S_PROTOCOL_ERROR);
            }
            if (callback.Complete()) {
                Bytes callbackBody = callback.Take();
                if (callbacks == nullptr || !*callbacks || part.opnum >= callbackCount) {
                    SendFault(channel, part.callId, part.contextId, RPC_S_PROCNUM_OUT_OF_RANGE, true);
                } else if (!pdu::IsNativeRepresentation(part.drep)) {
                    SendFault(channel, part.callId, part.contextId, RPC_X_BAD_STUB_DATA, true);
                } else {
                    Bytes answer;
                    RPC_STATUS status = RunDispatcher(*callbacks, part.opnum, callbackBody, answer);
                    SendAnswer(channel, part, status, answer);
                }
                if (channel.broken) {
                    return RPC_S_CALL_FAILED;
                }
            }
            break;
        }
        case pdu::PduType::Shutdown:
        case pdu::PduType::CoCancel:
        case pdu::PduType::Orphaned:
            break; // nothing to do while waiting for this call's reply
        default:
            return Broken(channel, RPC_S_PROTOCOL_ERROR);
        }
    }
}

} // namespace rpc

void RpcRaiseException(RPC_STATUS exception) {
    throw rpc::RaisedStatus{exception};
}
