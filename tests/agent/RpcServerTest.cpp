// The agent's RPC server as the console meets it: registered on the protocol sequences the
// run time offers, found through the endpoint map, serving Ping to everyone and every other
// procedure only to an authenticated caller, and answering the procedures whose probes are not
// built yet with ERROR_CALL_NOT_IMPLEMENTED.
#include "tests/agent/AgentBinding.h"
#include "tests/agent/ServerHarness.h"
#include "tests/agent/TestTransports.h"

#include "agent/endpoint/NodeKey.h"
#include "agent/include/NodeAgent.h"
#include "agent/include/NodeAgentClient.h"
#include "platform/WinError.h"
#include "platform/rpc/EndpointMapClient.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using namespace agenttest;
using namespace nodeagent;

// One server for the suite, started with "2" like the console's second node, on a run time
// that has no local transport: of the four protocol sequences only "ncacn_ip_tcp" and
// "ncacn_np" can be registered.
class AgentRpcServer : public testing::Test {
protected:
    static void SetUpTestSuite() {
        InstallAuthenticatedPipes();
        WithoutTransports noLocalRpc({u"ncalrpc"});
        host = new RecordingHost;
        server = new BackgroundServer({u"VtarnService", u"2"}, *host);
        host->WaitUntilRunning();
    }
    static void TearDownTestSuite() {
        delete server;
        delete host;
    }

    static RecordingHost* host;
    static BackgroundServer* server;
};

RecordingHost* AgentRpcServer::host = nullptr;
BackgroundServer* AgentRpcServer::server = nullptr;

TEST_F(AgentRpcServer, ReportsEachStartupStepThenRunning) {
    EXPECT_EQ(host->Reports(), FullStartupReports());
    EXPECT_TRUE(host->Events().empty());
}

TEST_F(AgentRpcServer, TakesTheNodeKeyFromItsStartArgument) {
    EXPECT_EQ(agent::NodeKey(), 2);
}

struct AccessCase {
    const char* name;
    const WCHAR* stringBinding;
    std::function<RPC_STATUS(handle_t)> call;
    RPC_STATUS expected;
};

RPC_STATUS CallRunCommand(handle_t binding) {
    WCHAR command[kCommandChars] = u"ping -n 1 10.0.0.2";
    WCHAR output[kCommandOutputChars];
    LONG length = -1;
    return RunCommand(binding, command, kCommandChars, output, kCommandOutputChars, &length);
}

RPC_STATUS CallTestStorage(handle_t binding) {
    auto record = std::make_unique<WCHAR[]>(kStorageRecordChars);
    return TestStorage(binding, u"NODE1", 0, record.get(), kStorageRecordChars);
}

TEST_F(AgentRpcServer, ServesAnonymousCallersOnlyPing) {
    const AccessCase cases[] = {
        {"Ping over authenticated pipes", u"ncacn_np:", Ping, RPC_S_OK},
        {"CheckAccess over authenticated pipes", u"ncacn_np:", CheckAccess, RPC_S_OK},
        {"Ping over TCP", u"ncacn_ip_tcp:", Ping, RPC_S_OK},
        {"CheckAccess over TCP", u"ncacn_ip_tcp:", CheckAccess, ERROR_ACCESS_DENIED},
        {"RunCommand over TCP", u"ncacn_ip_tcp:", CallRunCommand, ERROR_ACCESS_DENIED},
        {"TestStorage over TCP", u"ncacn_ip_tcp:", CallTestStorage, ERROR_ACCESS_DENIED},
    };
    for (const AccessCase& c : cases) {
        AgentBinding binding(c.stringBinding);
        ASSERT_NE(binding.Handle(), nullptr) << c.name;
        EXPECT_EQ(c.call(binding.Handle()), c.expected) << c.name;
    }
}

struct UnbuiltCase {
    Opnum procedure;
    std::function<RPC_STATUS(handle_t)> call;
};

