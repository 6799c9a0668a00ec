#pragma once
// The endpoint map interface: each computer keeps a table of the endpoints its RPC servers
// listen on, by interface and protocol sequence (served by the computer's ntnode on its
// well-known TCP port). A server registers its endpoints (RpcEpRegisterW); a client whose
// binding names no endpoint looks one up before its first call.
//
// Procedures and their bodies (NDR, little-endian):
//   0 EpInsert   request: entry                     reply: status
//   1 EpDelete   request: entry                     reply: status
//   2 EpMap      request: entry (interface, protseq) reply: endpoint (string), status
//   3 EpList     request: index (long)              reply: entry, status
// entry: interface UUID (conformant byte array of 16, UUID wire form), major and minor version
// (longs), protocol sequence, endpoint, annotation (strings), registering process id (long).
// EpInsert replaces an entry of the same interface (UUID and version) and protocol sequence, so
// that a restarted server's endpoint supersedes the one of the process before it; the process
// id lets the map drop the entries of processes that have ended. EpMap matches the UUID and
// major version, with a minor version not below the one asked for. Not found, or an index past
// the last entry: EPT_S_NOT_REGISTERED.
#include "platform/rpc/Ndr.h"
#include "platform/rpc/RpcInterface.h"

#include <string>

namespace rpc::epmap {

inline constexpr RPC_SYNTAX_IDENTIFIER kInterfaceId = {
    {0x9a35e9e5, 0x902c, 0x4700, {0xa6, 0x85, 0xa6, 0x32, 0x3a, 0x91, 0xbb, 0x45}}, {1, 0}};

enum Procedure : std::uint32_t {
    EpInsert = 0,
    EpDelete = 1,
    EpMap = 2,
    EpList = 3,
};
inline constexpr DWORD kProcedureCount = 4;

// Texts longer than this (in characters, without the NUL) are bad stub data.
inline constexpr std::size_t kMaxTextLength = 260;

struct Entry {
    RPC_SYNTAX_IDENTIFIER interfaceId{};
    std::u16string protseq;
    std::u16string endpoint;
    std::u16string annotation;
    std::uint32_t processId = 0;
};

void WriteText(NdrWriter& writer, std::u16string_view text);
RPC_STATUS ReadText(NdrReader& reader, std::u16string& text);

void WriteEntry(NdrWriter& writer, const Entry& entry);
RPC_STATUS ReadEntry(NdrReader& reader, Entry& entry);

} // namespace rpc::epmap
