#include "ntsim/node/PipeFamily.h"

#include "ntsim/node/CallerGate.h"
#include "platform/PipeRouterProtocol.h"
#include "platform/Utf16.h"

#include <memory>

namespace ntsim::node {
namespace {

namespace wire = platform::wire;
namespace pipewire = platform::pipewire;

toml::array PipeSection(PipeRouter& router) {
    toml::array pipes;
    for (const PipeSummary& pipe : router.List()) {
        pipes.push_back(toml::table{{"name", platform::ToUtf8(pipe.name)},
                                    {"port", static_cast<std::int64_t>(pipe.port)},
                                    {"pid", static_cast<std::int64_t>(pipe.pid)}});
    }
    return pipes;
}

} // namespace

RPC_STATUS DispatchPipeCall(Node& node, PipeRouter& router, std::uint32_t opnum, rpc::ByteView request,
                            rpc::Bytes& reply) {
    switch (opnum) {
    case pipewire::kRegister:
        return ServeForCaller<pipewire::RegisterRequest, pipewire::RegisterReply>(
            node, request, reply, "CreateNamedPipeW", Access::Anyone,
            [&](const pipewire::RegisterRequest& call, const Caller& caller) {
                platform::PipeRegistration registration;
                registration.name = call.name;
                registration.port = call.port <= 0xFFFF ? static_cast<std::uint16_t>(call.port) : 0;
                registration.maxInstances = call.maxInstances;
                registration.pid = static_cast<std::int32_t>(call.pid);
                registration.secret = call.secret;
                pipewire::RegisterReply answer;
                answer.status = router.Register(caller, registration, answer.id);
                return answer;
            });
    case pipewire::kUnregister:
        return ServeForCaller<pipewire::UnregisterRequest, wire::StatusReply>(
            node, request, reply, "CloseHandle", Access::Anyone,
            [&](const pipewire::UnregisterRequest& call, const Caller& caller) {
                return wire::StatusReply{router.Unregister(caller, call.id)};
            });
    case pipewire::kOpen:
        return ServeForCaller<pipewire::OpenRequest, pipewire::OpenReply>(
            node, request, reply, "CreateFileW", Access::Anyone,
            [&](const pipewire::OpenRequest& call, const Caller& caller) {
                std::vector<platform::PipeOffer> offers;
                pipewire::OpenReply answer;
                answer.status = router.Open(caller, call.name, offers);
                answer.instances = static_cast<std::uint32_t>(offers.size());
                if (answer.status == ERROR_SUCCESS && call.index < offers.size()) {
                    answer.port = offers[call.index].port;
                    answer.ticket = std::move(offers[call.index].ticket);
                }
                return answer;
            });
    default:
        return RPC_S_PROCNUM_OUT_OF_RANGE;
    }
}

void AddPipeFamily(NodeServer& server) {
    Node& node = server.Computer();
    auto router = std::make_shared<PipeRouter>([&node] { return ReadNullSessionPipes(node.Registry()); });
    server.AddInterface(pipewire::kRouterInterfaceId, pipewire::kRouterProcedureCount,
                        [&node, router](std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
                            return DispatchPipeCall(node, *router, opnum, request, reply);
                        });
    server.AddStatusSection("pipes", [router] { return PipeSection(*router); });
}

} // namespace ntsim::node
