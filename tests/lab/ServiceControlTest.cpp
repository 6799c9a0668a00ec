// The service control manager as the console and the agent use it: this test process acts as
// the lab's workstation and drives NODE1's real ntnode, which starts the test service program
// (tests/lab/programs) as a real process.
#include "platform/Clock.h"
#include "platform/LabEnvironment.h"
#include "platform/LastError.h"
#include "platform/NtPath.h"
#include "platform/Service.h"
#include "platform/WinError.h"
#include "tests/lab/support/WorkstationLab.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;
namespace env = platform::lab;
using labtest::ScopedVariable;

constexpr const WCHAR* kName = u"TarnTestService";

// Closes a service handle at the end of a scope.
struct ScHandle {
    SC_HANDLE value = nullptr;
    ~ScHandle() {
        if (value != nullptr) {
            CloseServiceHandle(value);
        }
    }
};

class ServiceControl : public labtest::WorkstationLab {
protected:
    static std::u16string ProgramPath() {
        return platform::DriveMap(fs::path()).ToNt(labtest::Program("lab_test_service"));
    }

    SC_HANDLE OpenManager() { return OpenSCManagerW(u"NODE1", nullptr, SC_MANAGER_ALL_ACCESS); }

    SC_HANDLE Create(SC_HANDLE manager, const WCHAR* name = kName) {
        std::u16string program = ProgramPath();
        return CreateServiceW(manager, name, u"Tarn Test Service", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                              SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, program.c_str(), nullptr, nullptr,
                              u"RPCSS\0", nullptr, nullptr);
    }

    // Queries until the state is `state` (bounded); the last status seen.
    static SERVICE_STATUS WaitForState(SC_HANDLE service, DWORD state) {
        SERVICE_STATUS status{};
        for (int attempt = 0; attempt < 400; ++attempt) {
            if (!QueryServiceStatus(service, &status) || status.dwCurrentState == state) {
                break;
            }
            Sleep(50);
        }
        return status;
    }

