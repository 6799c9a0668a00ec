#include "ntsim/node/LogonFamily.h"

#include "platform/LogonProtocol.h"

namespace ntsim::node {

namespace wire = platform::wire;
namespace logon = platform::logon;

void AddLogonFamily(NodeServer& server) {
    Node& node = server.Computer();
    server.AddInterface(logon::kLogonInterfaceId, logon::kLogonProcedureCount,
                        [&node](std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) -> RPC_STATUS {
                            if (opnum != logon::kGetChallenge) {
                                return RPC_S_PROCNUM_OUT_OF_RANGE;
                            }
                            return wire::ServeCall<wire::NoFields, logon::ChallengeReply>(
                                request, reply, [&](const wire::NoFields&) {
                                    logon::ChallengeReply answer;
                                    answer.status = node.Logon().IssueChallenge(answer.challenge);
                                    return answer;
                                });
                        });
}

} // namespace ntsim::node
