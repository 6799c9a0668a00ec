// The agent's dispatcher: procedure number n goes to the n-th server routine, through the one
// marshaller of the description.
#include "agent/contract/TypedStubs.h"
#include "agent/include/NodeAgentServer.h"

namespace nodeagent {
namespace {

template <std::uint32_t Opnum, auto Method>
constexpr typed::Invoker<ServerRoutines> kInvoker = &typed::Invoke<kProcedures, Opnum, Method>;

constexpr typed::Invoker<ServerRoutines> kInvokers[kProcedureCount] = {
    kInvoker<kPing, &ServerRoutines::Ping>,
    kInvoker<kCheckAccess, &ServerRoutines::CheckAccess>,
    kInvoker<kGetMachineModel, &ServerRoutines::GetMachineModel>,
    kInvoker<kGetOsVersion, &ServerRoutines::GetOsVersion>,
    kInvoker<kGetClusterInfo, &ServerRoutines::GetClusterInfo>,
    kInvoker<kGetNicSlots, &ServerRoutines::GetNicSlots>,
    kInvoker<kCheckDomain, &ServerRoutines::CheckDomain>,
    kInvoker<kGetIpConfig, &ServerRoutines::GetIpConfig>,
    kInvoker<kRunCommand, &ServerRoutines::RunCommand>,
    kInvoker<kTestStorage, &ServerRoutines::TestStorage>,
    kInvoker<kGetControllerSlots, &ServerRoutines::GetControllerSlots>,
    kInvoker<kGetDriverRevision, &ServerRoutines::GetDriverRevision>,
    kInvoker<kTestSharedDrives, &ServerRoutines::TestSharedDrives>,
    kInvoker<kDetectStorageBox, &ServerRoutines::DetectStorageBox>,
};

} // namespace

RPC_STATUS DispatchProcedure(ServerRoutines& routines, std::uint32_t opnum, rpc::ByteView request,
                             rpc::Bytes& reply) {
    return typed::Dispatch(kProcedures, kInvokers, routines, opnum, request, reply);
}

RPC_SERVER_INTERFACE MakeServerInterface(ServerRoutines& routines) {
    return {kInterfaceId, NdrTransferSyntax, kProcedureCount,
            [&routines](std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
                return DispatchProcedure(routines, opnum, request, reply);
            }};
}

} // namespace nodeagent
