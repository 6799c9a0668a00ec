// One association as the server sees it: bind / alter_context negotiation, then requests,
// reassembled and dispatched to the bound interface, until the client closes the connection,
// breaks the protocol or the server stops listening.
#include "platform/WinError.h"
#include "platform/rpc/FaultStatus.h"
#include "platform/rpc/PduBind.h"
#include "platform/rpc/PduFragments.h"
#include "platform/rpc/PduStream.h"
#include "platform/rpc/ServerCall.h"
#include "platform/rpc/ServerRuntime.h"

#include <algorithm>
#include <map>

namespace rpc {
namespace {

class ServerAssociation {
public:
    ServerAssociation(ServerRuntime& server, Connection& connection, const std::string& secondaryAddress)
        : m_server(server), m_connection(connection),
          m_secondaryAddress(secondaryAddress), m_channel{connection, kMaxFragmentSize, kMaxFragmentSize,
                                                          server.StopFd()} {}

    void Serve() {
        Bytes fragment;
        while (!m_channel.broken) {
            FragmentRead read =
                ReadFragment(m_connection, m_channel.maxRecvFrag, m_channel.interruptFd, fragment);
            if (read == FragmentRead::Malformed) {
                RefuseMalformed(fragment);
                return;
            }
            if (read != FragmentRead::Ok) {
                return;
            }
            pdu::CommonHeader header;
            pdu::DecodeCommonHeader(fragment, header);
            switch (header.type) {
            case pdu::PduType::Bind:
            case pdu::PduType::AlterContext:
                Negotiate(fragment, header);
                break;
            case pdu::PduType::Request:
                Receive(fragment, header);
                break;
            case pdu::PduType::Orphaned:
                m_request.Reset(); // the client gave up the call it was sending
                break;
            case pdu::PduType::CoCancel:
            case pdu::PduType::Auth3:
                break; // calls run to their end; no authentication is negotiated in PDUs
            default:
                return; // nothing else may come from a client
            }
        }
    }

private:
    // A fragment whose header is refused: a bind of another protocol version is answered with
    // the version this server speaks; anything else cannot be answered in a stream that has
    // lost its framing, so the connection is closed.
    void RefuseMalformed(const Bytes& fragment) {
        pdu::CommonHeader header;
        pdu::DecodeCommonHeader(fragment, header);
        if (fragment.size() >= pdu::kCommonHeaderSize && header.type == pdu::PduType::Bind &&
            header.version != pdu::kRpcVersion) {
            Nak(header.callId, pdu::RejectReason::ProtocolVersionNotSupported);
        }
    }

    void Nak(std::uint32_t callId, pdu::RejectReason reason) {
        pdu::BindNakPdu nak{callId, reason, {pdu::ProtocolVersion{}}};
        m_connection.Write(pdu::EncodeBindNak(nak));
        m_channel.broken = true;
    }

    void Negotiate(const Bytes& fragment, const pdu::CommonHeader& header) {
        bool isBind = header.type == pdu::PduType::Bind;
        pdu::BindPdu bind;
        if (pdu::DecodeBind(fragment, bind) != RPC_S_OK || isBind == m_bound) {
            // Undecodable, a second bind, or an alter_context before any bind.
            Nak(header.callId, pdu::RejectReason::NotSpecified);
            return;
        }
        if (bind.authenticated) {
            Nak(header.callId, pdu::RejectReason::AuthenticationTypeNotRecognized);
            return;
        }
        pdu::BindAckPdu ack;
        ack.callId = bind.callId;
        if (isBind) {
            std::size_t xmit = std::min<std::size_t>(bind.maxRecvFrag, kMaxFragmentSize);
            std::size_t recv = std::min<std::size_t>(bind.maxXmitFrag, kMaxFragmentSize);
            if (xmit < kMinFragmentSize || recv < kMinFragmentSize) {
                Nak(header.callId, pdu::RejectReason::LocalLimitExceeded);
                return;
            }
            m_channel.maxXmitFrag = xmit;
            m_channel.maxRecvFrag = recv;
            m_assocGroupId = bind.assocGroupId != 0 ? bind.assocGroupId : m_server.NewAssociationGroup();
            ack.secondaryAddress = m_secondaryAddress;
        }
        ack.maxXmitFrag = static_cast<std::uint16_t>(m_channel.maxXmitFrag);
        ack.maxRecvFrag = static_cast<std::uint16_t>(m_channel.maxRecvFrag);
        ack.assocGroupId = m_assocGroupId;
        for (const pdu::PresentationContext& context : bind.contexts) {
            ack.results.push_back(Accept(context));
        }
        Bytes encoded =
            pdu::EncodeBindAck(ack, isBind ? pdu::PduType::BindAck : pdu::PduType::AlterContextResp);
        if (encoded.empty() || m_connection.Write(encoded) != IoResult::Ok) {
            m_channel.broken = true;
            return;
        }
        m_bound = true;
    }

