// How the agent's RPC server starts when the start-up does not go as planned: no protocol
// sequence at all, a status report the service control manager refuses, a stop that comes
// before the server listens.
#include "tests/agent/ServerHarness.h"
#include "tests/agent/TestTransports.h"

#include "agent/endpoint/RpcServer.h"
#include "platform/Service.h"
#include "platform/WinError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>

namespace {

using namespace agenttest;

RPC_STATUS RunServerWith(const std::vector<const WCHAR*>& argv, RecordingHost& host) {
    return agent::RunServer(static_cast<DWORD>(argv.size()), argv.data(), host);
}

TEST(AgentRpcServerStartup, WithoutAnyProtocolSequenceLogsAndEnds) {
    WithoutTransports none({u"ncalrpc", u"ncacn_ip_tcp", u"ncacn_np"});
    RecordingHost host;

    EXPECT_EQ(RunServerWith({u"VtarnService", u"1"}, host), RPC_S_PROTSEQ_NOT_SUPPORTED);

    const std::vector<StatusReport> fourAttempts(4,
                                                 {SERVICE_START_PENDING, 0, agent::kStartPendingWaitHintMs});
    EXPECT_EQ(host.Reports(), fourAttempts);
    // The event carries why, and so does the exit code the service stops with.
    EXPECT_EQ(host.Events(),
              (std::vector<LoggedEvent>{{RPC_S_PROTSEQ_NOT_SUPPORTED, u"RpcServerUseProtseq() failed\n"}}));
}

// A refused report ends the start-up before the step it announces; nothing is logged here (the
// service host logs the refusal itself) and the run ends with the refusal's error.
TEST(AgentRpcServerStartup, ARefusedReportEndsTheStartup) {
    InstallAuthenticatedPipes();
    for (std::size_t refused : {1u, 4u, 5u, 8u}) {
        RecordingHost host(refused);

        EXPECT_EQ(RunServerWith({u"VtarnService", u"1"}, host), RPC_STATUS{RecordingHost::kRefusalError})
            << "report " << refused;

        const std::vector<StatusReport> reports = host.Reports();
        EXPECT_EQ(reports.size(), refused);
        EXPECT_EQ(std::count_if(reports.begin(), reports.end(),
                                [](const StatusReport& r) { return r.state == SERVICE_RUNNING; }),
                  0);
        EXPECT_TRUE(host.Events().empty());
    }
}

TEST(AgentRpcServerStartup, AStopBeforeListeningEndsTheRunOnceItListens) {
    InstallAuthenticatedPipes();
    RecordingHost host;
    agent::StopServer();

    auto run = std::async(std::launch::async, [&] { return RunServerWith({u"VtarnService"}, host); });
    if (run.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        agent::StopServer(); // lets the test end; the stop was lost
        FAIL() << "the stop that came before listening was lost";
    }
    EXPECT_EQ(run.get(), RPC_S_OK);
    EXPECT_EQ(host.Reports(), FullStartupReports());
}

} // namespace
