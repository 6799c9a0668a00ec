#pragma once
// The logon interface of a computer's ntnode: a caller fetches a one-time challenge here and
// sends its answer (a logon::Proof) as the first field of every request that needs a caller.
#include "platform/LabWire.h"
#include "platform/LogonProof.h"

namespace platform::logon {

// 451b5b13-777c-4cc3-8a8b-8833b2dcf068 version 1.0
inline constexpr RPC_SYNTAX_IDENTIFIER kLogonInterfaceId = {
    {0x451b5b13, 0x777c, 0x4cc3, {0x8a, 0x8b, 0x88, 0x33, 0xb2, 0xdc, 0xf0, 0x68}}, {1, 0}};

enum LogonProcedure : std::uint32_t {
    kGetChallenge = 0, // NoFields -> ChallengeReply
};
inline constexpr DWORD kLogonProcedureCount = 1;

struct ChallengeReply {
    std::uint32_t status = 0;
    Challenge challenge;

    static void Fields(auto& self, auto& visit) {
        visit(self.status);
        visit(self.challenge);
    }
};

} // namespace platform::logon
