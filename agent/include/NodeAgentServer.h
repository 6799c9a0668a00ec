#pragma once
// The agent's side of the NodeAgent interface: the routines that answer the procedures, the
// server interface that dispatches to them, and the callbacks into the calling console.
#include "agent/include/NodeAgent.h"
#include "platform/WinTypes.h"
#include "platform/rpc/RpcInterface.h"

namespace nodeagent {

// One routine per procedure, with the procedure's parameters. `binding` is null: the call in
// progress (what RpcImpersonateClient takes). Every out buffer arrives zero-filled with exactly
// the size its size parameter gives; the whole buffer travels back. A routine writes at most
// that many characters into it; an out text left without a NUL is sent with its last
// character replaced by one. A routine that throws (RpcRaiseException included) ends the call
// with a fault; every buffer is freed all the same.
class ServerRoutines {
public:
    virtual ~ServerRoutines() = default;
    virtual RPC_STATUS Ping(handle_t binding) = 0;
    virtual RPC_STATUS CheckAccess(handle_t binding) = 0;
    virtual RPC_STATUS GetMachineModel(handle_t binding, LONG selector, WCHAR* model, LONG sizeA) = 0;
    virtual RPC_STATUS GetOsVersion(handle_t binding, WCHAR* version, LONG sizeA) = 0;
    virtual RPC_STATUS GetClusterInfo(handle_t binding, const WCHAR* nodeName, LONG* failure, LONG* nodeState,
                                      WCHAR* clusterName, LONG sizeA, WCHAR* version, LONG sizeB) = 0;
    virtual RPC_STATUS GetNicSlots(handle_t binding, const WCHAR* unused, LONG* nextAdapter,
                                   WCHAR* adapterList, LONG sizeA, LONG* separatorCount, WCHAR* otherDevices,
                                   LONG sizeB) = 0;
    virtual RPC_STATUS CheckDomain(handle_t binding, const WCHAR* otherNode, WCHAR* domain, LONG sizeA,
                                   WCHAR* otherDomain, LONG sizeB) = 0;
    virtual RPC_STATUS GetIpConfig(handle_t binding, const WCHAR* unused, WCHAR* configuration, LONG sizeA,
                                   LONG* length) = 0;
    virtual RPC_STATUS RunCommand(handle_t binding, const WCHAR* commandLine, LONG sizeA, WCHAR* output,
                                  LONG sizeB, LONG* length) = 0;
    virtual RPC_STATUS TestStorage(handle_t binding, const WCHAR* otherNode, LONG configuration,
                                   WCHAR* record, LONG sizeA) = 0;
    virtual RPC_STATUS GetControllerSlots(handle_t binding, LONG configuration, LONG* controllerCount,
                                          WCHAR* record, LONG sizeA) = 0;
    virtual RPC_STATUS GetDriverRevision(handle_t binding, LONG configuration, LONG controllerCount,
                                         LONG* firstPort, WCHAR* record, LONG sizeA) = 0;
    virtual RPC_STATUS TestSharedDrives(handle_t binding, const WCHAR* otherNode, WCHAR* summary, LONG sizeA,
                                        WCHAR* drives, LONG sizeB, WCHAR* reserveRelease, LONG sizeC) = 0;
    virtual RPC_STATUS DetectStorageBox(handle_t binding, LONG configuration, LONG port, WCHAR* record,
                                        LONG sizeA) = 0;
};

// The interface to register with the runtime; its dispatcher serves `routines`, which must
// outlive the registration.
RPC_SERVER_INTERFACE MakeServerInterface(ServerRoutines& routines);

// Serves one request body on `routines`: what MakeServerInterface's dispatcher does. Returns 0
// with `reply` filled, or the status of a fault (RPC_X_BAD_STUB_DATA, RPC_S_PROCNUM_OUT_OF_RANGE).
// What a routine throws, or a failed allocation's std::bad_alloc, is thrown on to the runtime.
RPC_STATUS DispatchProcedure(ServerRoutines& routines, std::uint32_t opnum, rpc::ByteView request,
                             rpc::Bytes& reply);

// Callbacks into the console whose call this thread is serving; only inside a routine.
// A communication failure or fault comes back as the status (RPC_S_NO_CALL_ACTIVE outside a
// call). RelayPost sends sizeA bytes of `data`; RelayFetch fills `data` (sizeA bytes) and
// `size` (at most sizeA) from the console's reply.
RPC_STATUS RelayPost(LONG senderKey, LONG tag, const BYTE* data, LONG sizeA);
RPC_STATUS RelayFetch(LONG callerKey, LONG tag, BYTE* data, LONG sizeA, LONG* size);

} // namespace nodeagent