    std::vector<std::string> StartedLines(const std::u16string& name = kName) const {
        std::ifstream in(m_lab.Folder() / "state" / "NODE1" / (std::string(name.begin(), name.end()) + ".started"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

};

TEST_F(ServiceControl, StartsWithArgumentsReportsItsStatesAndStopsOnTheControl) {
    ScHandle manager{OpenManager()};
    ASSERT_NE(manager.value, nullptr) << GetLastError();
    ScHandle service{Create(manager.value)};
    ASSERT_NE(service.value, nullptr) << GetLastError();

    LPCWSTR arguments[] = {u"run", u"second argument"};
    ASSERT_TRUE(StartServiceW(service.value, 2, arguments)) << GetLastError();
    SERVICE_STATUS status = WaitForState(service.value, SERVICE_RUNNING);
    EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
    // The program wrote down its arguments before it reported running.
    EXPECT_EQ(StartedLines(), (std::vector<std::string>{"process TarnTestService", "process run",
                                                         "process second argument", "main TarnTestService",
                                                         "main run", "main second argument"}));
    EXPECT_EQ(status.dwServiceType, SERVICE_WIN32_OWN_PROCESS);
    EXPECT_EQ(status.dwControlsAccepted, SERVICE_ACCEPT_STOP);

    EXPECT_FALSE(StartServiceW(service.value, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_ALREADY_RUNNING);

    // The handler reports stop pending before it returns; ControlService hands that report back.
    ASSERT_TRUE(ControlService(service.value, SERVICE_CONTROL_STOP, &status)) << GetLastError();
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOP_PENDING);
    EXPECT_EQ(status.dwCheckPoint, 7u);
    EXPECT_EQ(status.dwWaitHint, 1234u);

    status = WaitForState(service.value, SERVICE_STOPPED);
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(status.dwWin32ExitCode, 0u);
    EXPECT_FALSE(ControlService(service.value, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
    EXPECT_TRUE(DeleteService(service.value));
}

TEST_F(ServiceControl, ProcessThatEndsLeavesItsServiceStoppedWithItsExitStatus) {
    ScHandle manager{OpenManager()};
    ScHandle service{Create(manager.value)};
    ASSERT_NE(service.value, nullptr) << GetLastError();
    struct Case {
        const WCHAR* argument;
        DWORD win32ExitCode;
        DWORD specificExitCode;
    };
    const Case cases[] = {
        {u"exit:3", ERROR_PROCESS_ABORTED, 3}, // ended without saying it stopped
        {u"stopcode:42", 42, 0},               // said so, with its own exit code
    };
    for (const Case& c : cases) {
        LPCWSTR arguments[] = {c.argument};
        ASSERT_TRUE(StartServiceW(service.value, 1, arguments)) << GetLastError();
        SERVICE_STATUS status{};
        if (c.win32ExitCode != ERROR_PROCESS_ABORTED) {
            WaitForState(service.value, SERVICE_RUNNING);
            ASSERT_TRUE(ControlService(service.value, SERVICE_CONTROL_STOP, &status)) << GetLastError();
        }
        status = WaitForState(service.value, SERVICE_STOPPED);
        EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
        EXPECT_EQ(status.dwWin32ExitCode, c.win32ExitCode);
        EXPECT_EQ(status.dwServiceSpecificExitCode, c.specificExitCode);
    }
}

TEST_F(ServiceControl, RefusesWhatARealManagerRefuses) {
    ScHandle manager{OpenManager()};
    ScHandle service{Create(manager.value)};
    ASSERT_NE(service.value, nullptr) << GetLastError();

    EXPECT_EQ(Create(manager.value), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_EXISTS);
    EXPECT_EQ(OpenServiceW(manager.value, u"NoSuchService", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
    SERVICE_STATUS status{};
    EXPECT_FALSE(ControlService(service.value, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
    EXPECT_FALSE(QueryServiceStatus(reinterpret_cast<SC_HANDLE>(manager.value), &status));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    // A service deleted while it runs is marked, and goes once stopped and no longer open.
    ASSERT_TRUE(StartServiceW(service.value, 0, nullptr)) << GetLastError();
    WaitForState(service.value, SERVICE_RUNNING);
    ASSERT_TRUE(DeleteService(service.value)) << GetLastError();
    EXPECT_FALSE(DeleteService(service.value));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
    EXPECT_EQ(Create(manager.value), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
    ASSERT_TRUE(ControlService(service.value, SERVICE_CONTROL_STOP, &status)) << GetLastError();
    WaitForState(service.value, SERVICE_STOPPED);
    ScHandle again{OpenServiceW(manager.value, kName, SERVICE_QUERY_STATUS)};
    EXPECT_NE(again.value, nullptr) << "still there while a handle is open";
    CloseServiceHandle(service.value);
    service.value = nullptr;
    CloseServiceHandle(again.value);
    again.value = nullptr;
    EXPECT_EQ(OpenServiceW(manager.value, kName, SERVICE_QUERY_STATUS), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
}

TEST_F(ServiceControl, AllAccessOnlyForAnAdministratorOfAComputerThatExists) {
    ScHandle administrator{OpenManager()};
    EXPECT_NE(administrator.value, nullptr) << GetLastError();
    {
        ScopedVariable operatorAccount(env::kAccountVariable, "Operator");
        EXPECT_EQ(OpenManager(), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
        ScHandle look{OpenSCManagerW(u"NODE1", nullptr, SC_MANAGER_CONNECT)};
        EXPECT_NE(look.value, nullptr) << "a look is allowed: " << GetLastError();
    }
    const WCHAR* missing[] = {u"NOSUCHNODE", u"\\\\NODE2"}; // not in the lab; in it, but its ntnode is down
    for (const WCHAR* computer : missing) {
        EXPECT_EQ(OpenSCManagerW(computer, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
    }
}

TEST_F(ServiceControl, RegistrationOutlivesAnNtnodeRestartAndItsProcessDoesNot) {
    pid_t servicePid = 0;
    {
        ScHandle manager{OpenManager()};
        ScHandle service{Create(manager.value)};
        ASSERT_TRUE(StartServiceW(service.value, 0, nullptr)) << GetLastError();
        ASSERT_EQ(WaitForState(service.value, SERVICE_RUNNING).dwCurrentState, SERVICE_RUNNING);
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(m_lab.Folder() / "state" / "NODE1" / "processes")) {
        servicePid = std::stoi(entry.path().filename().string());
    }
    ASSERT_NE(servicePid, 0);
    m_nodes.Stop("NODE1");
    EXPECT_NE(::kill(servicePid, 0), 0) << "the service process outlived its ntnode";

    m_nodes.Start("NODE1");
    ScHandle manager{OpenManager()};
    ScHandle service{OpenServiceW(manager.value, kName, SERVICE_ALL_ACCESS)};
    ASSERT_NE(service.value, nullptr) << GetLastError();
    SERVICE_STATUS status{};
    ASSERT_TRUE(QueryServiceStatus(service.value, &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
}

TEST_F(ServiceControl, NtlabScQueriesStartsAndStopsWithTheManagersErrors) {
    {
        ScHandle manager{OpenManager()};
        ScHandle service{Create(manager.value)};
        ASSERT_NE(service.value, nullptr) << GetLastError();
    }
    std::string sc = labtest::Program("ntlab").string() + " --lab " + m_lab.Folder().string() + " sc NODE1 ";
    auto [started, startStatus] = labtest::RunCommand(sc + "start TarnTestService run 'two words'");
    EXPECT_EQ(startStatus, 0) << started;
    EXPECT_NE(started.find("SERVICE_NAME: TarnTestService"), std::string::npos) << started;
    std::vector<std::string> lines;
    for (int attempt = 0; attempt < 400 && lines.empty(); ++attempt) {
        lines = StartedLines();
        Sleep(50);
    }
    EXPECT_EQ(lines.size() > 5 ? lines[5] : "", "main two words");

    auto [queried, queryStatus] = labtest::RunCommand(sc + "query RPCSS");
    EXPECT_EQ(queryStatus, 0);
    EXPECT_NE(queried.find("STATE              : 4  RUNNING"), std::string::npos) << queried;
    auto [stopped, stopStatus] = labtest::RunCommand(sc + "stop TarnTestService");
    EXPECT_EQ(stopStatus, 0);
    EXPECT_NE(stopped.find("STATE              : 3  STOP_PENDING"), std::string::npos) << stopped;

    const std::pair<std::string, std::string> failures[] = {
        {sc + "query NoSuchService", "[SC] OpenService FAILED 1060:"},
        {sc + "stop TarnTestService", "[SC] ControlService FAILED"}, // 1061 while stopping, 1062 once stopped
        {labtest::Program("ntlab").string() + " --lab " + m_lab.Folder().string() + " sc NODE2 query RPCSS",
         "[SC] OpenSCManager FAILED 1722:"},
    };
    for (const auto& [command, expected] : failures) {
        auto [text, status] = labtest::RunCommand(command);
        EXPECT_EQ(status, 1) << command;
        EXPECT_NE(text.find(expected), std::string::npos) << text;
    }
}

TEST_F(ServiceControl, ProgramNotStartedByAManagerCannotConnectItsDispatcher) {
    std::string command = labtest::Program("lab_test_service").string() + " 2>&1";
    FILE* output = ::popen(command.c_str(), "r");
    ASSERT_NE(output, nullptr);
    char line[64] = {};
    ASSERT_NE(std::fgets(line, sizeof line, output), nullptr);
    int status = ::pclose(output);
    EXPECT_EQ(std::string(line), "1063\n");
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

} // namespace
