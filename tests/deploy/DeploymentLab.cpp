#include "DeploymentLab.h"

#include "console/deploy/AgentDeployment.h"
#include "console/deploy/ScopedHandle.h"
#include "ntsim/node/NodeControlClient.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/LastError.h"
#include "platform/Service.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/lab/LabNetwork.h"

#include <algorithm>
#include <chrono>
#include <sstream>
#include <vector>

namespace deploytest {

namespace fs = std::filesystem;

// The lab's processes keep the fixture's scale; only this process's clock, which times the
// deployment's own waits (4000 ms after a start, 1000 ms per stop poll, the 30 s stop limit),
// runs faster. The fixture puts the scale back to 1 at its end.
DeploymentLab::DeploymentLab() {
    platform::SetTimeScale(0.01);
}

toml::table DeploymentLab::Status() const {
    const platform::lab::LabNetwork network = platform::lab::LoadLabNetwork(Layout().NetworkFile());
    toml::table document;
    EXPECT_EQ(ntsim::node::FetchNodeStatus(Layout(), *network.FindComputer(kNode), document), RPC_S_OK);
    return document;
}

std::optional<toml::table> DeploymentLab::StatusEntry(const char* section, std::string_view name) const {
    const toml::table document = Status();
    if (const toml::array* entries = document[section].as_array()) {
        for (const toml::node& entry : *entries) {
            const toml::table* fields = entry.as_table();
            if (fields != nullptr && (*fields)["name"].value_or(std::string()) == name) {
                return *fields;
            }
        }
    }
    return std::nullopt;
}

std::optional<ntsim::node::ServiceConfig> DeploymentLab::AgentRegistration() const {
    const ntsim::node::SavedServices saved =
        ntsim::node::LoadSavedServices(ntsim::node::ServiceDatabaseFile(Layout().ComputerState(kNode)));
    for (const ntsim::node::ServiceConfig& service : saved.created) {
        if (service.name == u"VtarnService") {
            return service;
        }
    }
    return std::nullopt;
}

fs::path DeploymentLab::OnDriveC(const std::string& path) const {
    return Layout().DrivesFolder(kNode) / "C" / path;
}

std::string DeploymentLab::Footprint() const {
    const toml::table document = Status();
    std::ostringstream text;
    for (const char* section : {"services", "shares"}) {
        text << section << ":\n";
        if (const toml::array* entries = document[section].as_array()) {
            for (const toml::node& entry : *entries) {
                toml::table fields = *entry.as_table();
                fields.erase("pid"); // a built-in service's process may be another one by now
                fields.is_inline(true);
                text << "  " << fields << "\n";
            }
        }
    }
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(Layout().DrivesFolder(kNode))) {
        files.push_back(fs::relative(entry.path(), Layout().DrivesFolder(kNode)).generic_string());
    }
    std::sort(files.begin(), files.end());
    text << "files:\n";
    for (const std::string& file : files) {
        text << "  " << file << "\n";
    }
    text << "registered: " << (AgentRegistration() ? "VtarnService" : "-") << "\n";
    return text.str();
}

DeploymentLab::Outcome DeploymentLab::Install() const {
    LPCWSTR arguments[] = {u"1"};
    testing::internal::CaptureStdout();
    const DWORD status = deploy::InstallAgent(kNodeName, 1, arguments);
    return {status, testing::internal::GetCapturedStdout()};
}

DeploymentLab::Outcome DeploymentLab::Remove() const {
    testing::internal::CaptureStdout();
    const bool removed = deploy::RemoveAgent(kNodeName);
    return {removed ? 1u : 0u, testing::internal::GetCapturedStdout()};
}

void DeploymentLab::RegisterAgentService(const std::u16string& displayName,
                                         const std::u16string& program) const {
    const deploy::ScopedServiceHandle manager(OpenSCManagerW(kNodeName, nullptr, SC_MANAGER_ALL_ACCESS));
    ASSERT_TRUE(manager) << GetLastError();
    const deploy::ScopedServiceHandle service(
        CreateServiceW(manager.Get(), u"VtarnService", displayName.c_str(), SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, program.c_str(),
                       nullptr, nullptr, u"RPCSS\0", nullptr, nullptr));
    ASSERT_TRUE(service) << GetLastError();
}

void DeploymentLab::StartAgentService() const {
    const deploy::ScopedServiceHandle manager(OpenSCManagerW(kNodeName, nullptr, SC_MANAGER_ALL_ACCESS));
    const deploy::ScopedServiceHandle service(
        OpenServiceW(manager.Get(), u"VtarnService", SERVICE_ALL_ACCESS));
    ASSERT_TRUE(service) << GetLastError();
    ASSERT_TRUE(StartServiceW(service.Get(), 0, nullptr)) << GetLastError();
    WaitForState(service.Get(), SERVICE_RUNNING);
}

void DeploymentLab::StopAgentService() const {
    const deploy::ScopedServiceHandle manager(OpenSCManagerW(kNodeName, nullptr, SC_MANAGER_ALL_ACCESS));
    const deploy::ScopedServiceHandle service(
        OpenServiceW(manager.Get(), u"VtarnService", SERVICE_ALL_ACCESS));
    ASSERT_TRUE(service) << GetLastError();
    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) << GetLastError();
    WaitForState(service.Get(), SERVICE_STOPPED);
}

void DeploymentLab::WaitForState(SC_HANDLE service, DWORD state) {
    SERVICE_STATUS status{};
    const auto giveUpAt = platform::DeadlineAfter(60000);
    while (QueryServiceStatus(service, &status) && status.dwCurrentState != state &&
           std::chrono::steady_clock::now() < giveUpAt) {
        Sleep(100);
    }
    ASSERT_EQ(status.dwCurrentState, state);
}

UINT CurrentErrorMode() {
    const UINT mode = SetErrorMode(0);
    SetErrorMode(mode);
    return mode;
}

} // namespace deploytest
