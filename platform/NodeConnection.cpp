#include "platform/NodeConnection.h"

#include "platform/LabIdentity.h"
#include "platform/LogonProtocol.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/rpc/Rpc.h"

namespace platform::lab {

NodeConnection::~NodeConnection() {
    if (m_binding != nullptr) {
        RpcBindingFree(&m_binding);
    }
}

DWORD NodeConnection::Open(std::u16string_view computer) {
    ComputerAddress address;
    DWORD status = FindComputer(computer, address);
    return status == ERROR_SUCCESS ? OpenAt(address) : status;
}

DWORD NodeConnection::OpenAt(const ComputerAddress& address) {
    if (m_binding != nullptr) {
        RpcBindingFree(&m_binding);
    }
    m_address = address;
    std::u16string protseq = u"ncacn_ip_tcp";
    std::u16string host = ToUtf16(m_address.host);
    std::u16string port = ToUtf16(std::to_string(m_address.port));
    RPC_WSTR text = nullptr;
    RPC_STATUS composed =
        RpcStringBindingComposeW(nullptr, protseq.data(), host.data(), port.data(), nullptr, &text);
    if (composed != RPC_S_OK) {
        return static_cast<DWORD>(composed);
    }
    RPC_STATUS bound = RpcBindingFromStringBindingW(text, &m_binding);
    RpcStringFreeW(&text);
    return static_cast<DWORD>(bound);
}

RPC_STATUS NodeConnection::Prove(logon::Proof& proof) {
    static const RPC_CLIENT_INTERFACE kLogon = ClientInterface(logon::kLogonInterfaceId);
    logon::ChallengeReply reply;
    RPC_STATUS status = Call(kLogon, logon::kGetChallenge, wire::NoFields{}, reply);
    if (status == RPC_S_OK && reply.status != ERROR_SUCCESS) {
        status = static_cast<RPC_STATUS>(reply.status);
    }
    if (status == RPC_S_OK) {
        proof = logon::MakeProof(m_address, reply.challenge);
    }
    return status;
}

bool IsUnreachable(DWORD status) {
    switch (status) {
    case ERROR_BAD_NETPATH:
    case RPC_S_SERVER_UNAVAILABLE:
    case RPC_S_CALL_FAILED:
    case RPC_S_CALL_FAILED_DNE:
    case RPC_S_COMM_FAILURE:
    case RPC_S_UNKNOWN_IF:
        return true;
    default:
        return false;
    }
}

} // namespace platform::lab
