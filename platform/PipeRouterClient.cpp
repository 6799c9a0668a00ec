// The pipe family's link to the lab's computers: every request goes to the pipe router of the
// computer's ntnode, with this process's proof of who it is (LabIdentity.h).
#include "platform/NodeConnection.h"
#include "platform/PipeRouterLink.h"
#include "platform/PipeRouterProtocol.h"
#include "platform/WinError.h"

namespace platform {
namespace {

namespace routerwire = platform::pipewire;

const RPC_CLIENT_INTERFACE& RouterInterface() {
    static const RPC_CLIENT_INTERFACE kRouter = lab::ClientInterface(routerwire::kRouterInterfaceId);
    return kRouter;
}

// A status of the call itself (not the router's answer) as the pipe operations report it.
DWORD CallFailure(RPC_STATUS status) {
    return lab::IsUnreachable(static_cast<DWORD>(status)) ? ERROR_BAD_NETPATH : static_cast<DWORD>(status);
}

class NodePipeRouterLink final : public PipeRouterLink {
public:
    DWORD ServingHost(std::string& host) override {
        lab::ComputerAddress address;
        if (lab::OwnComputer().empty() || lab::FindComputer(u"", address) != ERROR_SUCCESS) {
            return ERROR_PATH_NOT_FOUND;
        }
        host = address.host;
        return ERROR_SUCCESS;
    }

    DWORD Register(const PipeRegistration& registration, std::uint64_t& id) override {
        lab::NodeConnection connection;
        routerwire::RegisterRequest request;
        DWORD status = Start(connection, u"", request.proof);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        request.name = registration.name;
        request.port = registration.port;
        request.maxInstances = registration.maxInstances;
        request.pid = static_cast<std::uint32_t>(registration.pid);
        request.secret = registration.secret;
        routerwire::RegisterReply reply;
        RPC_STATUS called = connection.Call(RouterInterface(), routerwire::kRegister, request, reply);
        if (called != RPC_S_OK) {
            return CallFailure(called);
        }
        id = reply.id;
        return reply.status;
    }

    DWORD Unregister(std::uint64_t id) override {
        lab::NodeConnection connection;
        routerwire::UnregisterRequest request;
        DWORD status = Start(connection, u"", request.proof);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        request.id = id;
        wire::StatusReply reply;
        RPC_STATUS called = connection.Call(RouterInterface(), routerwire::kUnregister, request, reply);
        return called != RPC_S_OK ? CallFailure(called) : reply.status;
    }

    DWORD Open(std::u16string_view computer, std::u16string_view name, std::string& host,
               std::vector<PipeOffer>& offers) override {
        offers.clear();
        lab::NodeConnection connection;
        std::uint32_t instances = 1;
        for (std::uint32_t index = 0; index < instances; ++index) {
            routerwire::OpenRequest request;
            DWORD status = Start(connection, computer, request.proof);
            if (status != ERROR_SUCCESS) {
                return status;
            }
            request.name = std::u16string(name);
            request.index = index;
            routerwire::OpenReply reply;
            RPC_STATUS called = connection.Call(RouterInterface(), routerwire::kOpen, request, reply);
            if (called != RPC_S_OK) {
                return CallFailure(called);
            }
            if (reply.status != ERROR_SUCCESS) {
                return reply.status;
            }
            instances = std::min<std::uint32_t>(reply.instances, kMostInstances);
            if (index < reply.instances && reply.port != 0 && reply.port <= 0xFFFF) {
                offers.push_back({static_cast<std::uint16_t>(reply.port), std::move(reply.ticket)});
            }
        }
        host = connection.Address().host;
        return offers.empty() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
    }

private:
    // No more instances than a name can have are asked for, whatever the router says.
    static constexpr std::uint32_t kMostInstances = 255;

    // Opens the connection (once) and proves this process for the next call.
    static DWORD Start(lab::NodeConnection& connection, std::u16string_view computer, logon::Proof& proof) {
        if (connection.Address().port == 0) {
            DWORD status = connection.Open(computer);
            if (status != ERROR_SUCCESS) {
                return CallFailure(static_cast<RPC_STATUS>(status));
            }
        }
        RPC_STATUS proved = connection.Prove(proof);
        return proved == RPC_S_OK ? ERROR_SUCCESS : CallFailure(proved);
    }
};

} // namespace

std::shared_ptr<PipeRouterLink> MakeNodePipeRouterLink() { return std::make_shared<NodePipeRouterLink>(); }

} // namespace platform
