#pragma once
// The sizes, in characters, of the output buffers the console passes to the NodeAgent
// procedures. They are part of the contract: each buffer travels back whole, and the agent's
// storage procedures rely on them as the capacities of their records.
#include "platform/WinTypes.h"

namespace nodeagent {

inline constexpr LONG kModelChars = 256;               // 2 GetMachineModel
inline constexpr LONG kOsVersionChars = 256;           // 3 GetOsVersion
inline constexpr LONG kClusterNameChars = 256;         // 4 GetClusterInfo
inline constexpr LONG kClusterVersionChars = 56;       // 4 GetClusterInfo
inline constexpr LONG kAdapterListChars = 1000;        // 5 GetNicSlots
inline constexpr LONG kOtherAdaptersChars = 256;       // 5 GetNicSlots
inline constexpr LONG kDomainChars = 256;              // 6 CheckDomain
inline constexpr LONG kOtherDomainChars = 256;         // 6 CheckDomain
inline constexpr LONG kIpConfigChars = 10000;          // 7 GetIpConfig
inline constexpr LONG kCommandChars = 256;             // 8 RunCommand (input)
inline constexpr LONG kCommandOutputChars = 2048;      // 8 RunCommand
inline constexpr LONG kStorageRecordChars = 20620;     // 9 TestStorage
inline constexpr LONG kControllerSlotsChars = 3536;    // 10 GetControllerSlots
inline constexpr LONG kDriverRevisionChars = 4896;     // 11 GetDriverRevision
inline constexpr LONG kSharedDrivesSummaryChars = 504; // 12 TestSharedDrives
inline constexpr LONG kSharedDrivesChars = 1512;       // 12 TestSharedDrives
inline constexpr LONG kReserveReleaseChars = 1512;     // 12 TestSharedDrives
inline constexpr LONG kStorageBoxChars = 8160;         // 13 DetectStorageBox

} // namespace nodeagent
