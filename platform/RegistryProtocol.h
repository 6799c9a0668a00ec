#pragma once
// The registry interface of a computer's ntnode (HKEY_LOCAL_MACHINE). Every request carries
// the caller's logon proof; a key is named by its whole path below the root.
#include "platform/LabWire.h"
#include "platform/LogonProof.h"

namespace platform::regwire {

// c6b34cc6-4a34-414b-acdb-ecaf6219ffba version 1.0
inline constexpr RPC_SYNTAX_IDENTIFIER kInterfaceId = {
    {0xc6b34cc6, 0x4a34, 0x414b, {0xac, 0xdb, 0xec, 0xaf, 0x62, 0x19, 0xff, 0xba}}, {1, 0}};

enum Procedure : std::uint32_t {
    kConnect = 0,     // KeyRequest (path "")  -> StatusReply
    kOpenKey = 1,     // KeyRequest            -> StatusReply
    kCreateKey = 2,   // KeyRequest            -> CreateKeyReply
    kQueryValue = 3,  // QueryValueRequest     -> QueryValueReply
    kSetValue = 4,    // SetValueRequest       -> StatusReply
    kDeleteValue = 5, // ValueRequest          -> StatusReply
    kDeleteKey = 6,   // KeyRequest            -> StatusReply
};
inline constexpr DWORD kProcedureCount = 7;

struct KeyRequest {
    logon::Proof proof;
    std::u16string path;
    std::uint32_t access = 0; // the REGSAM the caller asks for

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.path);
        visit(self.access);
    }
};

struct CreateKeyReply {
    std::uint32_t status = 0;
    std::uint32_t disposition = 0; // REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY

    static void Fields(auto& self, auto& visit) {
        visit(self.status);
        visit(self.disposition);
    }
};

struct ValueRequest {
    logon::Proof proof;
    std::u16string path;
    std::u16string name;

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.path);
        visit(self.name);
    }
};

struct QueryValueRequest {
    logon::Proof proof;
    std::u16string path;
    std::u16string name;
    bool wantData = false;      // false: the caller asks for the type and size only
    std::uint32_t capacity = 0; // bytes the caller's buffer holds

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.path);
        visit(self.name);
        visit(self.wantData);
        visit(self.capacity);
    }
};

struct QueryValueReply {
    std::uint32_t status = 0;
    std::uint32_t type = 0;
    std::uint32_t size = 0;         // the value's whole size in bytes
    std::vector<std::uint8_t> data; // the value when asked for and it fits, else empty

    static void Fields(auto& self, auto& visit) {
        visit(self.status);
        visit(self.type);
        visit(self.size);
        visit(self.data);
    }
};

struct SetValueRequest {
    logon::Proof proof;
    std::u16string path;
    std::u16string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;

    static void Fields(auto& self, auto& visit) {
        visit(self.proof);
        visit(self.path);
        visit(self.name);
        visit(self.type);
        visit(self.data);
    }
};

} // namespace platform::regwire
