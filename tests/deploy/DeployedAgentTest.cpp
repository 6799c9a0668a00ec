// The agent that InstallAgent put on a node answers as the verification run reaches it: over the
// node's named pipe with the workstation's own account (procedures 0 and 1 succeed), and over
// TCP without credentials (reachable, but refused past the connectivity check). RemoveAgent
// then leaves the node as it was, its endpoints included.
#include "DeploymentLab.h"
#include "agent/include/NodeAgentClient.h"
#include "platform/WinError.h"
#include "platform/rpc/Rpc.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using deploytest::DeploymentLab;

// A client binding to `protseq`:`address`[`endpoint`], freed at the end of the scope.
class Binding {
public:
    Binding(std::u16string protseq, std::u16string address, std::u16string endpoint) {
        RPC_WSTR text = nullptr;
        m_status = RpcStringBindingComposeW(nullptr, protseq.data(), address.data(),
                                            endpoint.empty() ? nullptr : endpoint.data(), nullptr, &text);
        if (m_status == RPC_S_OK) {
            m_status = RpcBindingFromStringBindingW(text, &m_handle);
            RpcStringFreeW(&text);
        }
    }
    ~Binding() {
        if (m_handle != nullptr) {
            RpcBindingFree(&m_handle);
        }
    }
    Binding(const Binding&) = delete;
    Binding& operator=(const Binding&) = delete;

    RPC_STATUS Status() const { return m_status; }
    RPC_BINDING_HANDLE Handle() const { return m_handle; }

private:
    RPC_STATUS m_status = RPC_S_OK;
    RPC_BINDING_HANDLE m_handle = nullptr;
};

constexpr const char* kNodeAgentInterface = "df34bdae-f157-11d0-95da-00805fe6d053";

class DeployedAgent : public DeploymentLab {
protected:
    // The endpoints of the NodeAgent interface in NODE1's endpoint map, by protocol sequence.
    std::vector<std::pair<std::string, std::string>> AgentEndpoints() const {
        std::vector<std::pair<std::string, std::string>> endpoints;
        const toml::table document = Status();
        if (const toml::array* entries = document["endpoints"].as_array()) {
            for (const toml::node& entry : *entries) {
                const toml::table& fields = *entry.as_table();
                if (fields["interface"].value_or(std::string()) == kNodeAgentInterface) {
                    endpoints.emplace_back(fields["protseq"].value_or(std::string()),
                                           fields["endpoint"].value_or(std::string()));
                }
            }
        }
        return endpoints;
    }
};

TEST_F(DeployedAgent, AnswersTheConsoleOverThePipeAndRefusesAnonymousCallersOverTcp) {
    const std::string before = Footprint();
    ASSERT_EQ(Install().status, ERROR_SUCCESS);

    // As a node worker binds: the node's computer name, no endpoint, the caller's own account.
    const Binding pipe(u"ncacn_np", u"NODE1", u"");
    ASSERT_EQ(pipe.Status(), RPC_S_OK);
    ASSERT_EQ(RpcBindingSetAuthInfoW(pipe.Handle(), nullptr, RPC_C_AUTHN_LEVEL_NONE, RPC_C_AUTHN_WINNT,
                                     nullptr, RPC_C_AUTHZ_NONE),
              RPC_S_OK);
    EXPECT_EQ(nodeagent::Ping(pipe.Handle()), RPC_S_OK);
    EXPECT_EQ(nodeagent::CheckAccess(pipe.Handle()), RPC_S_OK);

    // The TCP endpoint the agent registered, called without credentials.
    std::string tcpEndpoint;
    for (const auto& [protseq, endpoint] : AgentEndpoints()) {
        if (protseq == "ncacn_ip_tcp") {
            tcpEndpoint = endpoint;
        }
    }
    ASSERT_FALSE(tcpEndpoint.empty());
    const Binding tcp(u"ncacn_ip_tcp", u"127.0.0.1", std::u16string(tcpEndpoint.begin(), tcpEndpoint.end()));
    ASSERT_EQ(tcp.Status(), RPC_S_OK);
    EXPECT_EQ(nodeagent::CheckAccess(tcp.Handle()), static_cast<RPC_STATUS>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(nodeagent::Ping(tcp.Handle()), RPC_S_OK);

    const Outcome removed = Remove();
    EXPECT_TRUE(removed.status);
    EXPECT_EQ(Footprint(), before);
    EXPECT_TRUE(AgentEndpoints().empty());
}

} // namespace
