#include "ntsim/node/NodeControlClient.h"

#include "platform/AsciiCase.h"
#include "platform/NodeConnection.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"

namespace ntsim::node {
namespace {

namespace controlwire = platform::controlwire;

const RPC_CLIENT_INTERFACE& ControlInterface() {
    static const RPC_CLIENT_INTERFACE clientInterface = platform::lab::ClientInterface(controlwire::kInterfaceId);
    return clientInterface;
}

template <class Reply>
RPC_STATUS CallNode(const platform::lab::ComputerDef& computer, controlwire::Procedure procedure, Reply& reply) {
    platform::lab::NodeConnection connection;
    platform::lab::ComputerAddress address{platform::ToUtf16(computer.name), computer.host, computer.port, false};
    RPC_STATUS status = static_cast<RPC_STATUS>(connection.OpenAt(address));
    if (status != RPC_S_OK) {
        return status;
    }
    return connection.Call(ControlInterface(), procedure, platform::wire::NoFields{}, reply);
}

} // namespace

RPC_STATUS PingNode(const lab::LabLayout& lab, const platform::lab::ComputerDef& computer, controlwire::PingReply& reply) {
    RPC_STATUS status = CallNode(computer, controlwire::kPing, reply);
    if (status == RPC_S_OK && (!platform::EqualsIgnoreCase(reply.computer, platform::ToUtf16(computer.name)) ||
                               reply.lab != platform::ToUtf16(lab.Folder().string()))) {
        return RPC_S_SERVER_UNAVAILABLE; // another lab's computer on that port
    }
    return status;
}

RPC_STATUS FetchNodeStatus(const lab::LabLayout& lab, const platform::lab::ComputerDef& computer, toml::table& document) {
    controlwire::PingReply ping;
    RPC_STATUS status = PingNode(lab, computer, ping);
    if (status != RPC_S_OK) {
        return status;
    }
    controlwire::StatusDocumentReply reply;
    status = CallNode(computer, controlwire::kStatus, reply);
    if (status != RPC_S_OK) {
        return status;
    }
    try {
        document = toml::parse(std::string_view(reinterpret_cast<const char*>(reply.document.data()), reply.document.size()));
    } catch (const toml::parse_error&) {
        return RPC_X_BAD_STUB_DATA;
    }
    return RPC_S_OK;
}

} // namespace ntsim::node
