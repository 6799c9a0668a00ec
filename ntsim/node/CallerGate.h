#pragma once
// The way into every procedure of a computer that needs a caller: the request is decoded, its
// first field (the caller's logon proof) is checked by the logon authority, a one-time failure
// planned for the operation is taken, the caller's rights are checked, and only then does the
// procedure run. Any refusal becomes the status of the reply.
#include "ntsim/node/Node.h"
#include "platform/LabWire.h"

namespace ntsim::node {

enum class Access {
    Anyone,        // anonymous callers too (the procedure decides)
    SignedIn,      // any account, and the computer's SYSTEM
    Administrator, // administrators of the computer, and its SYSTEM
};

// `operation` names the failure plan (the Win32 name the caller used: "CopyFileW", ...).
template <class Request, class Reply, class Serve>
RPC_STATUS ServeForCaller(Node& node, rpc::ByteView request, rpc::Bytes& reply, const char* operation, Access access,
                          Serve&& serve) {
    return platform::wire::ServeCall<Request, Reply>(request, reply, [&](const Request& call) {
        Caller caller;
        DWORD status = node.Logon().Authenticate(call.proof, caller);
        if (status == ERROR_SUCCESS && access == Access::SignedIn) {
            status = RequireSignedIn(caller);
        } else if (status == ERROR_SUCCESS && access == Access::Administrator) {
            status = RequireAdministrator(caller);
        }
        if (status == ERROR_SUCCESS) {
            status = node.Faults().Take(operation).value_or(ERROR_SUCCESS);
        }
        if (status != ERROR_SUCCESS) {
            Reply refused{};
            refused.status = status;
            return refused;
        }
        return serve(call, caller);
    });
}

} // namespace ntsim::node
