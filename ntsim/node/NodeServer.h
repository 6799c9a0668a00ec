#pragma once
// What a computer's ntnode serves and how it stops. Each family (registry, shares, files,
// event log, logon, endpoint map, service control manager, pipes, ...) adds its DCE/RPC
// interface here at start-up (see NodeFamilies.cpp), may add a section to the status document
// that `ntlab status` shows, and may add a step to run when the node stops (the service control
// manager stops the processes it started there). Serve() then listens on the computer's TCP
// port from the name directory until RequestStop().
#include "ntsim/node/Node.h"
#include "platform/rpc/RpcInterface.h"

#include <deque>
#include <functional>
#include <string>
#include <toml++/toml.h>
#include <vector>

namespace ntsim::node {

class NodeServer {
public:
    explicit NodeServer(Node& node);

    Node& Computer() { return m_node; }

    // Serves `dispatch` for procedures 0 .. procedureCount-1 of interface `id`.
    void AddInterface(const RPC_SYNTAX_IDENTIFIER& id, DWORD procedureCount, rpc::Dispatcher dispatch);

    // A list in the status document under `name` ("services", "shares", "endpoints", ...).
    void AddStatusSection(std::string name, std::function<toml::array()> section);

    // Run when the node stops, the last added first.
    void AddShutdownStep(std::function<void()> step);

    // The status document: computer, address, process id and every section.
    toml::table StatusDocument() const;

    // Listens on the computer's port until RequestStop(), then runs the shutdown steps and stops
    // the processes still recorded for the computer. 0, or the RPC status that kept it from
    // listening (the port is taken, ...).
    RPC_STATUS Serve();

    // From any thread (ntnode's signal thread); a request made before Serve listens counts too.
    static void RequestStop();

    // The dispatcher of an interface added here (for in-process tests of a family).
    const rpc::Dispatcher* FindDispatcher(const RPC_SYNTAX_IDENTIFIER& id) const;

private:
    void RunShutdownSteps();

    Node& m_node;
    std::deque<RPC_SERVER_INTERFACE> m_interfaces; // registered by address: never moved
    std::vector<std::pair<std::string, std::function<toml::array()>>> m_sections;
    std::vector<std::function<void()>> m_shutdownSteps;
};

} // namespace ntsim::node
