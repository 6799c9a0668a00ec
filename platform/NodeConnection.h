#pragma once
// A call into one computer's ntnode, found through the lab's name directory: the families of
// the platform (registry, shares, files, event log, ...) open a connection, prove who this
// process is, and make their calls.
#include "platform/LabDirectory.h"
#include "platform/LabWire.h"
#include "platform/LogonProof.h"

namespace platform::lab {

class NodeConnection {
public:
    NodeConnection() = default;
    ~NodeConnection();
    NodeConnection(const NodeConnection&) = delete;
    NodeConnection& operator=(const NodeConnection&) = delete;

    // `computer` as FindComputer takes it. ERROR_BAD_NETPATH for a computer the lab does not
    // know; RPC statuses of the runtime otherwise.
    DWORD Open(std::u16string_view computer);
    // A computer whose address is known already (ntlab, which is handed its lab).
    DWORD OpenAt(const ComputerAddress& address);

    const ComputerAddress& Address() const { return m_address; }

    // Fetches a fresh challenge and answers it as this process (LabIdentity.h).
    RPC_STATUS Prove(logon::Proof& proof);

    template <class Request, class Reply>
    RPC_STATUS Call(const RPC_CLIENT_INTERFACE& clientInterface, std::uint32_t opnum, const Request& request,
                    Reply& reply) {
        return wire::CallProcedure(m_binding, &clientInterface, opnum, request, reply);
    }

private:
    ComputerAddress m_address;
    RPC_BINDING_HANDLE m_binding = nullptr;
};

// Opens `computer`, answers its challenge as this process into `request.proof` and makes the
// call. The status of the way there: 0 when the reply arrived (the procedure's own status is
// then in the reply), else what kept the call from reaching the computer or coming back.
template <class Request, class Reply>
DWORD CallAsThisProcess(std::u16string_view computer, const RPC_CLIENT_INTERFACE& clientInterface,
                        std::uint32_t opnum, Request& request, Reply& reply) {
    NodeConnection connection;
    DWORD status = connection.Open(computer);
    if (status == 0) {
        status = static_cast<DWORD>(connection.Prove(request.proof));
    }
    if (status == 0) {
        status = static_cast<DWORD>(connection.Call(clientInterface, opnum, request, reply));
    }
    return status;
}

// True for the statuses with which a call did not reach a computer or got no answer from it:
// the computer is, as far as the caller can tell, not there.
bool IsUnreachable(DWORD status);

// The client interface record of one of the lab's interfaces (no callbacks).
inline RPC_CLIENT_INTERFACE ClientInterface(const RPC_SYNTAX_IDENTIFIER& id) {
    return RPC_CLIENT_INTERFACE{id, NdrTransferSyntax, 0, {}};
}

} // namespace platform::lab