    pdu::ContextResult Accept(const pdu::PresentationContext& context) {
        pdu::ContextResult result;
        RPC_SERVER_INTERFACE found;
        if (!m_server.FindInterface(context.abstractSyntax, found)) {
            result.result = pdu::ContextResultKind::ProviderRejection;
            result.reason = pdu::ProviderReason::AbstractSyntaxNotSupported;
            return result;
        }
        if (std::find(context.transferSyntaxes.begin(), context.transferSyntaxes.end(), NdrTransferSyntax) ==
            context.transferSyntaxes.end()) {
            result.result = pdu::ContextResultKind::ProviderRejection;
            result.reason = pdu::ProviderReason::ProposedTransferSyntaxesNotSupported;
            return result;
        }
        m_contexts[context.contextId] = context.abstractSyntax;
        result.transferSyntax = NdrTransferSyntax;
        return result;
    }

    void Receive(const Bytes& fragment, const pdu::CommonHeader& header) {
        if (!m_bound) {
            SendFault(m_channel, header.callId, 0, RPC_S_PROTOCOL_ERROR, true);
            m_channel.broken = true;
            return;
        }
        pdu::RequestPdu request;
        if (pdu::DecodeRequest(fragment, request) != RPC_S_OK || m_request.Add(request) != RPC_S_OK) {
            SendFault(m_channel, header.callId, request.contextId, RPC_S_PROTOCOL_ERROR, true);
            m_channel.broken = true;
            return;
        }
        if (m_request.Complete()) {
            Bytes body = m_request.Take();
            Dispatch(request, body);
        }
    }

    // `request` is the last fragment of the call; its header fields are those of the whole call.
    void Dispatch(const pdu::RequestPdu& request, ByteView body) {
        auto context = m_contexts.find(request.contextId);
        RPC_SERVER_INTERFACE serverInterface;
        if (context == m_contexts.end() || !m_server.FindInterface(context->second, serverInterface)) {
            SendFault(m_channel, request.callId, request.contextId, RPC_S_UNKNOWN_IF, true);
            return;
        }
        if (!pdu::IsNativeRepresentation(request.drep)) {
            // Stub data is handed to the stubs as little-endian NDR; another representation
            // would be misread, so the call is refused instead.
            SendFault(m_channel, request.callId, request.contextId, RPC_X_BAD_STUB_DATA, true);
            return;
        }
        if (request.opnum >= serverInterface.ProcedureCount || !serverInterface.Dispatch) {
            SendFault(m_channel, request.callId, request.contextId, RPC_S_PROCNUM_OUT_OF_RANGE, true);
            return;
        }
        if (!m_server.BeginCall()) {
            SendFault(m_channel, request.callId, request.contextId, RPC_S_SERVER_TOO_BUSY, true);
            return;
        }
        // A call in progress is not interrupted by a stop: its callbacks wait for their replies.
        Channel callChannel{m_connection, m_channel.maxXmitFrag, m_channel.maxRecvFrag, -1};
        ServerCall call{callChannel, request.callId, request.contextId, m_connection.Client()};
        Bytes reply;
        RPC_STATUS status = RPC_S_OK;
        {
            ServerCallScope scope(call);
            status = RunDispatcher(serverInterface.Dispatch, request.opnum, body, reply);
        }
        // The routine is done: its slot is free before the reply goes out, so that a caller who
        // has its reply can call again at once.
        m_server.EndCall();
        SendAnswer(callChannel, request, status, reply);
        m_channel.broken = callChannel.broken;
    }

    ServerRuntime& m_server;
    Connection& m_connection;
    const std::string& m_secondaryAddress;
    Channel m_channel;
    bool m_bound = false;
    std::uint32_t m_assocGroupId = 0;
    std::map<std::uint16_t, RPC_SYNTAX_IDENTIFIER> m_contexts;
    pdu::Reassembler m_request{kMaxCallBodySize};
};

} // namespace

void ServeConnection(ServerRuntime& server, Connection& connection, const std::string& secondaryAddress) {
    ServerAssociation(server, connection, secondaryAddress).Serve();
}

} // namespace rpc
