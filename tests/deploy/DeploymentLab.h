#pragma once
// The lab tests' workstation fixture (NODE1's ntnode running, this process acting as the
// workstation's administrator), with the deployment's own waits at 0.01 and the lab's own view
// of NODE1 for checking what a deployment left there: the status document of its ntnode, its
// service database file and its drive folders.
#include "ntsim/lab/LabLayout.h"
#include "ntsim/node/ServiceDatabase.h"
#include "platform/Service.h"
#include "platform/WinTypes.h"
#include "tests/lab/support/WorkstationLab.h"

#include <gtest/gtest.h>
#include <toml++/toml.h>

#include <optional>
#include <string>

namespace deploytest {

inline constexpr const char* kNode = "NODE1";
inline constexpr const WCHAR* kNodeName = u"NODE1";

class DeploymentLab : public labtest::WorkstationLab {
protected:
    DeploymentLab();

    // NODE1's status document (services, shares, endpoints, pipes).
    toml::table Status() const;
    // The entry named `name` of a section of the status document; nullopt when there is none.
    std::optional<toml::table> StatusEntry(const char* section, std::string_view name) const;
    // The registration of "VtarnService" in NODE1's service database file.
    std::optional<ntsim::node::ServiceConfig> AgentRegistration() const;
    // The Linux path of a file on NODE1's drive C (`path` below C:\, '/'-separated).
    std::filesystem::path OnDriveC(const std::string& path) const;
    // Everything a deployment may change on NODE1, as one comparable text: its services with
    // their states, its shares, the files on its drives, the registrations it keeps.
    std::string Footprint() const;

    // InstallAgent / RemoveAgent on NODE1 with standard output captured.
    struct Outcome {
        DWORD status;
        std::string output;
    };
    Outcome Install() const;
    Outcome Remove() const;

    // Registers "VtarnService" on NODE1 through its service manager, as an earlier run might
    // have left it; `program` is the NT path it starts.
    void RegisterAgentService(const std::u16string& displayName, const std::u16string& program) const;
    // Starts it without arguments through NODE1's manager and waits until it runs.
    void StartAgentService() const;
    // Sends it the stop control through NODE1's manager and waits until it has stopped.
    void StopAgentService() const;
    static void WaitForState(SC_HANDLE service, DWORD state);

    ntsim::lab::LabLayout Layout() const { return ntsim::lab::LabLayout(m_lab.Folder()); }
};

// The process's error mode, read without changing it.
UINT CurrentErrorMode();

} // namespace deploytest
