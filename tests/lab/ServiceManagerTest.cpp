// A computer's service control manager in this process: the test plays the service process's
// dispatcher itself (the "program" is a shell script that only hands over its token), so that
// the states between the reports can be held as long as a case needs.
#include "ntsim/node/ServiceManager.h"
#include "platform/Clock.h"
#include "platform/ServiceControlProtocol.h"
#include "platform/WinError.h"
#include "platform/lab/LabFileError.h"

#include <gtest/gtest.h>

#include <fstream>
#include <future>

namespace {

namespace fs = std::filesystem;
using ntsim::node::Caller;
using ntsim::node::ScHandleId;
using ntsim::node::ServiceConfig;
using ntsim::node::ServiceManager;
using ntsim::node::ServiceManagerSetup;

const Caller kAdministrator{Caller::Kind::Account, "Administrator", true};

class ServiceManagerCore : public testing::Test {
protected:
    ServiceManagerCore() {
        platform::SetTimeScale(0.1);
        std::string pattern = (fs::temp_directory_path() / "tarn-scm-XXXXXX").string();
        m_folder = ::mkdtemp(pattern.data());
        // The service's program: it leaves its token where the test finds it and waits.
        std::ofstream(m_folder / "service.sh")
            << "#!/bin/sh\necho \"$" << platform::scmwire::kServiceTokenVariable << "\" > " << (m_folder / "token").string()
            << ".tmp && mv " << (m_folder / "token").string() << ".tmp " << (m_folder / "token").string()
            << "\nexec sleep 60\n";
        fs::permissions(m_folder / "service.sh", fs::perms::owner_all);
    }

    ~ServiceManagerCore() override {
        fs::remove_all(m_folder);
        platform::SetTimeScale(1);
    }

    ServiceManagerSetup Setup() const {
        ServiceManagerSetup setup;
        setup.databaseFile = m_folder / "services.toml";
        ntsim::lab::ServiceDef rpcss;
        rpcss.name = "RPCSS";
        rpcss.displayName = "Remote Procedure Call (RPC) Service";
        setup.builtIns = {rpcss};
        setup.environment = {{"PATH", "/usr/bin:/bin"}};
        fs::path script = m_folder / "service.sh";
        setup.resolveProgram = [script](std::u16string_view, fs::path& program) {
            program = script;
            return DWORD{ERROR_SUCCESS};
        };
        return setup;
    }

    static ScHandleId Create(ServiceManager& manager, ScHandleId scm, std::u16string name,
                             std::vector<std::u16string> dependencies = {}) {
        ServiceConfig config;
        config.name = std::move(name);
        config.binaryPath = u"C:\\service.sh";
        config.dependencies = std::move(dependencies);
        ScHandleId service = 0;
        EXPECT_EQ(manager.CreateService(scm, config, SERVICE_ALL_ACCESS, service), ERROR_SUCCESS);
        return service;
    }

    // Starts `service` and connects as its dispatcher; the token.
    std::string StartAndConnect(ServiceManager& manager, ScHandleId service) {
        fs::remove(m_folder / "token");
        std::future<DWORD> started = std::async(std::launch::async, [&] { return manager.StartService(service, {u"1"}); });
        std::string token;
        for (int attempt = 0; attempt < 500 && token.empty(); ++attempt) {
            std::ifstream(m_folder / "token") >> token;
            Sleep(10);
        }
        std::u16string name;
        std::vector<std::u16string> arguments;
        EXPECT_EQ(manager.ConnectDispatcher(token, name, arguments), ERROR_SUCCESS);
        EXPECT_EQ(arguments.size(), 2u);
        EXPECT_EQ(started.get(), ERROR_SUCCESS);
        return token;
    }

    static SERVICE_STATUS Status(DWORD state, DWORD accepted, DWORD checkPoint = 0, DWORD waitHint = 0) {
        return SERVICE_STATUS{SERVICE_WIN32_OWN_PROCESS, state, accepted, 0, 0, checkPoint, waitHint};
    }

