// InstallAgent and RemoveAgent against a real ntnode: what they leave on the node, seen through
// the lab's own view of it, and the lines they write, for a clean node and for the states an
// earlier, broken run may have left behind.
#include "console/deploy/AgentDeployment.h"
#include "DeploymentLab.h"
#include "ntsim/node/FaultInjector.h"
#include "platform/LabEnvironment.h"
#include "platform/LastError.h"
#include "platform/NetShare.h"
#include "platform/NtPath.h"
#include "platform/Registry.h"
#include "platform/Service.h"
#include "platform/WinError.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

namespace {

namespace fs = std::filesystem;
using deploytest::CurrentErrorMode;
using deploytest::DeploymentLab;

const std::string kInstalled = "Vtarn RPC Service installed.\n";
const std::string kNoService =
    "OpenService failed - The specified service does not exist as an installed service. (0x424)\n";
const std::regex kStoppedAndRemoved(R"(Stopping Vtarn RPC Service\.\.*
Vtarn RPC Service stopped\.
Vtarn RPC Service removed\.
)");

TEST_F(DeploymentLab, InstallPutsTheAgentThereAndRemoveLeavesTheNodeAsItWas) {
    const std::string before = Footprint();

    const Outcome installed = Install();
    ASSERT_EQ(installed.status, ERROR_SUCCESS);
    EXPECT_EQ(installed.output, kInstalled);
    EXPECT_EQ(CurrentErrorMode(), 0u);

    const std::optional<toml::table> share = StatusEntry("shares", "VTARN$");
    ASSERT_TRUE(share);
    EXPECT_EQ((*share)["path"].value_or(std::string()), "C:\\WINNT");
    EXPECT_EQ((*share)["type"].value_or(std::int64_t{0}), std::int64_t{0x80000000});
    EXPECT_EQ((*share)["permissions"].value_or(0), 0x7F);
    EXPECT_EQ((*share)["max_uses"].value_or(0), 2);
    EXPECT_EQ((*share)["remark"].value_or(std::string("?")), "");

    const fs::path program = OnDriveC("WINNT/VtarnSvc.exe");
    ASSERT_TRUE(fs::exists(program));
    EXPECT_EQ(fs::file_size(program), fs::file_size(labtest::Program("VtarnSvc.exe")));

    const std::optional<toml::table> service = StatusEntry("services", "VtarnService");
    ASSERT_TRUE(service);
    EXPECT_EQ((*service)["state"].value_or(std::string()), "running");
    const std::optional<ntsim::node::ServiceConfig> registration = AgentRegistration();
    ASSERT_TRUE(registration);
    EXPECT_TRUE(registration->displayName == u"Vtarn RPC Service");
    EXPECT_TRUE(registration->binaryPath ==
                u"C:\\WINNT\\VtarnSvc.exe"); // local to the node, not the UNC path
    EXPECT_EQ(registration->dependencies, std::vector<std::u16string>{u"RPCSS"});
    EXPECT_EQ(registration->type, SERVICE_WIN32_OWN_PROCESS);
    EXPECT_EQ(registration->startType, SERVICE_DEMAND_START);
    EXPECT_EQ(registration->errorControl, SERVICE_ERROR_NORMAL);

    const Outcome removed = Remove();
    EXPECT_TRUE(removed.status);
    EXPECT_TRUE(std::regex_match(removed.output, kStoppedAndRemoved)) << removed.output;
    EXPECT_EQ(Footprint(), before);
}

// The program goes into whatever folder the share names; the service still starts it from the
// system root, where there is none, so the start fails. RemoveAgent takes file and share away
// and leaves the registration, whose service never ran.
TEST_F(DeploymentLab, AShareOfThatNameIsUsedWhereverItPoints) {
    SHARE_INFO_2 share{};
    share.shi2_netname = const_cast<LPWSTR>(u"VTARN$");
    share.shi2_type = STYPE_DISKTREE;
    share.shi2_remark = const_cast<LPWSTR>(u"made before");
    share.shi2_max_uses = SHI_USES_UNLIMITED;
    share.shi2_path = const_cast<LPWSTR>(u"C:\\");
    ASSERT_EQ(NetShareAdd(const_cast<LPWSTR>(u"NODE1"), 2, reinterpret_cast<LPBYTE>(&share), nullptr),
              NERR_Success);

    const Outcome installed = Install();
    EXPECT_EQ(installed.status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(installed.output,
              kInstalled + "StartService failed - The system cannot find the file specified. (0x2)\n");
    const std::optional<toml::table> found = StatusEntry("shares", "VTARN$");
    ASSERT_TRUE(found);
    EXPECT_EQ((*found)["path"].value_or(std::string()), "C:\\");
    EXPECT_EQ((*found)["remark"].value_or(std::string()), "made before");
    EXPECT_TRUE(fs::exists(OnDriveC("VtarnSvc.exe")));
    EXPECT_FALSE(fs::exists(OnDriveC("WINNT/VtarnSvc.exe")));
    ASSERT_TRUE(AgentRegistration());
    EXPECT_TRUE(AgentRegistration()->binaryPath == u"C:\\WINNT\\VtarnSvc.exe");

    const Outcome removed = Remove();
    EXPECT_TRUE(removed.status);
    EXPECT_EQ(removed.output, ""); // the stop request is refused: nothing runs
    EXPECT_FALSE(StatusEntry("shares", "VTARN$"));
    EXPECT_FALSE(fs::exists(OnDriveC("VtarnSvc.exe")));
    EXPECT_TRUE(AgentRegistration());
}

TEST_F(DeploymentLab, AnEarlierRegistrationIsOpenedAndStartedUnchanged) {
    const std::string before = Footprint();
    RegisterAgentService(u"Agent of an earlier run", u"C:\\WINNT\\VtarnSvc.exe");

    const Outcome installed = Install();
    ASSERT_EQ(installed.status, ERROR_SUCCESS);
    EXPECT_EQ(installed.output, kInstalled);
    EXPECT_EQ((*StatusEntry("services", "VtarnService"))["state"].value_or(std::string()), "running");
    EXPECT_TRUE(AgentRegistration()->displayName == u"Agent of an earlier run");

    const Outcome removed = Remove();
    EXPECT_TRUE(std::regex_match(removed.output, kStoppedAndRemoved)) << removed.output;
    EXPECT_EQ(Footprint(), before);
}

TEST_F(DeploymentLab, AnAgentAlreadyRunningCountsAsStarted) {
    ASSERT_EQ(Install().status, ERROR_SUCCESS);
    const std::int64_t pid = (*StatusEntry("services", "VtarnService"))["pid"].value_or(std::int64_t{0});
    ASSERT_NE(pid, 0);

    const Outcome again = Install();
    EXPECT_EQ(again.status, ERROR_SUCCESS);
    EXPECT_EQ(again.output, kInstalled);
    const std::optional<toml::table> service = StatusEntry("services", "VtarnService");
    EXPECT_EQ((*service)["state"].value_or(std::string()), "running");
    EXPECT_EQ((*service)["pid"].value_or(std::int64_t{0}), pid); // the same process, not a new one
}

// Two node workers deploy at the same time, each to its own node, as a verification run does.
TEST_F(DeploymentLab, TwoNodesAreDeployedAtOnce) {
    m_nodes.Start("NODE2");
    DWORD statuses[2] = {ERROR_GEN_FAILURE, ERROR_GEN_FAILURE};
    testing::internal::CaptureStdout();
    {
        std::jthread first([&statuses] {
            LPCWSTR arguments[] = {u"1"};
            statuses[0] = deploy::InstallAgent(u"NODE1", 1, arguments);
        });
        std::jthread second([&statuses] {
            LPCWSTR arguments[] = {u"2"};
            statuses[1] = deploy::InstallAgent(u"NODE2", 1, arguments);
        });
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), kInstalled + kInstalled);
    EXPECT_EQ(statuses[0], ERROR_SUCCESS);
    EXPECT_EQ(statuses[1], ERROR_SUCCESS);
    EXPECT_EQ(CurrentErrorMode(), 0u);

    const Outcome removed = Remove();
    EXPECT_TRUE(std::regex_match(removed.output, kStoppedAndRemoved)) << removed.output;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(deploy::RemoveAgent(u"NODE2"));
    EXPECT_TRUE(std::regex_match(testing::internal::GetCapturedStdout(), kStoppedAndRemoved));
}

// Copy failures planned on the node: a dropped share connection (64) is tried once more, at
// once; a second one, or any other error, ends the install before the service manager is asked.
// The share stays until RemoveAgent, which then finds no service and cleans up the rest.
struct CopyCase {
    const char* name;
    std::vector<DWORD> planned;
    DWORD expected;
};

class CopyFailure : public DeploymentLab, public testing::WithParamInterface<CopyCase> {};

TEST_P(CopyFailure, IsRetriedOnlyOnceAndOnlyForALostShareConnection) {
    const std::string before = Footprint();
    for (DWORD error : GetParam().planned) {
        std::string message;
        ASSERT_TRUE(ntsim::node::FaultInjector::Plan(Layout().FaultsFolder(deploytest::kNode), "CopyFileW",
                                                     error, message))
            << message;
    }

    const Outcome installed = Install();
    EXPECT_EQ(installed.status, GetParam().expected);
    EXPECT_EQ(CurrentErrorMode(), 0u);
    EXPECT_TRUE(StatusEntry("shares", "VTARN$"));
    if (GetParam().expected != ERROR_SUCCESS) {
        EXPECT_EQ(installed.output, "");
        EXPECT_FALSE(AgentRegistration());
        EXPECT_EQ(Remove().output, kNoService);
    } else {
        EXPECT_EQ(installed.output, kInstalled);
        EXPECT_TRUE(std::regex_match(Remove().output, kStoppedAndRemoved));
    }
    EXPECT_EQ(Footprint(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CopyFailure,
    testing::Values(CopyCase{"LostConnectionOnce", {ERROR_NETNAME_DELETED}, ERROR_SUCCESS},
                    CopyCase{"LostConnectionTwice",
                             {ERROR_NETNAME_DELETED, ERROR_NETNAME_DELETED},
                             ERROR_NETNAME_DELETED},
                    // A retry would succeed: returning 5 shows there was none.
                    CopyCase{"AccessDenied", {ERROR_ACCESS_DENIED}, ERROR_ACCESS_DENIED}),
    [](const testing::TestParamInfo<CopyCase>& param) { return param.param.name; });

TEST_F(DeploymentLab, RemoveWhereNothingIsInstalledChangesNothing) {
    const std::string before = Footprint();
    const Outcome removed = Remove();
    EXPECT_TRUE(removed.status);
    EXPECT_EQ(removed.output, kNoService);
    EXPECT_EQ(Footprint(), before);
}

TEST_F(DeploymentLab, RemoveOfAnAgentThatIsNotRunningKeepsTheRegistration) {
    ASSERT_EQ(Install().status, ERROR_SUCCESS);
    StopAgentService();

    const Outcome removed = Remove();
    EXPECT_TRUE(removed.status);
    EXPECT_EQ(removed.output, "");
    EXPECT_EQ((*StatusEntry("services", "VtarnService"))["state"].value_or(std::string()), "stopped");
    EXPECT_FALSE(fs::exists(OnDriveC("WINNT/VtarnSvc.exe")));
    EXPECT_FALSE(StatusEntry("shares", "VTARN$"));
}

// A service that stays stop-pending is given up on after 30 (scaled) seconds instead of being
// polled for ever; it is not deleted, and file and share still go.
TEST_F(DeploymentLab, AStopThatNeverEndsCountsAsNotStopped) {
    RegisterAgentService(u"Vtarn RPC Service",
                         platform::DriveMap(fs::path()).ToNt(labtest::Program("deploy_stuck_service")));
    StartAgentService();

    const Outcome removed = Remove();
    EXPECT_TRUE(removed.status);
    EXPECT_TRUE(std::regex_match(removed.output, std::regex(R"(Stopping Vtarn RPC Service\.\.+
Vtarn RPC Service failed to stop\.
)"))) << removed.output;
    EXPECT_EQ((*StatusEntry("services", "VtarnService"))["state"].value_or(std::string()), "stop pending");
}

TEST_F(DeploymentLab, CheckAdminAccessTellsAdministratorRefusedAndUnreachable) {
    EXPECT_EQ(deploy::CheckAdminAccess(u"NODE1"), deploy::kAdminAccessGranted);
    EXPECT_EQ(deploy::CheckAdminAccess(u"NODE2"),
              deploy::kAdminAccessUnreachable); // its ntnode is not running
    EXPECT_EQ(deploy::CheckAdminAccess(u"NOSUCH"), deploy::kAdminAccessUnreachable);
    const labtest::ScopedVariable operatorAccount(platform::lab::kAccountVariable, "Operator");
    EXPECT_EQ(deploy::CheckAdminAccess(u"NODE1"), deploy::kAdminAccessDenied);
}

// A system root that cannot be read or used stops the install before anything changes on the
// node, with the status of the step that failed.
struct SystemRootCase {
    const char* name;
    const WCHAR* computer;
    std::optional<std::u16string> systemRoot; // the value written first; nullopt: value deleted
    DWORD expected;
};

class UnusableSystemRoot : public DeploymentLab, public testing::WithParamInterface<SystemRootCase> {
protected:
    // Changes NODE1's SystemRoot value through its remote registry, as an administrator would.
    static void SetSystemRoot(const std::optional<std::u16string>& value, bool withTerminator) {
        HKEY root = nullptr;
        ASSERT_EQ(RegConnectRegistryW(u"NODE1", HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
        HKEY key = nullptr;
        ASSERT_EQ(
            RegOpenKeyExW(root, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
        if (value) {
            const DWORD bytes =
                static_cast<DWORD>((value->size() + (withTerminator ? 1 : 0)) * sizeof(WCHAR));
            EXPECT_EQ(RegSetValueExW(key, u"SystemRoot", 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(value->c_str()), bytes),
                      ERROR_SUCCESS);
        } else {
            EXPECT_EQ(RegDeleteValueW(key, u"SystemRoot"), ERROR_SUCCESS);
        }
        RegCloseKey(key);
        RegCloseKey(root);
    }
};

TEST_P(UnusableSystemRoot, StopsTheInstallBeforeAnythingChanges) {
    const SystemRootCase& test = GetParam();
    if (test.systemRoot != std::optional<std::u16string>(u"keep")) {
        // A root of exactly 1024 characters fills the 2048-byte buffer: written without its NUL.
        SetSystemRoot(test.systemRoot, !test.systemRoot || test.systemRoot->size() < 1024);
    }
    const std::string before = Footprint();
    LPCWSTR arguments[] = {u"1"};
    testing::internal::CaptureStdout();
    EXPECT_EQ(deploy::InstallAgent(test.computer, 1, arguments), test.expected);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(Footprint(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnusableSystemRoot,
    testing::Values(SystemRootCase{"ValueMissing", u"NODE1", std::nullopt, ERROR_FILE_NOT_FOUND},
                    SystemRootCase{"ValueEmpty", u"NODE1", u"", ERROR_INVALID_DATA},
                    SystemRootCase{"ValueWithoutRoomForItsEnd", u"NODE1", std::u16string(1024, u'C'),
                                   ERROR_INVALID_DATA},
                    // Read whole, but "\VtarnSvc.exe" no longer fits the 1024-character path.
                    SystemRootCase{"ProgramPathTooLong", u"NODE1", u"C:\\" + std::u16string(1008, u'W'),
                                   ERROR_FILENAME_EXCED_RANGE},
                    SystemRootCase{"UnknownComputer", u"NOSUCH", u"keep", ERROR_BAD_NETPATH}),
    [](const testing::TestParamInfo<SystemRootCase>& param) { return param.param.name; });

TEST_F(DeploymentLab, AComputerNameTooLongForThePathsIsRefusedWithoutHarm) {
    const std::u16string name(1100, u'N');
    LPCWSTR arguments[] = {u"1"};
    testing::internal::CaptureStdout();
    EXPECT_NE(deploy::InstallAgent(name.c_str(), 1, arguments), ERROR_SUCCESS);
    EXPECT_TRUE(deploy::RemoveAgent(name.c_str()));
    testing::internal::GetCapturedStdout();
}

} // namespace
