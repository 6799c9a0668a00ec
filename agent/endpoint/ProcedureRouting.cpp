#include "agent/endpoint/ProcedureRouting.h"

#include "agent/endpoint/AccessCheck.h"
#include "agent/endpoint/ProbeOperations.h"
#include "platform/WinError.h"

#include <utility>

namespace agent {

RPC_STATUS ProcedureRouting::Ping(handle_t) {
    return RPC_S_OK;
}

RPC_STATUS ProcedureRouting::CheckAccess(handle_t binding) {
    return CheckClientAccess(binding);
}

RPC_STATUS ProcedureRouting::GetMachineModel(handle_t, LONG selector, WCHAR* model, LONG sizeA) {
    return probes::IdentifyMachine(m_machine, selector, model, sizeA);
}

RPC_STATUS ProcedureRouting::GetOsVersion(handle_t, WCHAR* version, LONG sizeA) {
    return probes::ReadOsVersion(version, sizeA);
}

RPC_STATUS ProcedureRouting::GetClusterInfo(handle_t, const WCHAR* nodeName, LONG* failure, LONG* nodeState,
                                            WCHAR* clusterName, LONG sizeA, WCHAR* version, LONG sizeB) {
    return probes::ReadClusterInfo(nodeName, failure, nodeState, clusterName, sizeA, version, sizeB);
}

RPC_STATUS ProcedureRouting::GetNicSlots(handle_t, const WCHAR* unused, LONG* nextAdapter, WCHAR* adapterList,
                                         LONG sizeA, LONG* separatorCount, WCHAR* otherDevices, LONG sizeB) {
    return probes::ListNicSlots(m_machine, unused, nextAdapter, adapterList, sizeA, separatorCount,
                                otherDevices, sizeB);
}

RPC_STATUS ProcedureRouting::CheckDomain(handle_t, const WCHAR* otherNode, WCHAR* domain, LONG sizeA,
                                         WCHAR* otherDomain, LONG sizeB) {
    return probes::CheckDomainMembership(otherNode, domain, sizeA, otherDomain, sizeB);
}

RPC_STATUS ProcedureRouting::GetIpConfig(handle_t, const WCHAR* unused, WCHAR* configuration, LONG sizeA,
                                         LONG* length) {
    return probes::CaptureIpConfig(unused, configuration, sizeA, length);
}

RPC_STATUS ProcedureRouting::RunCommand(handle_t, const WCHAR* commandLine, LONG sizeA, WCHAR* output,
                                        LONG sizeB, LONG* length) {
    return probes::CaptureCommand(commandLine, sizeA, output, sizeB, length);
}

RPC_STATUS ProcedureRouting::TestStorage(handle_t, const WCHAR* otherNode, LONG configuration, WCHAR* record,
                                         LONG sizeA) {
    StorageContext context;
    return probes::TestStorage(context, m_machine, otherNode, configuration, record, sizeA);
}

RPC_STATUS ProcedureRouting::GetControllerSlots(handle_t, LONG configuration, LONG* controllerCount,
                                                WCHAR* record, LONG sizeA) {
    StorageContext context;
    return probes::ListControllerSlots(context, m_machine, configuration, controllerCount, record, sizeA);
}

RPC_STATUS ProcedureRouting::GetDriverRevision(handle_t, LONG configuration, LONG controllerCount,
                                               LONG* firstPort, WCHAR* record, LONG sizeA) {
    StorageContext context;
    return probes::ReadDriverRevision(context, configuration, controllerCount, firstPort, record, sizeA);
}

RPC_STATUS ProcedureRouting::TestSharedDrives(handle_t, const WCHAR* otherNode, WCHAR* summary, LONG sizeA,
                                              WCHAR* drives, LONG sizeB, WCHAR* reserveRelease, LONG sizeC) {
    StorageContext context;
    return probes::TestSharedDrives(context, otherNode, summary, sizeA, drives, sizeB, reserveRelease, sizeC);
}

RPC_STATUS ProcedureRouting::DetectStorageBox(handle_t, LONG configuration, LONG port, WCHAR* record,
                                              LONG sizeA) {
    StorageContext context;
    return probes::DetectStorageBox(context, m_machine, configuration, port, record, sizeA);
}

RPC_SERVER_INTERFACE MakeGuardedServerInterface(nodeagent::ServerRoutines& routines) {
    RPC_SERVER_INTERFACE guarded = nodeagent::MakeServerInterface(routines);
    guarded.Dispatch = [serve = std::move(guarded.Dispatch)](std::uint32_t opnum, rpc::ByteView request,
                                                             rpc::Bytes& reply) -> RPC_STATUS {
        if (opnum != nodeagent::kPing && CheckClientAccess(nullptr) != RPC_S_OK) {
            return ERROR_ACCESS_DENIED; // the caller receives it as the procedure's status
        }
        return serve(opnum, request, reply);
    };
    return guarded;
}

const RPC_SERVER_INTERFACE& AgentServerInterface() {
    static ProcedureRouting routing(TheMachineIdentification());
    static const RPC_SERVER_INTERFACE serverInterface = MakeGuardedServerInterface(routing);
    return serverInterface;
}

} // namespace agent
