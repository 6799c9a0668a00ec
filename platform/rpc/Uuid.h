#pragma once
// UUIDs in their string form "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" and in NDR wire form.
#include "platform/WinTypes.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace rpc {

// Parses the 36-character form (hex digits of either case); nullopt when it is not one.
std::optional<GUID> ParseUuid(std::string_view text);

// The 36-character lower-case form.
std::string FormatUuid(const GUID& uuid);

// NDR wire form (little-endian data representation): Data1, Data2, Data3 little-endian, then
// the 8 bytes of Data4 as they stand. 16 bytes.
void WriteUuid(const GUID& uuid, std::span<std::uint8_t, 16> out);
GUID ReadUuid(std::span<const std::uint8_t, 16> in);

} // namespace rpc
