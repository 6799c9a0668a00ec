// The agent program on a computer of a lab, as an administrator meets it there: "-install" and
// "-remove" at the computer's prompt (ntlab exec), the service started and stopped through the
// computer's service control manager, a foreground run stopped with Ctrl+C, and the event a
// start without the service control manager leaves in the computer's event log. Everything
// runs in child processes (ntlab and what it starts); the lab's times are scaled down.
#include "tests/agent/AgentBinding.h"
#include "tests/agent/ChildProgram.h"
#include "tests/agent/SmallLab.h"

#include "agent/include/NodeAgentClient.h"
#include "platform/Clock.h"
#include "platform/NtPath.h"
#include "platform/Service.h"
#include "platform/WinError.h"
#include "platform/rpc/Rpc.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <regex>

namespace {

using agenttest::BuildProgram;
using agenttest::ChildProgram;
using testing::HasSubstr;
using testing::MatchesRegex;

// For its lifetime this test process is the lab's workstation, as the console is: it finds the
// lab's computers through the name directory and calls them as the workstation's account.
class AsTheWorkstation {
public:
    explicit AsTheWorkstation(const std::filesystem::path& lab) {
        if (const char* own = std::getenv("VTARN_NTNODE")) {
            m_ownEndpointMap = own;
        }
        ::unsetenv("VTARN_NTNODE");
        ::setenv("VTARN_LAB", lab.c_str(), 1);
    }
    ~AsTheWorkstation() {
        ::unsetenv("VTARN_LAB");
        if (m_ownEndpointMap) {
            ::setenv("VTARN_NTNODE", m_ownEndpointMap->c_str(), 1);
        }
    }
    AsTheWorkstation(const AsTheWorkstation&) = delete;
    AsTheWorkstation& operator=(const AsTheWorkstation&) = delete;

private:
    std::optional<std::string> m_ownEndpointMap;
};

// The TCP port of the agent's endpoint in an `ntlab status` listing.
std::string TcpPortOfTheAgent(const std::string& status) {
    std::smatch match;
    std::regex line("ncacn_ip_tcp ([0-9]+) df34bdae-f157-11d0-95da-00805fe6d053");
    return std::regex_search(status, match, line) ? match[1].str() : "";
}

// The lab of the suite: NODE1 and the workstation.
class AgentInALab : public testing::Test {
protected:
    static void SetUpTestSuite() { lab = new agenttest::SmallLab; }
    static void TearDownTestSuite() {
        delete lab;
        lab = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(lab->Started()); }

    static std::string Ntlab(const std::vector<std::string>& arguments, int* exitCode = nullptr) {
        return lab->Ntlab(arguments, exitCode);
    }

    // The agent program at NODE1's prompt; its output. Every option exits with 0.
    static std::string Agent(const std::vector<std::string>& agentArguments) {
        int exitCode = -1;
        std::string output = Ntlab(lab->AgentAtNode1(agentArguments), &exitCode);
        EXPECT_EQ(exitCode, 0) << output;
        return output;
    }

    // Queries the service until its state line shows `state` (e.g. "4  RUNNING"); the last query.
    static std::string WaitForState(const std::string& state) {
        const auto deadline = platform::DeadlineAfter(60000);
        std::string query;
        do {
            query = Ntlab({"sc", "NODE1", "query", "VtarnService"});
            if (query.find(state) != std::string::npos) {
                break;
            }
            Sleep(100);
        } while (std::chrono::steady_clock::now() < deadline);
        return query;
    }