// Every output buffer at the size the console passes.
struct ConsoleBuffers {
    WCHAR a[kStorageRecordChars];
    WCHAR b[kIpConfigChars];
    WCHAR c[kReserveReleaseChars];
    LONG in1 = 0;
    LONG in2 = 0;
};

TEST_F(AgentRpcServer, AnswersProceduresWithoutProbeWithCallNotImplemented) {
    auto buffers = std::make_unique<ConsoleBuffers>();
    ConsoleBuffers& x = *buffers;
    WCHAR command[kCommandChars] = u"ping -n 1 10.0.0.2";
    const UnbuiltCase cases[] = {
        {kGetMachineModel, [&](handle_t h) { return GetMachineModel(h, 0, x.a, kModelChars); }},
        {kGetOsVersion, [&](handle_t h) { return GetOsVersion(h, x.a, kOsVersionChars); }},
        {kGetClusterInfo,
         [&](handle_t h) {
             return GetClusterInfo(h, u"NODE2", &x.in1, &x.in2, x.a, kClusterNameChars, x.b,
                                   kClusterVersionChars);
         }},
        {kGetNicSlots,
         [&](handle_t h) {
             return GetNicSlots(h, nullptr, &x.in1, x.a, kAdapterListChars, &x.in2, x.b, kOtherAdaptersChars);
         }},
        {kCheckDomain,
         [&](handle_t h) { return CheckDomain(h, nullptr, x.a, kDomainChars, x.b, kOtherDomainChars); }},
        {kGetIpConfig, [&](handle_t h) { return GetIpConfig(h, nullptr, x.b, kIpConfigChars, &x.in1); }},
        {kRunCommand,
         [&](handle_t h) { return RunCommand(h, command, kCommandChars, x.a, kCommandOutputChars, &x.in1); }},
        {kTestStorage, [&](handle_t h) { return TestStorage(h, nullptr, 0, x.a, kStorageRecordChars); }},
        {kGetControllerSlots,
         [&](handle_t h) { return GetControllerSlots(h, 1, &x.in1, x.a, kControllerSlotsChars); }},
        {kGetDriverRevision,
         [&](handle_t h) { return GetDriverRevision(h, 1, 2, &x.in1, x.a, kDriverRevisionChars); }},
        {kTestSharedDrives,
         [&](handle_t h) {
             return TestSharedDrives(h, u"NODE1", x.a, kSharedDrivesSummaryChars, x.b, kSharedDrivesChars,
                                     x.c, kReserveReleaseChars);
         }},
        {kDetectStorageBox, [&](handle_t h) { return DetectStorageBox(h, 1, 0, x.a, kStorageBoxChars); }},
    };
    AgentBinding binding(u"ncacn_np:");
    for (const UnbuiltCase& c : cases) {
        EXPECT_EQ(c.call(binding.Handle()), ERROR_CALL_NOT_IMPLEMENTED) << "procedure " << c.procedure;
    }
}

// A server of its own, to look at what its stop leaves behind.
TEST(AgentRpcServerStop, UnregistersItsEndpointsAndStopsAnswering) {
    InstallAuthenticatedPipes();
    RecordingHost host;
    BackgroundServer server({u"VtarnService"}, host);
    host.WaitUntilRunning();
    std::u16string endpoint;
    ASSERT_EQ(rpc::LookupEndpoint(u"", kInterfaceId, u"ncacn_np", endpoint), RPC_S_OK);
    AgentBinding binding(u"ncacn_np:");
    ASSERT_EQ(Ping(binding.Handle()), RPC_S_OK);

    EXPECT_EQ(server.Stop(), RPC_S_OK);

    EXPECT_EQ(rpc::LookupEndpoint(u"", kInterfaceId, u"ncacn_np", endpoint), EPT_S_NOT_REGISTERED);
    AgentBinding after(u"ncacn_np:");
    EXPECT_NE(Ping(after.Handle()), RPC_S_OK);
}

} // namespace
