#pragma once
// The share interface of a computer's server service (its ntnode).
#include "platform/LabWire.h"
#include "platform/LogonProof.h"

namespace platform::sharewire {

// e4000b47-94f7-4d0c-bdb0-7872507ed657 version 1.0
inline constexpr RPC_SYNTAX_IDENTIFIER kInterfaceId = {
    {0xe4000b47, 0x94f7, 0x4d0c, {0xbd, 0xb0, 0x78, 0x72, 0x50, 0x7e, 0xd6, 0x57}}, {1, 0}};

enum Procedure : std::uint32_t {
    kGetInfo = 0, // NameRequest -> ShareReply
    kAdd = 1,     // AddRequest  -> AddReply
    kDelete = 2,  // NameRequest -> StatusReply
};
inline constexpr DWORD kProcedureCount = 3;

// The fields of SHARE_INFO_2.
struct ShareRecord {
    std::u16string name;
    std::uint32_t type = 0;
    std::u16string remark;
    std::uint32_t permissions = 0;
    std::uint32_t maxUses = 0;
    std::uint32_t currentUses = 0;
    std::u16string path;
    std::u16string password;

    static void Fields(auto& self, auto& visit) {
        visit(self.name);
        visit(self.type);
        visit(self.remark);
        visit(self.permissions);
        visit(self.maxUses);
        visit(self.currentUses);
        visit(self.path);
        visit(self.password);
    }
};

struct NameRequest {
    logon::Proof proof;
    std::u16string name;
    std::uint32_t level = 0; // NetShareGetInfo's level (0, 1 or 2)

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.name);
        visit(self.level);
    }
};

struct ShareReply {
    std::uint32_t status = 0;
    ShareRecord share; // the fields of the level asked for; the others are empty

    static void Fields(auto& self, auto& visit) {
        visit(self.status);
        visit(self.share);
    }
};

struct AddRequest {
    logon::Proof proof;
    ShareRecord share;

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.share);
    }
};

struct AddReply {
    std::uint32_t status = 0;
    std::uint32_t parmError = 0;

    static void Fields(auto& self, auto& visit) {
        visit(self.status);
        visit(self.parmError);
    }
};

} // namespace platform::sharewire
