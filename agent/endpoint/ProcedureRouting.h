#pragma once
// The agent's NodeAgent server: each procedure goes to the one operation that answers it, and
// only a caller the agent can impersonate gets past Ping.
#include "agent/endpoint/MachineIdentification.h"
#include "agent/include/NodeAgentServer.h"

namespace agent {

// Procedure n's routine calls the operation of procedure n: Ping answers 0, CheckAccess runs the
// access check, procedures 2 to 13 run their probe (probes::), the storage ones (9 to 13) each on
// a fresh StorageContext of their own.
class ProcedureRouting : public nodeagent::ServerRoutines {
public:
    explicit ProcedureRouting(MachineIdentification& machine) : m_machine(machine) {}

    RPC_STATUS Ping(handle_t binding) override;
    RPC_STATUS CheckAccess(handle_t binding) override;
    RPC_STATUS GetMachineModel(handle_t binding, LONG selector, WCHAR* model, LONG sizeA) override;
    RPC_STATUS GetOsVersion(handle_t binding, WCHAR* version, LONG sizeA) override;
    RPC_STATUS GetClusterInfo(handle_t binding, const WCHAR* nodeName, LONG* failure, LONG* nodeState,
                              WCHAR* clusterName, LONG sizeA, WCHAR* version, LONG sizeB) override;
    RPC_STATUS GetNicSlots(handle_t binding, const WCHAR* unused, LONG* nextAdapter, WCHAR* adapterList,
                           LONG sizeA, LONG* separatorCount, WCHAR* otherDevices, LONG sizeB) override;
    RPC_STATUS CheckDomain(handle_t binding, const WCHAR* otherNode, WCHAR* domain, LONG sizeA,
                           WCHAR* otherDomain, LONG sizeB) override;
    RPC_STATUS GetIpConfig(handle_t binding, const WCHAR* unused, WCHAR* configuration, LONG sizeA,
                           LONG* length) override;
    RPC_STATUS RunCommand(handle_t binding, const WCHAR* commandLine, LONG sizeA, WCHAR* output, LONG sizeB,
                          LONG* length) override;
    RPC_STATUS TestStorage(handle_t binding, const WCHAR* otherNode, LONG configuration, WCHAR* record,
                           LONG sizeA) override;
    RPC_STATUS GetControllerSlots(handle_t binding, LONG configuration, LONG* controllerCount, WCHAR* record,
                                  LONG sizeA) override;
    RPC_STATUS GetDriverRevision(handle_t binding, LONG configuration, LONG controllerCount, LONG* firstPort,
                                 WCHAR* record, LONG sizeA) override;
    RPC_STATUS TestSharedDrives(handle_t binding, const WCHAR* otherNode, WCHAR* summary, LONG sizeA,
                                WCHAR* drives, LONG sizeB, WCHAR* reserveRelease, LONG sizeC) override;
    RPC_STATUS DetectStorageBox(handle_t binding, LONG configuration, LONG port, WCHAR* record,
                                LONG sizeA) override;

private:
    MachineIdentification& m_machine;
};

// The interface to register: dispatches to `routines` (which must outlive the registration),
// except that every procedure but Ping is refused with ERROR_ACCESS_DENIED, before its request
// is decoded, when the caller cannot be impersonated. Procedure 8 runs any command line under
// the agent's account and the storage procedures reserve and reset disks, so none of them is
// served to a caller the transport did not authenticate.
RPC_SERVER_INTERFACE MakeGuardedServerInterface(nodeagent::ServerRoutines& routines);

// The process's interface: the guarded dispatcher over a ProcedureRouting on the process's
// machine identification object.
const RPC_SERVER_INTERFACE& AgentServerInterface();

} // namespace agent