    static agenttest::SmallLab* lab;
};

agenttest::SmallLab* AgentInALab::lab = nullptr;

TEST_F(AgentInALab, InstallsAndRemovesItselfFromThePrompt) {
    struct Step {
        const char* option;
        const char* output;
    };
    const Step steps[] = {
        {"-install", "Vtarn RPC Service installed.\n"},
        {"-INSTALL", "CreateService failed - The specified service already exists. (0x431)\n"},
        {"/remove", "Vtarn RPC Service removed.\n"}, // not running: no stop messages
        {"-remove",
         "OpenService failed - The specified service does not exist as an installed service. (0x424)\n"},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(Agent({step.option}), step.output) << step.option;
    }
}

TEST_F(AgentInALab, RunsAsAServiceOfTheComputer) {
    ASSERT_EQ(Agent({"-install"}), "Vtarn RPC Service installed.\n");
    Ntlab({"sc", "NODE1", "start", "VtarnService", "1"});
    ASSERT_THAT(WaitForState("4  RUNNING"), HasSubstr("4  RUNNING"));

    const std::string status = Ntlab({"status"});
    for (const char* protseq : {"ncalrpc ", "ncacn_ip_tcp ", "ncacn_np "}) {
        EXPECT_THAT(status, HasSubstr(protseq)) << "an endpoint of NodeAgent on each protocol sequence";
    }
    EXPECT_THAT(status, HasSubstr("df34bdae-f157-11d0-95da-00805fe6d053 1.0"));

    // The console's way in: a named pipe of NODE1, opened as the workstation's account, on which
    // the agent can impersonate its caller. A TCP caller is anonymous: only Ping is served.
    {
        AsTheWorkstation workstation(lab->Folder());
        agenttest::AgentBinding pipe(u"ncacn_np:NODE1");
        EXPECT_EQ(nodeagent::Ping(pipe.Handle()), RPC_S_OK);
        EXPECT_EQ(nodeagent::CheckAccess(pipe.Handle()), RPC_S_OK);
        WCHAR version[nodeagent::kOsVersionChars];
        EXPECT_EQ(nodeagent::GetOsVersion(pipe.Handle(), version, nodeagent::kOsVersionChars),
                  ERROR_CALL_NOT_IMPLEMENTED);

        const std::string port = TcpPortOfTheAgent(status);
        ASSERT_FALSE(port.empty()) << status;
        agenttest::AgentBinding tcp(u"ncacn_ip_tcp:127.0.0.1[" + std::u16string(port.begin(), port.end()) +
                                    u"]");
        EXPECT_EQ(nodeagent::Ping(tcp.Handle()), RPC_S_OK);
        EXPECT_EQ(nodeagent::CheckAccess(tcp.Handle()), ERROR_ACCESS_DENIED);
        EXPECT_EQ(nodeagent::GetOsVersion(tcp.Handle(), version, nodeagent::kOsVersionChars),
                  ERROR_ACCESS_DENIED);
    }

    // The stop: the control is answered with stop pending, the service ends stopped with 0.
    EXPECT_THAT(Ntlab({"sc", "NODE1", "stop", "VtarnService"}), HasSubstr("3  STOP_PENDING"));
    const std::string stopped = WaitForState("1  STOPPED");
    EXPECT_THAT(stopped, HasSubstr("1  STOPPED"));
    EXPECT_THAT(stopped, MatchesRegex(".*WIN32_EXIT_CODE *: 0  \\(0x0\\).*"));
    EXPECT_THAT(Ntlab({"status"}), testing::Not(HasSubstr("df34bdae"))) << "its endpoints are unregistered";

    // Removed while it runs: stopped first, with a "." for each poll that still finds it stopping.
    Ntlab({"sc", "NODE1", "start", "VtarnService", "1"});
    ASSERT_THAT(WaitForState("4  RUNNING"), HasSubstr("4  RUNNING"));
    EXPECT_THAT(Agent({"-remove"}), MatchesRegex("Stopping Vtarn RPC Service\\.\\.*\n"
                                                 "Vtarn RPC Service stopped\\.\n"
                                                 "Vtarn RPC Service removed\\.\n"));
}

TEST_F(AgentInALab, ADebugRunStopsOnCtrlC) {
    ChildProgram agent(BuildProgram("ntlab"), lab->AgentAtNode1({"-debug"}));
    const auto deadline = platform::DeadlineAfter(60000);
    while (Ntlab({"status"}).find("df34bdae") == std::string::npos && agent.Running() &&
           std::chrono::steady_clock::now() < deadline) {
        Sleep(100);
    }
    ASSERT_THAT(Ntlab({"status"}), HasSubstr("df34bdae")) << agent.Output();

    agent.Signal(SIGINT);

    EXPECT_EQ(agent.WaitForExit(), 0);
    EXPECT_EQ(agent.Output(), "Debugging Vtarn RPC Service.\nStopping Vtarn RPC Service.\n");
}

TEST_F(AgentInALab, StartedWithoutTheServiceManagerItPrintsTheUsageAndLogsAnEvent) {
    EXPECT_EQ(Agent({}), "VtarnSvc -install          to install the service\n"
                         "VtarnSvc -remove           to remove the service\n"
                         "VtarnSvc -debug <params>   to run as a console app for debugging\n"
                         "\nStartServiceCtrlDispatcher being called.\n"
                         "This may take several seconds.  Please wait.\n");
    const std::string events = Ntlab({"events", "NODE1"});
    EXPECT_THAT(events, HasSubstr("VtarnService"));
    EXPECT_THAT(events, HasSubstr("VtarnService error: 1063\n"));
    EXPECT_THAT(events, HasSubstr("StartServiceCtrlDispatcher failed.\n"));
}

// Last of the suite: it leaves NODE1 with a service that is marked for deletion and never stops.
// The service of the deployment tests that accepts the stop and then stays stop pending stands
// in for the agent: the removal gives up after its time limit instead of polling for ever, and
// still deletes the service.
TEST_F(AgentInALab, RemovalGivesUpOnAStopThatNeverEnds) {
    const std::u16string stuckProgram = platform::DriveMap({}).ToNt(BuildProgram("deploy_stuck_service"));
    {
        AsTheWorkstation workstation(lab->Folder());
        SC_HANDLE manager = OpenSCManagerW(u"NODE1", nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(manager, nullptr);
        SC_HANDLE service =
            CreateServiceW(manager, u"VtarnService", u"Vtarn RPC Service", SERVICE_ALL_ACCESS,
                           SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                           stuckProgram.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
        EXPECT_NE(service, nullptr);
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
    }
    Ntlab({"sc", "NODE1", "start", "VtarnService"});
    ASSERT_THAT(WaitForState("4  RUNNING"), HasSubstr("4  RUNNING"));

    EXPECT_THAT(Agent({"-remove"}), MatchesRegex("Stopping Vtarn RPC Service\\.\\.+\n"
                                                 "Vtarn RPC Service failed to stop\\.\n"
                                                 "Vtarn RPC Service removed\\.\n"));
    EXPECT_THAT(Ntlab({"sc", "NODE1", "query", "VtarnService"}), HasSubstr("3  STOP_PENDING"));
}

} // namespace
