#include "agent/endpoint/RpcServer.h"

#include "agent/endpoint/NodeKey.h"
#include "agent/endpoint/ProcedureRouting.h"
#include "platform/LastError.h"
#include "platform/Service.h"
#include "platform/WinError.h"
#include "platform/rpc/Rpc.h"

#include <atomic>

namespace agent {
namespace {

// Set by StopServer until the run it stopped has ended. It covers a stop that comes before
// the server listens, when the run time itself has nothing to stop yet (a Ctrl+C during the
// start-up, or a stop control the service manager sends early).
std::atomic<bool> gStopRequested{false};

RPC_IF_HANDLE InterfaceHandle() {
    return &AgentServerInterface();
}

// Step 2: every protocol sequence, each announced by a report. `registered` tells whether any
// of them could be registered; the result is the last failure, or 0.
bool UseProtocolSequences(ServerStartupHost& host, bool& registered, RPC_STATUS& lastFailure) {
    registered = false;
    lastFailure = RPC_S_OK;
    for (const WCHAR* protseq : kProtocolSequences) {
        if (!host.ReportStatus(SERVICE_START_PENDING, NO_ERROR, kStartPendingWaitHintMs)) {
            return false;
        }
        RPC_STATUS status =
            RpcServerUseProtseqW(const_cast<RPC_WSTR>(protseq), kCallsPerProtocolSequence, nullptr);
        if (status == RPC_S_OK) {
            registered = true;
        } else {
            lastFailure = status;
        }
    }
    return true;
}

// Steps 4 to 9, up to the end of listening; `bindings` holds the vector to unregister.
RPC_STATUS RegisterAndListen(ServerStartupHost& host, RPC_BINDING_VECTOR*& bindings) {
    if (!host.ReportStatus(SERVICE_START_PENDING, NO_ERROR, kStartPendingWaitHintMs)) {
        return GetLastError();
    }
    RPC_STATUS status = RpcServerInqBindings(&bindings);
    if (status != RPC_S_OK) {
        return status;
    }
    if ((status = RpcEpRegisterW(InterfaceHandle(), bindings, nullptr, nullptr)) != RPC_S_OK) {
        return status;
    }
    if (!host.ReportStatus(SERVICE_START_PENDING, NO_ERROR, kStartPendingWaitHintMs)) {
        return GetLastError();
    }
    if ((status = RpcServerRegisterAuthInfoW(nullptr, RPC_C_AUTHN_WINNT, nullptr, nullptr)) != RPC_S_OK) {
        return status;
    }
    if (!host.ReportStatus(SERVICE_START_PENDING, NO_ERROR, kStartPendingWaitHintMs)) {
        return GetLastError();
    }
    if ((status = RpcServerRegisterIf(InterfaceHandle(), nullptr, nullptr)) != RPC_S_OK) {
        return status;
    }
    if (!host.ReportStatus(SERVICE_START_PENDING, NO_ERROR, kStartPendingWaitHintMs)) {
        return GetLastError();
    }
    if ((status = RpcServerListen(kMinimumCallThreads, kMaximumConcurrentCalls, TRUE)) != RPC_S_OK) {
        return status;
    }
    host.ReportStatus(SERVICE_RUNNING, NO_ERROR, 0);
    if (gStopRequested.load()) {
        RpcMgmtStopServerListening(nullptr); // the stop came before there was anything to stop
    }
    RpcMgmtWaitServerListen();
    return RPC_S_OK;
}

} // namespace

RPC_STATUS RunServer(DWORD argc, const WCHAR* const* argv, ServerStartupHost& host) {
    if (argc > 1) {
        SetNodeKey(ParseNodeKey(argc, argv));
    }
    bool registered = false;
    RPC_STATUS lastFailure = RPC_S_OK;
    if (!UseProtocolSequences(host, registered, lastFailure)) {
        return GetLastError();
    }
    if (!registered) {
        SetLastError(static_cast<DWORD>(lastFailure)); // the event and the exit code carry why
        host.AddToMessageLog(u"RpcServerUseProtseq() failed\n");
        return lastFailure;
    }
    RPC_BINDING_VECTOR* bindings = nullptr;
    RPC_STATUS status = RegisterAndListen(host, bindings);
    if (status == RPC_S_OK) {
        RpcEpUnregister(InterfaceHandle(), bindings, nullptr);
    }
    if (bindings != nullptr) {
        RpcBindingVectorFree(&bindings);
    }
    gStopRequested.store(false);
    return status;
}

void StopServer() {
    gStopRequested.store(true);
    RpcMgmtStopServerListening(nullptr);
}

} // namespace agent
