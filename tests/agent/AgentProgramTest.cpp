// The agent program run from a prompt: "-debug" serves in the foreground until Ctrl+C,
// Ctrl+Break or a request to terminate, and each option prints its texts and exits with 0.
#include "tests/agent/AgentBinding.h"
#include "tests/agent/ChildProgram.h"

#include "agent/include/NodeAgent.h"
#include "agent/include/NodeAgentClient.h"
#include "platform/Clock.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/rpc/EndpointMapClient.h"
#include "platform/rpc/Rpc.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

namespace {

using agenttest::ChildProgram;

// The endpoint `pid` registered for the NodeAgent interface on `protseq`, once it has.
std::optional<std::u16string> RegisteredEndpoint(pid_t pid, std::u16string_view protseq) {
    std::vector<rpc::epmap::Entry> entries;
    if (rpc::ListEndpoints(u"", entries) != RPC_S_OK) {
        return std::nullopt;
    }
    for (const rpc::epmap::Entry& entry : entries) {
        if (entry.processId == static_cast<std::uint32_t>(pid) && entry.protseq == protseq &&
            entry.interfaceId.SyntaxGUID == nodeagent::kInterfaceId.SyntaxGUID) {
            return entry.endpoint;
        }
    }
    return std::nullopt;
}

std::optional<std::u16string> WaitForRegistration(ChildProgram& agent, std::u16string_view protseq) {
    const auto deadline = platform::DeadlineAfter(30000);
    while (agent.Running() && std::chrono::steady_clock::now() < deadline) {
        if (auto endpoint = RegisteredEndpoint(agent.Pid(), protseq)) {
            return endpoint;
        }
        Sleep(20);
    }
    return std::nullopt;
}

struct StopCase {
    const char* name;
    int signal;
};

class AgentDebugRun : public testing::TestWithParam<StopCase> {};

TEST_P(AgentDebugRun, ServesUntilStoppedFromTheConsole) {
    ChildProgram agent(agenttest::BuildProgram("VtarnSvc.exe"), {"-debug"});
    std::optional<std::u16string> port = WaitForRegistration(agent, u"ncacn_ip_tcp");
    ASSERT_TRUE(port) << "no endpoint registered; output: " << agent.Output();
    {
        agenttest::AgentBinding binding(u"ncacn_ip_tcp:127.0.0.1[" + *port + u"]");
        EXPECT_EQ(nodeagent::Ping(binding.Handle()), RPC_S_OK);
        EXPECT_EQ(nodeagent::CheckAccess(binding.Handle()), ERROR_ACCESS_DENIED); // TCP callers are anonymous
    }

    const pid_t pid = agent.Pid();
    agent.Signal(GetParam().signal);

    EXPECT_EQ(agent.WaitForExit(), 0);
    EXPECT_EQ(agent.Output(), "Debugging Vtarn RPC Service.\nStopping Vtarn RPC Service.\n");
    EXPECT_FALSE(RegisteredEndpoint(pid, u"ncacn_ip_tcp")) << "the endpoints are unregistered at the stop";
}

INSTANTIATE_TEST_SUITE_P(Signals, AgentDebugRun,
                         testing::Values(StopCase{"CtrlC", SIGINT}, StopCase{"CtrlBreak", SIGQUIT},
                                         StopCase{"Terminate", SIGTERM}),
                         [](const testing::TestParamInfo<StopCase>& param) { return param.param.name; });

} // namespace
