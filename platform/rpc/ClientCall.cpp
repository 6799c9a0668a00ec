// NdrClientCall: a call on a client binding. The binding connects and binds on first use
// (presentation context negotiation, alter_context for a further interface), resolves a missing
// endpoint through the server computer's endpoint map, and reconnects after a broken connection.
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/rpc/BindingHandle.h"
#include "platform/rpc/EndpointMapClient.h"
#include "platform/rpc/FaultStatus.h"
#include "platform/rpc/PduBind.h"
#include "platform/rpc/PduStream.h"
#include "platform/rpc/Uuid.h"

#include <algorithm>
#include <new>

namespace rpc {
namespace {

// Bindings this thread is making a call on (a callback may call out again, but not on the
// binding whose call it serves).
thread_local std::vector<const BindingHandle*> tBindingsInCall;

class InCallMark {
public:
    explicit InCallMark(const BindingHandle& binding) { tBindingsInCall.push_back(&binding); }
    ~InCallMark() { tBindingsInCall.pop_back(); }
    InCallMark(const InCallMark&) = delete;
    InCallMark& operator=(const InCallMark&) = delete;
};

RPC_STATUS StatusOfRejection(const pdu::ContextResult& result) {
    switch (result.reason) {
    case pdu::ProviderReason::AbstractSyntaxNotSupported:
        return RPC_S_UNKNOWN_IF;
    case pdu::ProviderReason::ProposedTransferSyntaxesNotSupported:
        return RPC_S_UNSUPPORTED_TRANS_SYN;
    case pdu::ProviderReason::LocalLimitExceeded:
        return RPC_S_SERVER_TOO_BUSY;
    default:
        return RPC_S_CALL_FAILED_DNE;
    }
}

RPC_STATUS StatusOfNak(pdu::RejectReason reason) {
    switch (reason) {
    case pdu::RejectReason::TemporaryCongestion:
    case pdu::RejectReason::LocalLimitExceeded:
        return RPC_S_SERVER_TOO_BUSY;
    case pdu::RejectReason::ProtocolVersionNotSupported:
        return RPC_S_PROTOCOL_ERROR;
    case pdu::RejectReason::AuthenticationTypeNotRecognized:
        return RPC_S_UNKNOWN_AUTHN_SERVICE;
    default:
        return RPC_S_CALL_FAILED_DNE;
    }
}

RPC_STATUS Connect(BindingHandle& binding, const RPC_SYNTAX_IDENTIFIER& interfaceId) {
    std::shared_ptr<Transport> transport;
    RPC_STATUS status = FindTransport(binding.parts.protseq, transport);
    if (status != RPC_S_OK) {
        return status;
    }
    std::u16string endpoint = binding.parts.endpoint;
    bool resolved = endpoint.empty();
    if (resolved) {
        if (binding.resolvedEndpoint.empty()) {
            status = LookupEndpoint(binding.parts.networkAddress, interfaceId, binding.parts.protseq,
                                    binding.resolvedEndpoint);
            if (status != RPC_S_OK) {
                return status;
            }
        }
        endpoint = binding.resolvedEndpoint;
    }
    std::unique_ptr<Connection> connection;
    status = transport->Connect(binding.parts.networkAddress, endpoint, binding.credentials, connection);
    if (status != RPC_S_OK) {
        if (resolved) {
            binding.resolvedEndpoint.clear(); // the server may be back on another endpoint next time
        }
        return status;
    }
    binding.association = std::make_unique<ClientAssociation>(std::move(connection));
    return RPC_S_OK;
}

// Binds `interfaceId` on the binding's association (bind on a new connection, alter_context on
// one already bound) and gives its context id.
RPC_STATUS BindContext(BindingHandle& binding, const RPC_SYNTAX_IDENTIFIER& interfaceId,
                       std::uint16_t& contextId) {
    ClientAssociation& association = *binding.association;
    for (const auto& [syntax, id] : association.contexts) {
        if (syntax == interfaceId) {
            contextId = id;
            return RPC_S_OK;
        }
    }
    bool first = !association.bound;
    pdu::BindPdu bind;
    bind.callId = binding.nextCallId++;
    bind.maxXmitFrag = kMaxFragmentSize;
    bind.maxRecvFrag = kMaxFragmentSize;
    bind.assocGroupId = association.assocGroupId;
    auto newId = static_cast<std::uint16_t>(association.contexts.size());
    bind.contexts.push_back({newId, interfaceId, {NdrTransferSyntax}});
    Channel& channel = association.channel;
    Bytes pdu = pdu::EncodeBind(bind, first ? pdu::PduType::Bind : pdu::PduType::AlterContext);
    if (channel.connection.Write(pdu) != IoResult::Ok) {
        channel.broken = true;
        return RPC_S_CALL_FAILED_DNE;
    }
    Bytes reply;
    FragmentRead read = ReadFragment(channel.connection, kMaxFragmentSize, -1, reply);
    if (read != FragmentRead::Ok) {
        channel.broken = true;
        return read == FragmentRead::Malformed ? RPC_S_PROTOCOL_ERROR : RPC_S_CALL_FAILED_DNE;
    }
    pdu::CommonHeader header;
    pdu::DecodeCommonHeader(reply, header);
    if (header.type == pdu::PduType::BindNak) {
        pdu::BindNakPdu nak;
        channel.broken = true; // the server closes the association after refusing it
        return pdu::DecodeBindNak(reply, nak) == RPC_S_OK ? StatusOfNak(nak.reason) : RPC_S_PROTOCOL_ERROR;
    }
    if (header.type == pdu::PduType::Fault) {
        pdu::FaultPdu fault;
        channel.broken = true;
        return pdu::DecodeFault(reply, fault) == RPC_S_OK ? pdu::StatusFromFaultCode(fault.status)
                                                          : RPC_S_PROTOCOL_ERROR;
    }
    pdu::BindAckPdu ack;
    if (pdu::DecodeBindAck(reply, ack) != RPC_S_OK || ack.callId != bind.callId || ack.results.size() != 1 ||
        (first && (ack.maxRecvFrag < kMinFragmentSize || ack.maxXmitFrag < kMinFragmentSize))) {
        channel.broken = true;
        return RPC_S_PROTOCOL_ERROR;
    }
    if (first) {
        channel.maxXmitFrag = std::min<std::size_t>(ack.maxRecvFrag, kMaxFragmentSize);
        channel.maxRecvFrag = kMaxFragmentSize;
        association.assocGroupId = ack.assocGroupId;
        association.bound = true;
    }
    const pdu::ContextResult& result = ack.results[0];
    if (result.result != pdu::ContextResultKind::Acceptance) {
        return StatusOfRejection(result);
    }
    association.contexts.emplace_back(interfaceId, newId);
    contextId = newId;
    return RPC_S_OK;
}

RPC_STATUS Call(BindingHandle& binding, const RPC_CLIENT_INTERFACE& clientInterface, std::uint32_t opnum,
                ByteView request, Bytes& reply) {
    if (binding.association &&
        (binding.association->channel.broken || !binding.association->connection->IsOpen())) {
        binding.association.reset();
    }
    if (!binding.association) {
        RPC_STATUS status = Connect(binding, clientInterface.InterfaceId);
        if (status != RPC_S_OK) {
            return status;
        }
    }
    std::uint16_t contextId = 0;
    RPC_STATUS status = BindContext(binding, clientInterface.InterfaceId, contextId);
    if (status == RPC_S_OK) {
        pdu::RequestPdu call;
        call.callId = binding.nextCallId++;
        call.contextId = contextId;
        call.opnum = static_cast<std::uint16_t>(opnum);
        if (!binding.parts.objectUuid.empty()) {
            call.objectUuid = ParseUuid(platform::Utf16ToUtf8(binding.parts.objectUuid).value_or(""));
        }
        status = CallOverChannel(binding.association->channel, call, request, reply,
                                 &clientInterface.Callbacks, clientInterface.CallbackCount);
    }
    if (binding.association->channel.broken) {
        binding.association.reset();
    }
    return status;
}

} // namespace
} // namespace rpc

RPC_STATUS NdrClientCall(RPC_BINDING_HANDLE binding, const RPC_CLIENT_INTERFACE* clientInterface,
                         std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
    rpc::BindingHandle* handle = rpc::ToBinding(binding);
    if (handle == nullptr || handle->isServer) {
        return RPC_S_INVALID_BINDING;
    }
    if (clientInterface == nullptr) {
        return RPC_S_UNKNOWN_IF;
    }
    if (opnum > 0xFFFF) {
        return RPC_S_PROCNUM_OUT_OF_RANGE;
    }
    if (std::find(rpc::tBindingsInCall.begin(), rpc::tBindingsInCall.end(), handle) !=
        rpc::tBindingsInCall.end()) {
        return RPC_S_CALL_IN_PROGRESS;
    }
    try {
        rpc::InCallMark mark(*handle);
        std::lock_guard lock(handle->callMutex);
        reply.clear();
        return rpc::Call(*handle, *clientInterface, opnum, request, reply);
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    }
}
