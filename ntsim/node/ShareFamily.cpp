#include "ntsim/node/ShareFamily.h"

#include "ntsim/node/CallerGate.h"
#include "platform/FilesProtocol.h"
#include "platform/NetShare.h"
#include "platform/NetShareProtocol.h"
#include "platform/Utf16.h"

namespace ntsim::node {
namespace {

namespace wire = platform::wire;
namespace sharewire = platform::sharewire;
namespace filewire = platform::filewire;

// The fields of `share` that NetShareGetInfo at `level` gives.
sharewire::ShareRecord RecordAtLevel(const Share& share, std::uint32_t level) {
    sharewire::ShareRecord record;
    record.name = share.name;
    if (level >= 1) {
        record.type = share.type;
        record.remark = share.remark;
    }
    if (level >= 2) {
        record.permissions = share.permissions;
        record.maxUses = share.maxUses;
        record.currentUses = share.currentUses;
        record.path = share.path;
        record.password = share.password;
    }
    return record;
}

RPC_STATUS DispatchShares(Node& node, std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
    switch (opnum) {
    case sharewire::kGetInfo:
        return ServeForCaller<sharewire::NameRequest, sharewire::ShareReply>(
            node, request, reply, "NetShareGetInfo", Access::SignedIn,
            [&](const sharewire::NameRequest& call, const Caller& caller) {
                sharewire::ShareReply answer;
                if (call.level > 2) {
                    answer.status = ERROR_INVALID_LEVEL;
                } else if (call.level == 2 && !caller.administrator) {
                    answer.status = ERROR_ACCESS_DENIED; // the path and the uses are for administrators
                } else {
                    Share share;
                    answer.status = node.Shares().Get(call.name, share);
                    if (answer.status == NERR_Success) {
                        answer.share = RecordAtLevel(share, call.level);
                    }
                }
                return answer;
            });
    case sharewire::kAdd:
        return ServeForCaller<sharewire::AddRequest, sharewire::AddReply>(
            node, request, reply, "NetShareAdd", Access::Administrator,
            [&](const sharewire::AddRequest& call, const Caller&) {
                Share share;
                share.name = call.share.name;
                share.type = call.share.type;
                share.remark = call.share.remark;
                share.permissions = call.share.permissions;
                share.maxUses = call.share.maxUses;
                share.path = call.share.path;
                share.password = call.share.password;
                sharewire::AddReply answer;
                answer.status = node.Shares().Add(std::move(share), answer.parmError);
                return answer;
            });
    case sharewire::kDelete:
        return ServeForCaller<sharewire::NameRequest, wire::StatusReply>(
            node, request, reply, "NetShareDel", Access::Administrator,
            [&](const sharewire::NameRequest& call, const Caller&) {
                return wire::StatusReply{node.Shares().Delete(call.name)};
            });
    default:
        return RPC_S_PROCNUM_OUT_OF_RANGE;
    }
}

RPC_STATUS DispatchFiles(Node& node, std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
    switch (opnum) {
    case filewire::kBeginWrite:
        return ServeForCaller<filewire::BeginWriteRequest, filewire::BeginWriteReply>(
            node, request, reply, "CopyFileW", Access::Anyone,
            [&](const filewire::BeginWriteRequest& call, const Caller& caller) {
                filewire::BeginWriteReply answer;
                answer.status = node.Files().BeginWrite(caller, call.share, call.path, call.failIfExists,
                                                        call.executable, answer.transfer);
                return answer;
            });
    case filewire::kWrite:
        // The transfer number, known only to the caller that began the copy, stands for it.
        return wire::ServeCall<filewire::WriteRequest, wire::StatusReply>(
            request, reply, [&](const filewire::WriteRequest& call) {
                return wire::StatusReply{node.Files().Write(call.transfer, call.offset, call.data)};
            });
    case filewire::kEndWrite:
        return wire::ServeCall<filewire::EndWriteRequest, wire::StatusReply>(
            request, reply, [&](const filewire::EndWriteRequest& call) {
                return wire::StatusReply{node.Files().End(call.transfer, call.commit)};
            });
    case filewire::kRead:
        return ServeForCaller<filewire::ReadRequest, filewire::ReadReply>(
            node, request, reply, "ReadFile", Access::Anyone,
            [&](const filewire::ReadRequest& call, const Caller& caller) {
                filewire::ReadReply answer;
                answer.status = node.Files().Read(caller, call.share, call.path, call.offset,
                                                  std::min(call.maxBytes, filewire::kChunkBytes), answer.data,
                                                  answer.size, answer.executable);
                return answer;
            });
    case filewire::kDelete:
        return ServeForCaller<filewire::PathRequest, wire::StatusReply>(
            node, request, reply, "DeleteFileW", Access::Anyone,
            [&](const filewire::PathRequest& call, const Caller& caller) {
                return wire::StatusReply{node.Files().Delete(caller, call.share, call.path)};
            });
    default:
        return RPC_S_PROCNUM_OUT_OF_RANGE;
    }
}

toml::array ShareSection(Node& node) {
    toml::array shares;
    for (const Share& share : node.Shares().List()) {
        shares.push_back(toml::table{{"name", platform::ToUtf8(share.name)},
                                     {"type", static_cast<std::int64_t>(share.type)},
                                     {"path", platform::ToUtf8(share.path)},
                                     {"remark", platform::ToUtf8(share.remark)},
                                     {"permissions", static_cast<std::int64_t>(share.permissions)},
                                     {"max_uses", static_cast<std::int64_t>(share.maxUses)}});
    }
    return shares;
}

} // namespace

void AddShareFamily(NodeServer& server) {
    Node& node = server.Computer();
    server.AddInterface(sharewire::kInterfaceId, sharewire::kProcedureCount,
                        [&node](std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
                            return DispatchShares(node, opnum, request, reply);
                        });
    server.AddStatusSection("shares", [&node] { return ShareSection(node); });
}

void AddFileFamily(NodeServer& server) {
    Node& node = server.Computer();
    server.AddInterface(filewire::kInterfaceId, filewire::kProcedureCount,
                        [&node](std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
                            return DispatchFiles(node, opnum, request, reply);
                        });
}

} // namespace ntsim::node
