// The console's stubs: each marshals its parameters through the description and calls the
// agent with NdrClientCall on the given binding.
#include "agent/contract/TypedStubs.h"
#include "agent/include/NodeAgentClient.h"

#include "platform/WinError.h"

#include <atomic>

namespace nodeagent {
namespace {

std::atomic<CallbackRoutines*> g_callbackRoutines{nullptr};

const RPC_CLIENT_INTERFACE kClientInterface = {
    kInterfaceId, NdrTransferSyntax, kCallbackCount,
    [](std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) -> RPC_STATUS {
        CallbackRoutines* routines = g_callbackRoutines.load();
        if (routines == nullptr) {
            return RPC_S_CALL_FAILED_DNE;
        }
        return DispatchCallback(*routines, opnum, request, reply);
    }};

// The transport of one call on `binding`.
rpc::Dispatcher On(handle_t binding) {
    return [binding](std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
        return NdrClientCall(binding, &kClientInterface, opnum, request, reply);
    };
}

template <std::uint32_t Opnum, class... Params> RPC_STATUS Call(handle_t binding, Params... params) {
    return typed::Call<kProcedures, Opnum>(On(binding), params...);
}

} // namespace

void SetCallbackRoutines(CallbackRoutines* routines) {
    g_callbackRoutines.store(routines);
}

const RPC_CLIENT_INTERFACE& ClientInterface() {
    return kClientInterface;
}

RPC_STATUS Ping(handle_t binding) {
    return Call<kPing>(binding);
}

RPC_STATUS CheckAccess(handle_t binding) {
    return Call<kCheckAccess>(binding);
}

RPC_STATUS GetMachineModel(handle_t binding, LONG selector, WCHAR* model, LONG sizeA) {
    return Call<kGetMachineModel>(binding, selector, model, sizeA);
}

RPC_STATUS GetOsVersion(handle_t binding, WCHAR* version, LONG sizeA) {
    return Call<kGetOsVersion>(binding, version, sizeA);
}

RPC_STATUS GetClusterInfo(handle_t binding, const WCHAR* nodeName, LONG* failure, LONG* nodeState,
                          WCHAR* clusterName, LONG sizeA, WCHAR* version, LONG sizeB) {
    return Call<kGetClusterInfo>(binding, nodeName, failure, nodeState, clusterName, sizeA, version, sizeB);
}

RPC_STATUS GetNicSlots(handle_t binding, const WCHAR* unused, LONG* nextAdapter, WCHAR* adapterList,
                       LONG sizeA, LONG* separatorCount, WCHAR* otherDevices, LONG sizeB) {
    return Call<kGetNicSlots>(binding, unused, nextAdapter, adapterList, sizeA, separatorCount, otherDevices,
                              sizeB);
}

RPC_STATUS CheckDomain(handle_t binding, const WCHAR* otherNode, WCHAR* domain, LONG sizeA,
                       WCHAR* otherDomain, LONG sizeB) {
    return Call<kCheckDomain>(binding, otherNode, domain, sizeA, otherDomain, sizeB);
}

RPC_STATUS GetIpConfig(handle_t binding, const WCHAR* unused, WCHAR* configuration, LONG sizeA,
                       LONG* length) {
    return Call<kGetIpConfig>(binding, unused, configuration, sizeA, length);
}

RPC_STATUS RunCommand(handle_t binding, const WCHAR* commandLine, LONG sizeA, WCHAR* output, LONG sizeB,
                      LONG* length) {
    return Call<kRunCommand>(binding, commandLine, sizeA, output, sizeB, length);
}

RPC_STATUS TestStorage(handle_t binding, const WCHAR* otherNode, LONG configuration, WCHAR* record,
                       LONG sizeA) {
    return Call<kTestStorage>(binding, otherNode, configuration, record, sizeA);
}

RPC_STATUS GetControllerSlots(handle_t binding, LONG configuration, LONG* controllerCount, WCHAR* record,
                              LONG sizeA) {
    return Call<kGetControllerSlots>(binding, configuration, controllerCount, record, sizeA);
}

RPC_STATUS GetDriverRevision(handle_t binding, LONG configuration, LONG controllerCount, LONG* firstPort,
                             WCHAR* record, LONG sizeA) {
    return Call<kGetDriverRevision>(binding, configuration, controllerCount, firstPort, record, sizeA);
}

RPC_STATUS TestSharedDrives(handle_t binding, const WCHAR* otherNode, WCHAR* summary, LONG sizeA,
                            WCHAR* drives, LONG sizeB, WCHAR* reserveRelease, LONG sizeC) {
    return Call<kTestSharedDrives>(binding, otherNode, summary, sizeA, drives, sizeB, reserveRelease, sizeC);
}

RPC_STATUS DetectStorageBox(handle_t binding, LONG configuration, LONG port, WCHAR* record, LONG sizeA) {
    return Call<kDetectStorageBox>(binding, configuration, port, record, sizeA);
}

} // namespace nodeagent
