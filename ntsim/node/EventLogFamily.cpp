#include "ntsim/node/EventLogFamily.h"

#include "ntsim/node/CallerGate.h"
#include "platform/EventLogProtocol.h"

namespace ntsim::node {
namespace {

namespace wire = platform::wire;
namespace eventwire = platform::eventwire;

RPC_STATUS DispatchEventLog(Node& node, std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
    switch (opnum) {
    case eventwire::kOpen:
        return ServeForCaller<eventwire::OpenRequest, wire::StatusReply>(
            node, request, reply, "RegisterEventSourceW", Access::SignedIn,
            [&](const eventwire::OpenRequest& call, const Caller&) {
                return wire::StatusReply{call.source.empty() ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS};
            });
    case eventwire::kReport:
        return ServeForCaller<eventwire::ReportRequest, wire::StatusReply>(
            node, request, reply, "ReportEventW", Access::SignedIn,
            [&](const eventwire::ReportRequest& call, const Caller& caller) {
                if (call.type > 0xFFFF || call.category > 0xFFFF) {
                    return wire::StatusReply{ERROR_INVALID_PARAMETER};
                }
                EventRecord record;
                record.source = call.source;
                record.type = static_cast<WORD>(call.type);
                record.category = static_cast<WORD>(call.category);
                record.eventId = call.eventId;
                record.user = caller.kind == Caller::Kind::System ? "SYSTEM" : caller.account;
                record.strings = call.strings;
                record.data = call.data;
                return wire::StatusReply{node.EventLog().Append(record)};
            });
    default:
        return RPC_S_PROCNUM_OUT_OF_RANGE;
    }
}

} // namespace

void AddEventLogFamily(NodeServer& server) {
    Node& node = server.Computer();
    server.AddInterface(eventwire::kInterfaceId, eventwire::kProcedureCount,
                        [&node](std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
                            return DispatchEventLog(node, opnum, request, reply);
                        });
}

} // namespace ntsim::node
