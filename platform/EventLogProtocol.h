#pragma once
// The event-log interface of a computer's ntnode.
#include "platform/LabWire.h"
#include "platform/LogonProof.h"

namespace platform::eventwire {

// fd5f241e-229e-4bcc-886f-fe5c675cb765 version 1.0
inline constexpr RPC_SYNTAX_IDENTIFIER kInterfaceId = {
    {0xfd5f241e, 0x229e, 0x4bcc, {0x88, 0x6f, 0xfe, 0x5c, 0x67, 0x5c, 0xb7, 0x65}}, {1, 0}};

enum Procedure : std::uint32_t {
    kOpen = 0,   // OpenRequest   -> StatusReply
    kReport = 1, // ReportRequest -> StatusReply
};
inline constexpr DWORD kProcedureCount = 2;

struct OpenRequest {
    logon::Proof proof;
    std::u16string source;

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.source);
    }
};

struct ReportRequest {
    logon::Proof proof;
    std::u16string source;
    std::uint32_t type = 0;
    std::uint32_t category = 0;
    std::uint32_t eventId = 0;
    std::vector<std::u16string> strings;
    std::vector<std::uint8_t> data;

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.source);
        visit(self.type);
        visit(self.category);
        visit(self.eventId);
        visit(self.strings);
        visit(self.data);
    }
};

} // namespace platform::eventwire
