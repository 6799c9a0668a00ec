#pragma once
// The pipe router interface of a computer's ntnode. A serving process registers each pipe
// instance (as the computer's SYSTEM); an opener asks for the instances of a name one at a time
// and receives, for each, its port on the computer's host and a ticket to enter it with.
#include "platform/LabWire.h"
#include "platform/LogonProof.h"

#include <cstdint>

namespace platform::pipewire {

// 3f2a9c71-5d84-4e06-b3c9-6a1d0e7f4b28 version 1.0
inline constexpr RPC_SYNTAX_IDENTIFIER kRouterInterfaceId = {
    {0x3f2a9c71, 0x5d84, 0x4e06, {0xb3, 0xc9, 0x6a, 0x1d, 0x0e, 0x7f, 0x4b, 0x28}}, {1, 0}};

enum RouterProcedure : std::uint32_t {
    kRegister = 0,   // RegisterRequest   -> RegisterReply
    kUnregister = 1, // UnregisterRequest -> StatusReply
    kOpen = 2,       // OpenRequest       -> OpenReply
};
inline constexpr DWORD kRouterProcedureCount = 3;

struct RegisterRequest {
    logon::Proof proof;
    std::u16string name;
    std::uint32_t port = 0;
    std::uint32_t maxInstances = 0;
    std::uint32_t pid = 0;
    logon::Digest secret{};

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.name);
        visit(self.port);
        visit(self.maxInstances);
        visit(self.pid);
        visit(self.secret);
    }
};

struct RegisterReply {
    std::uint32_t status = 0;
    std::uint64_t id = 0;

    static void Fields(auto& self, auto& visit) {
        visit(self.status);
        visit(self.id);
    }
};

struct UnregisterRequest {
    logon::Proof proof;
    std::uint64_t id = 0;

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.id);
    }
};

struct OpenRequest {
    logon::Proof proof;
    std::u16string name;
    std::uint32_t index = 0; // which instance, counting from 0

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.name);
        visit(self.index);
    }
};

struct OpenReply {
    std::uint32_t status = 0;
    std::uint32_t instances = 0; // how many the name has
    std::uint32_t port = 0;      // of instance `index` (0 when index is past the last)
    std::vector<std::uint8_t> ticket;

    static void Fields(auto& self, auto& visit) {
        visit(self.status);
        visit(self.instances);
        visit(self.port);
        visit(self.ticket);
    }
};

} // namespace platform::pipewire
