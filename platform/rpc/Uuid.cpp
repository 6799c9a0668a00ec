#include "platform/rpc/Uuid.h"

#include <cstdio>

namespace rpc {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads `count` hex digits at `pos`; nullopt when any is not a hex digit.
std::optional<std::uint32_t> ReadHex(std::string_view text, std::size_t pos, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        int digit = HexDigit(text[pos + i]);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return value;
}

} // namespace

std::optional<GUID> ParseUuid(std::string_view text) {
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') {
        return std::nullopt;
    }
    auto d1 = ReadHex(text, 0, 8);
    auto d2 = ReadHex(text, 9, 4);
    auto d3 = ReadHex(text, 14, 4);
    if (!d1 || !d2 || !d3) {
        return std::nullopt;
    }
    GUID uuid{*d1, static_cast<WORD>(*d2), static_cast<WORD>(*d3), {}};
    static constexpr std::size_t kData4Positions[8] = {19, 21, 24, 26, 28, 30, 32, 34};
    for (std::size_t i = 0; i < 8; ++i) {
        auto byte = ReadHex(text, kData4Positions[i], 2);
        if (!byte) {
            return std::nullopt;
        }
        uuid.Data4[i] = static_cast<BYTE>(*byte);
    }
    return uuid;
}

std::string FormatUuid(const GUID& uuid) {
    char text[37];
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", uuid.Data1, uuid.Data2,
                  uuid.Data3, uuid.Data4[0], uuid.Data4[1], uuid.Data4[2], uuid.Data4[3], uuid.Data4[4],
                  uuid.Data4[5], uuid.Data4[6], uuid.Data4[7]);
    return text;
}

void WriteUuid(const GUID& uuid, std::span<std::uint8_t, 16> out) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(uuid.Data1 >> (8 * i));
    }
    out[4] = static_cast<std::uint8_t>(uuid.Data2);
    out[5] = static_cast<std::uint8_t>(uuid.Data2 >> 8);
    out[6] = static_cast<std::uint8_t>(uuid.Data3);
    out[7] = static_cast<std::uint8_t>(uuid.Data3 >> 8);
    for (int i = 0; i < 8; ++i) {
        out[8 + i] = uuid.Data4[i];
    }
}

GUID ReadUuid(std::span<const std::uint8_t, 16> in) {
    GUID uuid{};
    for (int i = 0; i < 4; ++i) {
        uuid.Data1 |= static_cast<DWORD>(in[i]) << (8 * i);
    }
    uuid.Data2 = static_cast<WORD>(in[4] | in[5] << 8);
    uuid.Data3 = static_cast<WORD>(in[6] | in[7] << 8);
    for (int i = 0; i < 8; ++i) {
        uuid.Data4[i] = in[8 + i];
    }
    return uuid;
}

} // namespace rpc
