#pragma once
// The file interface of a computer's server service: files below a share, named by the share
// and the components of their path. A copy travels in pieces of at most kChunkBytes.
#include "platform/LabWire.h"
#include "platform/LogonProof.h"

namespace platform::filewire {

// 61f74088-9365-4009-a70e-e5f70aba6d54 version 1.0
inline constexpr RPC_SYNTAX_IDENTIFIER kInterfaceId = {
    {0x61f74088, 0x9365, 0x4009, {0xa7, 0x0e, 0xe5, 0xf7, 0x0a, 0xba, 0x6d, 0x54}}, {1, 0}};

enum Procedure : std::uint32_t {
    kBeginWrite = 0, // BeginWriteRequest -> BeginWriteReply
    kWrite = 1,      // WriteRequest      -> StatusReply
    kEndWrite = 2,   // EndWriteRequest   -> StatusReply
    kRead = 3,       // ReadRequest       -> ReadReply
    kDelete = 4,     // PathRequest       -> StatusReply
};
inline constexpr DWORD kProcedureCount = 5;

inline constexpr std::uint32_t kChunkBytes = 64 * 1024;

struct PathRequest {
    logon::Proof proof;
    std::u16string share;
    std::vector<std::u16string> path;

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.share);
        visit(self.path);
    }
};

struct BeginWriteRequest {
    logon::Proof proof;
    std::u16string share;
    std::vector<std::u16string> path;
    bool failIfExists = false;
    bool executable = false; // the copy may be run as a program

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.share);
        visit(self.path);
        visit(self.failIfExists);
        visit(self.executable);
    }
};

struct BeginWriteReply {
    std::uint32_t status = 0;
    std::uint64_t transfer = 0;

    static void Fields(auto& self, auto& visit) {
        visit(self.status);
        visit(self.transfer);
    }
};

struct WriteRequest {
    std::uint64_t transfer = 0;
    std::uint64_t offset = 0;
    std::vector<std::uint8_t> data;

    static void Fields(auto& self, auto& visit) {
        visit(self.transfer);
        visit(self.offset);
        visit(self.data);
    }
};

struct EndWriteRequest {
    std::uint64_t transfer = 0;
    bool commit = false;

    static void Fields(auto& self, auto& visit) {
        visit(self.transfer);
        visit(self.commit);
    }
};

struct ReadRequest {
    logon::Proof proof;
    std::u16string share;
    std::vector<std::u16string> path;
    std::uint64_t offset = 0;
    std::uint32_t maxBytes = 0;

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.share);
        visit(self.path);
        visit(self.offset);
        visit(self.maxBytes);
    }
};

struct ReadReply {
    std::uint32_t status = 0;
    std::uint64_t size = 0;
    bool executable = false;
    std::vector<std::uint8_t> data;

    static void Fields(auto& self, auto& visit) {
        visit(self.status);
        visit(self.size);
        visit(self.executable);
        visit(self.data);
    }
};

} // namespace platform::filewire
