#pragma once
// What one call of a storage procedure (9 to 13) keeps while it runs: the shared disks found so
// far, each as a copy of the local drive record that describes it. Every call starts with a
// fresh, zeroed context and nothing of it outlives the call.
#include "platform/WinTypes.h"

#include <array>
#include <cstddef>

namespace agent {

// A drive record as the two agents exchange it (56 bytes, little-endian).
inline constexpr std::size_t kDriveRecordSize = 56;
// The most fixed drives one node describes, and so the most shared disks a call can find.
inline constexpr std::size_t kMaxDriveRecords = 24;

using DriveRecordBytes = std::array<BYTE, kDriveRecordSize>;

struct StorageContext {
    // Distinct shared disks (no two with the same disk signature); the first
    // sharedDiskCount entries are in use.
    std::array<DriveRecordBytes, kMaxDriveRecords> sharedDisks{};
    LONG sharedDiskCount = 0;
};

} // namespace agent
