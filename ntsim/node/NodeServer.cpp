#include "ntsim/node/NodeServer.h"

#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/rpc/Rpc.h"

#include <condition_variable>
#include <mutex>
#include <unistd.h>

namespace ntsim::node {

namespace {

// Program time the processes of the computer have to end after SIGTERM when the node stops.
constexpr DWORD kProcessGrace = 3000;

// A stop asked for before the server listens must not be lost, so it is kept here until Serve
// sees it.
struct StopRequest {
    std::mutex mutex;
    std::condition_variable changed;
    bool requested = false;
};

StopRequest& TheStopRequest() {
    static auto* request = new StopRequest;
    return *request;
}

} // namespace

NodeServer::NodeServer(Node& node) : m_node(node) {}

void NodeServer::AddInterface(const RPC_SYNTAX_IDENTIFIER& id, DWORD procedureCount, rpc::Dispatcher dispatch) {
    m_interfaces.push_back(RPC_SERVER_INTERFACE{id, NdrTransferSyntax, procedureCount, std::move(dispatch)});
}

void NodeServer::AddStatusSection(std::string name, std::function<toml::array()> section) {
    m_sections.emplace_back(std::move(name), std::move(section));
}

void NodeServer::AddShutdownStep(std::function<void()> step) { m_shutdownSteps.push_back(std::move(step)); }

const rpc::Dispatcher* NodeServer::FindDispatcher(const RPC_SYNTAX_IDENTIFIER& id) const {
    for (const RPC_SERVER_INTERFACE& entry : m_interfaces) {
        if (entry.InterfaceId.SyntaxGUID == id.SyntaxGUID &&
            entry.InterfaceId.SyntaxVersion.MajorVersion == id.SyntaxVersion.MajorVersion) {
            return &entry.Dispatch;
        }
    }
    return nullptr;
}

toml::table NodeServer::StatusDocument() const {
    const platform::lab::ComputerDef& computer = m_node.Computer();
    toml::table document{{"computer", computer.name},
                         {"address", computer.host + ":" + std::to_string(computer.port)},
                         {"pid", static_cast<std::int64_t>(::getpid())}};
    for (const auto& [name, section] : m_sections) {
        document.insert_or_assign(name, section());
    }
    return document;
}

void NodeServer::RequestStop() {
    StopRequest& stop = TheStopRequest();
    {
        std::lock_guard lock(stop.mutex);
        stop.requested = true;
    }
    stop.changed.notify_all();
}

void NodeServer::RunShutdownSteps() {
    for (auto step = m_shutdownSteps.rbegin(); step != m_shutdownSteps.rend(); ++step) {
        (*step)();
    }
    m_node.Processes().StopAll(kProcessGrace, m_node.Layout().Folder());
}

RPC_STATUS NodeServer::Serve() {
    std::u16string port = platform::ToUtf16(std::to_string(m_node.Computer().port));
    std::u16string protseq = u"ncacn_ip_tcp";
    RPC_STATUS status = RpcServerUseProtseqEpW(protseq.data(), RPC_C_PROTSEQ_MAX_REQS_DEFAULT, port.data(), nullptr);
    for (RPC_SERVER_INTERFACE& entry : m_interfaces) {
        if (status == RPC_S_OK) {
            status = RpcServerRegisterIf(&entry, nullptr, nullptr);
        }
    }
    if (status == RPC_S_OK) {
        status = RpcServerListen(1, RPC_C_LISTEN_MAX_CALLS_DEFAULT, 1);
    }
    if (status == RPC_S_OK) {
        StopRequest& stop = TheStopRequest();
        std::unique_lock lock(stop.mutex);
        stop.changed.wait(lock, [&] { return stop.requested; });
        lock.unlock();
        RpcMgmtStopServerListening(nullptr);
        RpcMgmtWaitServerListen(); // the calls in progress finish first
    }
    RunShutdownSteps();
    return status;
}

} // namespace ntsim::node
