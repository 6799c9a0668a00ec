// The registry, share, file and event-log families as programs call them: this test process
// acts as the lab's workstation (VTARN_LAB set) and calls real ntnode processes.
#include "ntsim/node/EventLogStore.h"
#include "ntsim/node/FaultInjector.h"
#include "ntsim/node/RegistryImage.h"
#include "platform/EventLog.h"
#include "platform/Files.h"
#include "platform/LabEnvironment.h"
#include "platform/LastError.h"
#include "platform/NetShare.h"
#include "platform/NtPath.h"
#include "platform/Registry.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "tests/lab/support/NodeProcesses.h"
#include "tests/lab/support/TempLab.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;
namespace env = platform::lab;
using labtest::ScopedVariable;

const WCHAR kCurrentVersion[] = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const WCHAR kServerParameters[] = u"SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Parameters";

class RemoteFamilies : public testing::Test {
protected:
    RemoteFamilies()
        : m_ports(labtest::FreePorts(3)), m_labVariable(env::kLabVariable, (m_lab.WriteStandard(m_ports), m_lab.Folder().string())),
          m_computerVariable(env::kComputerVariable, std::nullopt), m_accountVariable(env::kAccountVariable, std::nullopt),
          m_nodes(m_lab) {
        m_nodes.Start("NODE1");
    }

    // Reads a value of NODE1's registry as the console does (connect, open, query).
    LSTATUS ReadValue(const WCHAR* key, const WCHAR* name, std::vector<BYTE>& data, DWORD& type) {
        HKEY root = nullptr;
        LSTATUS status = RegConnectRegistryW(u"NODE1", HKEY_LOCAL_MACHINE, &root);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        HKEY opened = nullptr;
        status = RegOpenKeyExW(root, key, 0, KEY_READ, &opened);
        if (status == ERROR_SUCCESS) {
            DWORD size = 0;
            status = RegQueryValueExW(opened, name, nullptr, &type, nullptr, &size);
            data.resize(size);
            if (status == ERROR_SUCCESS) {
                status = RegQueryValueExW(opened, name, nullptr, &type, data.data(), &size);
            }
            RegCloseKey(opened);
        }
        RegCloseKey(root);
        return status;
    }

    labtest::TempLab m_lab;
    std::vector<std::uint16_t> m_ports;
    ScopedVariable m_labVariable;
    ScopedVariable m_computerVariable;
    ScopedVariable m_accountVariable;
    labtest::NodeProcesses m_nodes;
};

