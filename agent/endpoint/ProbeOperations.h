#pragma once
// The probe operations behind NodeAgent procedures 2 to 13, one per procedure, as the routing
// calls them. Each returns the procedure's status. Out buffers arrive zero-filled with exactly
// the capacity their size gives; an operation writes a NUL-terminated text within it.
//
// The storage operations (9 to 13) are given the sizes of their buffers too, so that no probe
// writes beyond what the caller's size parameter made room for, whatever sizes a caller sends.
#include "agent/endpoint/MachineIdentification.h"
#include "agent/endpoint/StorageContext.h"
#include "platform/WinTypes.h"
#include "platform/rpc/RpcInterface.h"

namespace agent::probes {

// 2: the machine's model against model table `selector` (0 or 1; any other value makes no
// check). 0 when the model is certified or no check was made, 1200 when it is not certified.
// Remembers the matched row in `machine`.
RPC_STATUS IdentifyMachine(MachineIdentification& machine, LONG selector, WCHAR* model, LONG modelSize);

// 3: the operating system's version text; 0 for an Enterprise Edition, else 31.
RPC_STATUS ReadOsVersion(WCHAR* version, LONG versionSize);

// 4: the cluster and the state of node `nodeName` in it; 0, or 31 with `failure` set.
RPC_STATUS ReadClusterInfo(const WCHAR* nodeName, LONG* failure, LONG* nodeState, WCHAR* clusterName,
                           LONG clusterNameSize, WCHAR* version, LONG versionSize);

// 5: PCI slots of the network adapters the machine's model expects and of other network devices.
RPC_STATUS ListNicSlots(const MachineIdentification& machine, const WCHAR* unused, LONG* nextAdapter,
                        WCHAR* adapterList, LONG adapterListSize, LONG* separatorCount, WCHAR* otherDevices,
                        LONG otherDevicesSize);

// 6: the primary domain, compared with the other node's through the relay when one is named.
RPC_STATUS CheckDomainMembership(const WCHAR* otherNode, WCHAR* domain, LONG domainSize, WCHAR* otherDomain,
                                 LONG otherDomainSize);

// 7: the output of "ipconfig /all".
RPC_STATUS CaptureIpConfig(const WCHAR* unused, WCHAR* configuration, LONG configurationSize, LONG* length);

// 8: the console output of `commandLine`.
RPC_STATUS CaptureCommand(const WCHAR* commandLine, LONG commandLineSize, WCHAR* output, LONG outputSize,
                          LONG* length);

// 9: the storage tests of configurations 0 and 2, with the other node when one is named.
RPC_STATUS TestStorage(StorageContext& context, const MachineIdentification& machine, const WCHAR* otherNode,
                       LONG configuration, WCHAR* record, LONG recordSize);

// 10: the slots of the storage controllers; `controllerCount` gets the last controller's count.
RPC_STATUS ListControllerSlots(StorageContext& context, const MachineIdentification& machine,
                               LONG configuration, LONG* controllerCount, WCHAR* record, LONG recordSize);

// 11: the storage driver's revision; `firstPort` gets the first controller that answered.
RPC_STATUS ReadDriverRevision(StorageContext& context, LONG configuration, LONG controllerCount,
                              LONG* firstPort, WCHAR* record, LONG recordSize);

// 12: shared drives and the reserve/release test with the other node.
RPC_STATUS TestSharedDrives(StorageContext& context, const WCHAR* otherNode, WCHAR* summary, LONG summarySize,
                            WCHAR* drives, LONG drivesSize, WCHAR* reserveRelease, LONG reserveReleaseSize);

// 13: the storage box behind `port`.
RPC_STATUS DetectStorageBox(StorageContext& context, const MachineIdentification& machine, LONG configuration,
                            LONG port, WCHAR* record, LONG recordSize);

} // namespace agent::probes
