#pragma once
// How ntlab talks to a running ntnode: is it up, and what does it hold (the status document
// of `ntlab status`).
#include "platform/LabWire.h"

namespace platform::controlwire {

// 4db0f4de-bf03-4fa0-abaa-38494516a927 version 1.0
inline constexpr RPC_SYNTAX_IDENTIFIER kInterfaceId = {
    {0x4db0f4de, 0xbf03, 0x4fa0, {0xab, 0xaa, 0x38, 0x49, 0x45, 0x16, 0xa9, 0x27}}, {1, 0}};

enum Procedure : std::uint32_t {
    kPing = 0,   // NoFields -> PingReply
    kStatus = 1, // NoFields -> StatusDocumentReply
};
inline constexpr DWORD kProcedureCount = 2;

struct PingReply {
    std::u16string computer;
    std::u16string lab; // the lab folder, so that a computer of another lab on the port is told apart
    std::uint32_t processId = 0;

    static void Fields(auto& self, auto& visit) {
        visit(self.computer);
        visit(self.lab);
        visit(self.processId);
    }
};

struct StatusDocumentReply {
    std::vector<std::uint8_t> document; // TOML text (UTF-8); ntlab status shows it, --json as JSON

    static void Fields(auto& self, auto& visit) { visit(self.document); }
};

} // namespace platform::controlwire
