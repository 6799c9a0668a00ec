#pragma once
// The NodeAgent interface between the console and the agent: its identity and the numbers of
// its procedures (console calls agent) and callbacks (agent calls console during a call).
#include "platform/WinTypes.h"
#include "platform/rpc/RpcInterface.h"

#include <cstdint>

namespace nodeagent {

// df34bdae-f157-11d0-95da-00805fe6d053 version 1.0
inline constexpr RPC_SYNTAX_IDENTIFIER kInterfaceId = {
    {0xdf34bdae, 0xf157, 0x11d0, {0x95, 0xda, 0x00, 0x80, 0x5f, 0xe6, 0xd0, 0x53}}, {1, 0}};

enum Opnum : std::uint32_t {
    kPing = 0,
    kCheckAccess = 1,
    kGetMachineModel = 2,
    kGetOsVersion = 3,
    kGetClusterInfo = 4,
    kGetNicSlots = 5,
    kCheckDomain = 6,
    kGetIpConfig = 7,
    kRunCommand = 8,
    kTestStorage = 9,
    kGetControllerSlots = 10,
    kGetDriverRevision = 11,
    kTestSharedDrives = 12,
    kDetectStorageBox = 13,
};
inline constexpr std::uint32_t kProcedureCount = 14;

// Callbacks have a numbering of their own.
enum CallbackOpnum : std::uint32_t {
    kRelayPost = 0,
    kRelayFetch = 1,
};
inline constexpr std::uint32_t kCallbackCount = 2;

} // namespace nodeagent
