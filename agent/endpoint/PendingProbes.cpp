// The probe operations that are not built yet. Each answers ERROR_CALL_NOT_IMPLEMENTED and
// touches none of its outputs; a probe's own source replaces its definition here.
#include "agent/endpoint/ProbeOperations.h"
#include "platform/WinError.h"

namespace agent::probes {

RPC_STATUS IdentifyMachine(MachineIdentification&, LONG, WCHAR*, LONG) {
    return ERROR_CALL_NOT_IMPLEMENTED;
}

RPC_STATUS ReadOsVersion(WCHAR*, LONG) {
    return ERROR_CALL_NOT_IMPLEMENTED;
}

RPC_STATUS ReadClusterInfo(const WCHAR*, LONG*, LONG*, WCHAR*, LONG, WCHAR*, LONG) {
    return ERROR_CALL_NOT_IMPLEMENTED;
}

RPC_STATUS ListNicSlots(const MachineIdentification&, const WCHAR*, LONG*, WCHAR*, LONG, LONG*, WCHAR*,
                        LONG) {
    return ERROR_CALL_NOT_IMPLEMENTED;
}

RPC_STATUS CheckDomainMembership(const WCHAR*, WCHAR*, LONG, WCHAR*, LONG) {
    return ERROR_CALL_NOT_IMPLEMENTED;
}

RPC_STATUS CaptureIpConfig(const WCHAR*, WCHAR*, LONG, LONG*) {
    return ERROR_CALL_NOT_IMPLEMENTED;
}

RPC_STATUS CaptureCommand(const WCHAR*, LONG, WCHAR*, LONG, LONG*) {
    return ERROR_CALL_NOT_IMPLEMENTED;
}

RPC_STATUS TestStorage(StorageContext&, const MachineIdentification&, const WCHAR*, LONG, WCHAR*, LONG) {
    return ERROR_CALL_NOT_IMPLEMENTED;
}

RPC_STATUS ListControllerSlots(StorageContext&, const MachineIdentification&, LONG, LONG*, WCHAR*, LONG) {
    return ERROR_CALL_NOT_IMPLEMENTED;
}

RPC_STATUS ReadDriverRevision(StorageContext&, LONG, LONG, LONG*, WCHAR*, LONG) {
    return ERROR_CALL_NOT_IMPLEMENTED;
}

RPC_STATUS TestSharedDrives(StorageContext&, const WCHAR*, WCHAR*, LONG, WCHAR*, LONG, WCHAR*, LONG) {
    return ERROR_CALL_NOT_IMPLEMENTED;
}

RPC_STATUS DetectStorageBox(StorageContext&, const MachineIdentification&, LONG, LONG, WCHAR*, LONG) {
    return ERROR_CALL_NOT_IMPLEMENTED;
}

} // namespace agent::probes
