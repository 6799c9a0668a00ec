#pragma once
// The endpoint map of a computer: the endpoints its RPC servers (the agent) listen on, by
// interface and protocol sequence, and the "endpoints" section of its status document.
#include "ntsim/node/NodeServer.h"
#include "platform/rpc/EndpointMap.h"

#include <mutex>
#include <vector>

namespace ntsim::node {

class EndpointTable {
public:
    static constexpr std::size_t kMaxEntries = 1024;

    // Replaces the entry of the same interface (UUID and version) and protocol sequence.
    // RPC_S_OUT_OF_RESOURCES when the table is full.
    RPC_STATUS Insert(const rpc::epmap::Entry& entry);
    RPC_STATUS Delete(const rpc::epmap::Entry& entry);
    // The endpoint for the interface's UUID and major version with a minor version not below
    // the one asked for; EPT_S_NOT_REGISTERED when none.
    RPC_STATUS Map(const rpc::epmap::Entry& wanted, std::u16string& endpoint);
    // The entries of processes that still run.
    std::vector<rpc::epmap::Entry> List();

private:
    void DropEnded(); // with m_mutex held

    std::mutex m_mutex;
    std::vector<rpc::epmap::Entry> m_entries;
};

void AddEndpointMapFamily(NodeServer& server);

} // namespace ntsim::node
