#pragma once
// The console's side of the NodeAgent interface: one stub per procedure, called on the binding
// of a node's agent, and the routines that serve the agent's callbacks meanwhile.
//
// Every stub blocks until the agent's reply arrives and returns the procedure's status. A
// communication failure, a fault raised by the agent or a reply that does not decode is
// returned as that status instead (RPC_S_SERVER_UNAVAILABLE, RPC_X_BAD_STUB_DATA, ...); the
// out buffers and out integers are written only when the reply decoded. An out text buffer
// comes back whole: as many characters as its size, NUL-terminated. In/out integers get the
// agent's value.
#include "agent/include/NodeAgent.h"
#include "agent/include/NodeAgentBufferSizes.h"
#include "platform/WinTypes.h"
#include "platform/rpc/RpcInterface.h"

namespace nodeagent {

RPC_STATUS Ping(handle_t binding);
RPC_STATUS CheckAccess(handle_t binding);
RPC_STATUS GetMachineModel(handle_t binding, LONG selector, WCHAR* model, LONG sizeA);
RPC_STATUS GetOsVersion(handle_t binding, WCHAR* version, LONG sizeA);
RPC_STATUS GetClusterInfo(handle_t binding, const WCHAR* nodeName, LONG* failure, LONG* nodeState,
                          WCHAR* clusterName, LONG sizeA, WCHAR* version, LONG sizeB);
RPC_STATUS GetNicSlots(handle_t binding, const WCHAR* unused, LONG* nextAdapter, WCHAR* adapterList,
                       LONG sizeA, LONG* separatorCount, WCHAR* otherDevices, LONG sizeB);
RPC_STATUS CheckDomain(handle_t binding, const WCHAR* otherNode, WCHAR* domain, LONG sizeA,
                       WCHAR* otherDomain, LONG sizeB);
RPC_STATUS GetIpConfig(handle_t binding, const WCHAR* unused, WCHAR* configuration, LONG sizeA, LONG* length);
RPC_STATUS RunCommand(handle_t binding, const WCHAR* commandLine, LONG sizeA, WCHAR* output, LONG sizeB,
                      LONG* length);
RPC_STATUS TestStorage(handle_t binding, const WCHAR* otherNode, LONG configuration, WCHAR* record,
                       LONG sizeA);
RPC_STATUS GetControllerSlots(handle_t binding, LONG configuration, LONG* controllerCount, WCHAR* record,
                              LONG sizeA);
RPC_STATUS GetDriverRevision(handle_t binding, LONG configuration, LONG controllerCount, LONG* firstPort,
                             WCHAR* record, LONG sizeA);
RPC_STATUS TestSharedDrives(handle_t binding, const WCHAR* otherNode, WCHAR* summary, LONG sizeA,
                            WCHAR* drives, LONG sizeB, WCHAR* reserveRelease, LONG sizeC);
RPC_STATUS DetectStorageBox(handle_t binding, LONG configuration, LONG port, WCHAR* record, LONG sizeA);

// What the console does when an agent calls back during one of the calls above. Runs on the
// thread that made the call.
class CallbackRoutines {
public:
    virtual ~CallbackRoutines() = default;
    // Stores a copy of `data` (sizeA bytes): 0, or 1721 when it cannot be stored.
    virtual RPC_STATUS RelayPost(LONG senderKey, LONG tag, const BYTE* data, LONG sizeA) = 0;
    // Copies the message into `data` (a zero-filled buffer of sizeA bytes, all of which travel
    // back) and its length into `size`: 0, or 1721 when there is none that fits.
    virtual RPC_STATUS RelayFetch(LONG callerKey, LONG tag, BYTE* data, LONG sizeA, LONG* size) = 0;
};

// The routines that serve callbacks from now on (null: none; a callback then fails with
// RPC_S_CALL_FAILED_DNE). The routines must outlive every call in progress.
void SetCallbackRoutines(CallbackRoutines* routines);

// The console's interface as the runtime sees it, with its callback dispatcher.
const RPC_CLIENT_INTERFACE& ClientInterface();

// Serves one callback body on `routines`: what ClientInterface's dispatcher does. Returns 0 with
// `reply` filled, or the status of a fault (RPC_X_BAD_STUB_DATA, RPC_S_PROCNUM_OUT_OF_RANGE).
RPC_STATUS DispatchCallback(CallbackRoutines& routines, std::uint32_t opnum, rpc::ByteView request,
                            rpc::Bytes& reply);

} // namespace nodeagent