TEST_F(RemoteFamilies, RegistryReadsSizesAndKeepsAChangeAcrossAnNtnodeRestart) {
    std::vector<BYTE> data;
    DWORD type = 0;
    ASSERT_EQ(ReadValue(kCurrentVersion, u"SystemRoot", data, type), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(data, ntsim::node::StringData(u"C:\\WINNT"));

    HKEY root = nullptr;
    ASSERT_EQ(RegConnectRegistryW(u"\\\\NODE1", HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(root, kServerParameters, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    BYTE small[4];
    DWORD size = sizeof small;
    EXPECT_EQ(RegQueryValueExW(key, u"NullSessionPipes", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_GT(size, sizeof small); // the size it needs
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(RegQueryValueExW(key, u"NoSuchValue", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);

    std::vector<BYTE> pipes = ntsim::node::MultiStringData({u"tarn", u"COMNAP"});
    ASSERT_EQ(RegSetValueExW(key, u"NullSessionPipes", 0, REG_MULTI_SZ, pipes.data(), static_cast<DWORD>(pipes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
    RegCloseKey(root);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE); // closed already

    ASSERT_EQ(m_nodes.Stop("NODE1"), 0);
    EXPECT_EQ(ReadValue(kServerParameters, u"NullSessionPipes", data, type), ERROR_BAD_NETPATH); // down
    m_nodes.Start("NODE1");
    ASSERT_EQ(ReadValue(kServerParameters, u"NullSessionPipes", data, type), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(data, pipes);
}

TEST_F(RemoteFamilies, RegistryKeysAndRefusals) {
    HKEY root = nullptr;
    ASSERT_EQ(RegConnectRegistryW(u"NODE1", HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(root, u"SOFTWARE\\Veltra\\Toolbay", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteKeyW(root, u"SOFTWARE\\Veltra"), ERROR_ACCESS_DENIED); // it has a subkey
    EXPECT_EQ(RegDeleteKeyW(root, u"SOFTWARE\\Veltra\\Toolbay"), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExW(root, u"SOFTWARE\\Veltra\\Toolbay", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);

    ASSERT_EQ(RegOpenKeyExW(root, kCurrentVersion, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD value = 1;
    EXPECT_EQ(RegSetValueExW(key, u"X", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), sizeof value),
              ERROR_ACCESS_DENIED); // opened for reading only
    RegCloseKey(key);
    RegCloseKey(root);

    EXPECT_EQ(RegConnectRegistryW(u"NOSUCHPC", HKEY_LOCAL_MACHINE, &root), ERROR_BAD_NETPATH);
    EXPECT_EQ(RegConnectRegistryW(u"NODE2", HKEY_LOCAL_MACHINE, &root), ERROR_BAD_NETPATH); // not started

    ScopedVariable operatorAccount(env::kAccountVariable, "Operator");
    ASSERT_EQ(RegConnectRegistryW(u"NODE1", HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS); // reading is allowed
    EXPECT_EQ(RegOpenKeyExW(root, kServerParameters, 0, KEY_ALL_ACCESS, &key), ERROR_ACCESS_DENIED);
    RegCloseKey(root);
    ScopedVariable stranger(env::kAccountVariable, "Stranger");
    EXPECT_EQ(RegConnectRegistryW(u"NODE1", HKEY_LOCAL_MACHINE, &root), ERROR_LOGON_FAILURE);
}

TEST_F(RemoteFamilies, ShareAddGetDeleteAndAProgramCopiedThroughTheHiddenShare) {
    WCHAR shareName[] = u"VTARN$";
    WCHAR path[] = u"C:\\WINNT";
    WCHAR computer[] = u"NODE1";
    SHARE_INFO_2 info{shareName, STYPE_DISKTREE | STYPE_SPECIAL, nullptr, 0x7F, 2, 0, path, nullptr};
    DWORD parmError = 0;
    ASSERT_EQ(NetShareAdd(computer, 2, reinterpret_cast<LPBYTE>(&info), &parmError), NERR_Success);
    EXPECT_EQ(NetShareAdd(computer, 2, reinterpret_cast<LPBYTE>(&info), &parmError), NERR_DuplicateShare);
    LPBYTE buffer = nullptr;
    ASSERT_EQ(NetShareGetInfo(computer, shareName, 2, &buffer), NERR_Success);
    const auto* got = reinterpret_cast<const SHARE_INFO_2*>(buffer);
    EXPECT_TRUE(platform::WideView(got->shi2_path) == u"C:\\WINNT");
    EXPECT_EQ(got->shi2_type, STYPE_DISKTREE | STYPE_SPECIAL);
    EXPECT_EQ(got->shi2_max_uses, 2u);
    EXPECT_EQ(NetApiBufferFree(buffer), NERR_Success);

    fs::path source = m_lab.Folder() / "VtarnSvc.exe";
    std::ofstream(source, std::ios::binary) << std::string(200000, 'x') << "end"; // several pieces
    fs::permissions(source, fs::perms(0755));
    std::u16string from = platform::DriveMap({}).ToNt(source);
    const WCHAR target[] = u"\\\\NODE1\\VTARN$\\VtarnSvc.exe";
    ASSERT_TRUE(CopyFileW(from.c_str(), target, FALSE)) << GetLastError();
    fs::path copied = m_lab.Folder() / "state/NODE1/drives/C/WINNT/VtarnSvc.exe";
    EXPECT_EQ(fs::file_size(copied), 200003u);
    EXPECT_NE(fs::status(copied).permissions() & fs::perms::owner_exec, fs::perms::none);
    EXPECT_TRUE(CopyFileW(from.c_str(), target, FALSE)) << "overwrite";

    struct Case {
        const char* what;
        std::u16string from;
        std::u16string to;
        BOOL failIfExists;
        DWORD error;
    };
    const Case cases[] = {
        {"exists", from, target, TRUE, ERROR_FILE_EXISTS},
        {"no such share", from, u"\\\\NODE1\\NOSHARE\\x.exe", FALSE, ERROR_BAD_NET_NAME},
        {"no such folder", from, u"\\\\NODE1\\VTARN$\\nofolder\\x.exe", FALSE, ERROR_PATH_NOT_FOUND},
        {"no such computer", from, u"\\\\NOSUCHPC\\VTARN$\\x.exe", FALSE, ERROR_BAD_NETPATH},
        {"computer not answering", from, u"\\\\NODE2\\VTARN$\\x.exe", FALSE, ERROR_BAD_NETPATH},
        {"no source", from + u".missing", target, FALSE, ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(CopyFileW(c.from.c_str(), c.to.c_str(), c.failIfExists)) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }

    // A copy back from the share to a local file.
    std::u16string back = platform::DriveMap({}).ToNt(m_lab.Folder() / "back.exe");
    ASSERT_TRUE(CopyFileW(target, back.c_str(), TRUE)) << GetLastError();
    EXPECT_EQ(fs::file_size(m_lab.Folder() / "back.exe"), 200003u);

    ASSERT_TRUE(DeleteFileW(target)) << GetLastError();
    EXPECT_FALSE(fs::exists(copied));
    EXPECT_FALSE(DeleteFileW(target));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(NetShareDel(computer, shareName, 0), NERR_Success);
    EXPECT_EQ(NetShareGetInfo(computer, shareName, 2, &buffer), NERR_NetNameNotFound);
    EXPECT_EQ(NetShareDel(computer, shareName, 0), NERR_NetNameNotFound);
    WCHAR missing[] = u"NOSUCHPC";
    EXPECT_EQ(NetShareGetInfo(missing, shareName, 2, &buffer), ERROR_BAD_NETPATH);
}

TEST_F(RemoteFamilies, SharesRefuseNonAdministratorsAndBadRecords) {
    WCHAR computer[] = u"NODE1";
    WCHAR shareName[] = u"DATA";
    WCHAR missingPath[] = u"C:\\NOWHERE";
    SHARE_INFO_2 info{shareName, STYPE_DISKTREE, nullptr, 0, SHI_USES_UNLIMITED, 0, missingPath, nullptr};
    DWORD parmError = 0;
    EXPECT_EQ(NetShareAdd(computer, 2, reinterpret_cast<LPBYTE>(&info), &parmError), NERR_UnknownDevDir);
    WCHAR badName[] = u"A\\B";
    info.shi2_netname = badName;
    EXPECT_EQ(NetShareAdd(computer, 2, reinterpret_cast<LPBYTE>(&info), &parmError), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(parmError, SHARE_NETNAME_PARMNUM);
    EXPECT_EQ(NetShareAdd(computer, 1, reinterpret_cast<LPBYTE>(&info), &parmError), ERROR_INVALID_LEVEL);

    ScopedVariable operatorAccount(env::kAccountVariable, "Operator");
    WCHAR admin[] = u"ADMIN$";
    LPBYTE buffer = nullptr;
    EXPECT_EQ(NetShareGetInfo(computer, admin, 2, &buffer), ERROR_ACCESS_DENIED);
    ASSERT_EQ(NetShareGetInfo(computer, admin, 1, &buffer), NERR_Success);
    EXPECT_EQ(reinterpret_cast<SHARE_INFO_1*>(buffer)->shi1_type, STYPE_DISKTREE | STYPE_SPECIAL);
    NetApiBufferFree(buffer);
    EXPECT_EQ(NetShareDel(computer, admin, 0), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CopyFileW(u"Z:\\etc\\hostname", u"\\\\NODE1\\ADMIN$\\x", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(RemoteFamilies, PlannedFailureHitsTheNextCopyOnly) {
    WCHAR computer[] = u"NODE1";
    WCHAR admin[] = u"ADMIN$";
    LPBYTE buffer = nullptr;
    ASSERT_EQ(NetShareGetInfo(computer, admin, 0, &buffer), NERR_Success);
    NetApiBufferFree(buffer);
    std::string message;
    ASSERT_TRUE(ntsim::node::FaultInjector::Plan(m_lab.Folder() / "state/NODE1/faults", "CopyFileW",
                                                 ERROR_NETNAME_DELETED, message));
    fs::path source = m_lab.Folder() / "file.txt";
    std::ofstream(source) << "text";
    std::u16string from = platform::DriveMap({}).ToNt(source);
    const WCHAR target[] = u"\\\\NODE1\\ADMIN$\\file.txt";
    EXPECT_FALSE(CopyFileW(from.c_str(), target, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_NETNAME_DELETED);
    EXPECT_TRUE(CopyFileW(from.c_str(), target, FALSE)) << GetLastError();
}

TEST_F(RemoteFamilies, EventsAreWrittenToTheComputersLog) {
    HANDLE source = RegisterEventSourceW(u"NODE1", u"VtarnService");
    ASSERT_NE(source, nullptr) << GetLastError();
    LPCWSTR strings[] = {u"VtarnService error: 5", u"SetServiceStatus"};
    ASSERT_TRUE(ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 2, 0, strings, nullptr)) << GetLastError();
    EXPECT_FALSE(ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(DeregisterEventSource(source));
    EXPECT_FALSE(DeregisterEventSource(source));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    std::vector<ntsim::node::EventRecord> events =
        ntsim::node::EventLogStore::ReadAll(m_lab.Folder() / "state/NODE1/eventlog.toml");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].source == u"VtarnService");
    EXPECT_EQ(events[0].type, EVENTLOG_ERROR_TYPE);
    ASSERT_EQ(events[0].strings.size(), 2u);
    EXPECT_TRUE(events[0].strings[1] == u"SetServiceStatus");
    EXPECT_EQ(events[0].user, "Administrator");

    EXPECT_EQ(RegisterEventSourceW(u"NODE2", u"VtarnService"), nullptr);
    EXPECT_EQ(GetLastError(), RPC_S_SERVER_UNAVAILABLE);
}

TEST_F(RemoteFamilies, ComputersOwnProcessesActAsItsSystemAndAsNobodyElsewhere) {
    m_nodes.Start("NODE2");
    ScopedVariable computer(env::kComputerVariable, "NODE1");
    ScopedVariable folder(env::kComputerDirVariable, (m_lab.Folder() / "state/NODE1").string());

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServerParameters, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    std::vector<BYTE> pipes = ntsim::node::MultiStringData({u"tarn"});
    EXPECT_EQ(RegSetValueExW(key, u"NullSessionPipes", 0, REG_MULTI_SZ, pipes.data(), static_cast<DWORD>(pipes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);

    HKEY root = nullptr;
    EXPECT_EQ(RegConnectRegistryW(u"NODE2", HKEY_LOCAL_MACHINE, &root), ERROR_ACCESS_DENIED); // a null session
    WCHAR node2[] = u"NODE2";
    WCHAR admin[] = u"ADMIN$";
    LPBYTE buffer = nullptr;
    EXPECT_EQ(NetShareGetInfo(node2, admin, 0, &buffer), ERROR_ACCESS_DENIED);

    HANDLE source = RegisterEventSourceW(nullptr, u"VtarnService");
    ASSERT_NE(source, nullptr) << GetLastError();
    LPCWSTR strings[] = {u"started"};
    EXPECT_TRUE(ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, 7, nullptr, 1, 0, strings, nullptr));
    DeregisterEventSource(source);
    std::vector<ntsim::node::EventRecord> events =
        ntsim::node::EventLogStore::ReadAll(m_lab.Folder() / "state/NODE1/eventlog.toml");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].user, "SYSTEM");

    WCHAR program[1024];
    DWORD length = GetModuleFileNameW(nullptr, program, 1024);
    std::u16string_view name(program, length);
    EXPECT_TRUE(name.starts_with(u"Z:\\") && name.ends_with(u"\\test_lab")) << platform::ToUtf8(name);
    WCHAR small[4];
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 4), 4u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_TRUE(std::u16string_view(small) == u"Z:\\");

    // A copy between this computer's own drives and the host drive, without the network.
    std::ofstream(m_lab.Folder() / "local.txt") << "local";
    std::u16string from = platform::DriveMap({}).ToNt(m_lab.Folder() / "local.txt");
    EXPECT_EQ(SetErrorMode(SEM_FAILCRITICALERRORS), 0u);
    ASSERT_TRUE(CopyFileW(from.c_str(), u"C:\\winnt\\Local.txt", TRUE)) << GetLastError();
    EXPECT_EQ(SetErrorMode(0), SEM_FAILCRITICALERRORS);
    EXPECT_TRUE(fs::exists(m_lab.Folder() / "state/NODE1/drives/C/WINNT/Local.txt"));
    EXPECT_FALSE(CopyFileW(from.c_str(), u"D:\\Local.txt", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND); // NODE1 has no drive D
    EXPECT_TRUE(DeleteFileW(u"C:\\WINNT\\local.TXT"));
    EXPECT_FALSE(DeleteFileW(u"C:\\WINNT\\local.TXT"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

} // namespace