    fs::path m_folder;
};

TEST_F(ServiceManagerCore, ControlReachesTheDispatcherOnlyWhenTheServiceAcceptsIt) {
    ServiceManager manager(Setup());
    ScHandleId scm = 0;
    ASSERT_EQ(manager.OpenManager(kAdministrator, SC_MANAGER_ALL_ACCESS, scm), ERROR_SUCCESS);
    ScHandleId service = Create(manager, scm, u"Held", {u"RPCSS"});
    std::string token = StartAndConnect(manager, service);

    SERVICE_STATUS status{};
    ASSERT_EQ(manager.ReportStatus(token, Status(SERVICE_START_PENDING, 0, 1, 3000)), ERROR_SUCCESS);
    EXPECT_EQ(manager.ControlService(service, SERVICE_CONTROL_STOP, status), ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    ASSERT_EQ(manager.ReportStatus(token, Status(SERVICE_RUNNING, 0)), ERROR_SUCCESS);
    EXPECT_EQ(manager.ControlService(service, SERVICE_CONTROL_STOP, status), ERROR_INVALID_SERVICE_CONTROL);
    EXPECT_EQ(manager.ReportStatus(token, Status(9, 0)), ERROR_INVALID_DATA);

    // RPCSS, which the service depends on, cannot stop while the service runs.
    ScHandleId rpcss = 0;
    ASSERT_EQ(manager.OpenService(scm, u"rpcss", SERVICE_ALL_ACCESS, rpcss), ERROR_SUCCESS);
    ASSERT_EQ(manager.QueryServiceStatus(rpcss, status), ERROR_SUCCESS);
    EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
    EXPECT_EQ(manager.ControlService(rpcss, SERVICE_CONTROL_STOP, status), ERROR_DEPENDENT_SERVICES_RUNNING);

    ASSERT_EQ(manager.ReportStatus(token, Status(SERVICE_RUNNING, SERVICE_ACCEPT_STOP)), ERROR_SUCCESS);
    std::future<DWORD> stopping = std::async(std::launch::async, [&] {
        return manager.ControlService(service, SERVICE_CONTROL_STOP, status);
    });
    DWORD control = 0;
    std::uint32_t sequence = 0;
    ASSERT_EQ(manager.NextControl(token, 0, 5000, control, sequence), ERROR_SUCCESS);
    EXPECT_EQ(control, SERVICE_CONTROL_STOP);
    ASSERT_EQ(manager.ReportStatus(token, Status(SERVICE_STOP_PENDING, SERVICE_ACCEPT_STOP, 4, 800)), ERROR_SUCCESS);
    DWORD nothing = 0;
    EXPECT_EQ(manager.NextControl(token, sequence, 0, nothing, sequence), ERROR_SUCCESS); // the handler returned
    EXPECT_EQ(nothing, 0u);
    ASSERT_EQ(stopping.get(), ERROR_SUCCESS);
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOP_PENDING);
    EXPECT_EQ(status.dwCheckPoint, 4u);
    EXPECT_EQ(status.dwWaitHint, 800u);

    ASSERT_EQ(manager.ReportStatus(token, Status(SERVICE_STOPPED, 0)), ERROR_SUCCESS);
    EXPECT_EQ(manager.ControlService(rpcss, SERVICE_CONTROL_STOP, status), ERROR_SUCCESS);
    std::u16string name;
    std::vector<std::u16string> arguments;
    EXPECT_EQ(manager.ConnectDispatcher(token, name, arguments), ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
}

TEST_F(ServiceManagerCore, CallersAndHandlesGetTheRightsAndErrorsOfARealManager) {
    ServiceManager manager(Setup());
    ScHandleId scm = 0;
    const Caller anonymous{};
    const Caller user{Caller::Kind::Account, "Operator", false};
    EXPECT_EQ(manager.OpenManager(anonymous, SC_MANAGER_CONNECT, scm), ERROR_ACCESS_DENIED);
    EXPECT_EQ(manager.OpenManager(user, SC_MANAGER_ALL_ACCESS, scm), ERROR_ACCESS_DENIED);
    ScHandleId look = 0;
    ASSERT_EQ(manager.OpenManager(user, GENERIC_READ, look), ERROR_SUCCESS);
    ASSERT_EQ(manager.OpenManager(kAdministrator, SC_MANAGER_ALL_ACCESS, scm), ERROR_SUCCESS);
    ScHandleId service = Create(manager, scm, u"Plain", {u"NoSuchDependency"});

    ScHandleId denied = 0;
    ServiceConfig config;
    config.name = u"Other";
    config.binaryPath = u"C:\\x.exe";
    EXPECT_EQ(manager.CreateService(look, config, SERVICE_ALL_ACCESS, denied), ERROR_ACCESS_DENIED);
    EXPECT_EQ(manager.OpenService(look, u"Plain", SERVICE_START, denied), ERROR_ACCESS_DENIED);
    config.name = u"bad\\name";
    EXPECT_EQ(manager.CreateService(scm, config, SERVICE_ALL_ACCESS, denied), ERROR_INVALID_NAME);
    config.name = u"PLAIN";
    EXPECT_EQ(manager.CreateService(scm, config, SERVICE_ALL_ACCESS, denied), ERROR_SERVICE_EXISTS);
    EXPECT_EQ(manager.StartService(service, {}), ERROR_SERVICE_DEPENDENCY_DELETED);
    EXPECT_EQ(manager.StartService(scm, {}), ERROR_INVALID_HANDLE);
    EXPECT_EQ(manager.CloseHandle(look), ERROR_SUCCESS);
    EXPECT_EQ(manager.CloseHandle(look), ERROR_INVALID_HANDLE);
}

TEST_F(ServiceManagerCore, DatabaseKeepsCreatedAndDeletedServicesButNotMarkedOnes) {
    {
        ServiceManager manager(Setup());
        ScHandleId scm = 0;
        ASSERT_EQ(manager.OpenManager(kAdministrator, SC_MANAGER_ALL_ACCESS, scm), ERROR_SUCCESS);
        Create(manager, scm, u"Kept");
        ScHandleId held = Create(manager, scm, u"Held");
        std::string token = StartAndConnect(manager, held);
        ASSERT_EQ(manager.DeleteService(held), ERROR_SUCCESS); // marked: it runs and is open
        ScHandleId rpcss = 0;
        ASSERT_EQ(manager.OpenService(scm, u"RPCSS", SERVICE_ALL_ACCESS, rpcss), ERROR_SUCCESS);
        ASSERT_EQ(manager.DeleteService(rpcss), ERROR_SUCCESS);
    } // the manager ends as ntnode does: its process is stopped, nothing stays open
    ServiceManager restarted(Setup());
    std::vector<std::u16string> names;
    for (const ntsim::node::ServiceSummary& service : restarted.List()) {
        names.push_back(service.name);
        EXPECT_EQ(service.status.dwCurrentState, SERVICE_STOPPED);
    }
    EXPECT_EQ(names, std::vector<std::u16string>{u"Kept"});

    std::ofstream(m_folder / "services.toml") << "[[service]]\nname = \"Broken\"\ntype = \"sixteen\"\n";
    EXPECT_THROW(ServiceManager damaged(Setup()), platform::lab::LabFileError);
}

} // namespace
