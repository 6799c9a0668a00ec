// Named pipes across the lab: a service of NODE1 (the test service program in pipe mode) serves
// a pipe; this test process opens it by name as the workstation's administrator and as a
// process of NODE2 (a null session), and the serving end learns who opened it.
#include "NodeProcesses.h"
#include "TempLab.h"
#include "platform/Clock.h"
#include "platform/CreateFile.h"
#include "platform/LabEnvironment.h"
#include "platform/LastError.h"
#include "platform/NtPath.h"
#include "platform/Pipe.h"
#include "platform/Registry.h"
#include "platform/Service.h"
#include "platform/WinError.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
namespace env = platform::lab;
using labtest::ScopedVariable;

constexpr const char* kTimeScale = "0.1";
constexpr const WCHAR* kPipePath = u"\\\\NODE1\\pipe\\tarntest";
const WCHAR kServerParameters[] = u"SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Parameters";

class Pipes : public testing::Test {
protected:
    Pipes()
        : m_ports(labtest::FreePorts(3)),
          m_labVariable(env::kLabVariable, (m_lab.WriteStandard(m_ports), m_lab.Folder().string())),
          m_computerVariable(env::kComputerVariable, std::nullopt),
          m_accountVariable(env::kAccountVariable, std::nullopt), m_timeScale(env::kTimeScaleVariable, kTimeScale),
          m_nodes(m_lab) {
        platform::SetTimeScale(std::stod(kTimeScale));
        m_nodes.Start("NODE1");
        StartPipeService();
    }

    ~Pipes() override {
        SERVICE_STATUS status{};
        ControlService(m_service, SERVICE_CONTROL_STOP, &status);
        CloseServiceHandle(m_service);
        CloseServiceHandle(m_manager);
        platform::SetTimeScale(1);
    }

    void StartPipeService() {
        m_manager = OpenSCManagerW(u"NODE1", nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(m_manager, nullptr) << GetLastError();
        std::u16string program = platform::DriveMap(fs::path()).ToNt(labtest::Program("lab_test_service"));
        m_service = CreateServiceW(m_manager, u"TarnPipeService", nullptr, SERVICE_ALL_ACCESS,
                                   SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                   program.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(m_service, nullptr) << GetLastError();
        LPCWSTR arguments[] = {u"pipe:tarntest"};
        ASSERT_TRUE(StartServiceW(m_service, 1, arguments)) << GetLastError();
        SERVICE_STATUS status{};
        for (int attempt = 0; attempt < 400 && QueryServiceStatus(m_service, &status); ++attempt) {
            if (status.dwCurrentState != SERVICE_START_PENDING) {
                break;
            }
            Sleep(50);
        }
        ASSERT_EQ(status.dwCurrentState, SERVICE_RUNNING) << "exit code " << status.dwWin32ExitCode;
    }

    // Opens the pipe, waiting for its one instance to take a client again after the last one.
    static HANDLE Open(const WCHAR* path = kPipePath) {
        WaitNamedPipeW(path, 5000);
        return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }

    // One message there and the answer back.
    static std::string Exchange(HANDLE pipe, const std::string& message) {
        DWORD count = 0;
        if (!WriteFile(pipe, message.data(), static_cast<DWORD>(message.size()), &count, nullptr)) {
            return "write failed " + std::to_string(GetLastError());
        }
        char buffer[256];
        if (!ReadFile(pipe, buffer, sizeof buffer, &count, nullptr)) {
            return "read failed " + std::to_string(GetLastError());
        }
        return std::string(buffer, count);
    }

    // Acts as a process of NODE2 for the scope's life: it opens NODE1's pipes without credentials.
    struct AsNode2 {
        explicit AsNode2(const labtest::TempLab& lab)
            : computer(env::kComputerVariable, "NODE2"),
              folder(env::kComputerDirVariable, (lab.Folder() / "state" / "NODE2").string()) {}
        ScopedVariable computer;
        ScopedVariable folder;
    };

    labtest::TempLab m_lab;
    std::vector<std::uint16_t> m_ports;
    ScopedVariable m_labVariable;
    ScopedVariable m_computerVariable;
    ScopedVariable m_accountVariable;
    ScopedVariable m_timeScale;
    labtest::NodeProcesses m_nodes;
    SC_HANDLE m_manager = nullptr;
    SC_HANDLE m_service = nullptr;
};

TEST_F(Pipes, OpenerWithCredentialsIsKnownToTheServerAndTheOneInstanceIsBusyMeanwhile) {
    HANDLE pipe = Open();
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(Exchange(pipe, "hello"), "Administrator|hello");

    EXPECT_EQ(CreateFileW(kPipePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PIPE_BUSY);

    // In message mode a message larger than the buffer comes in parts, ERROR_MORE_DATA before the last.
    DWORD mode = PIPE_READMODE_MESSAGE;
    ASSERT_TRUE(SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr));
    DWORD count = 0;
    ASSERT_TRUE(WriteFile(pipe, "0123456789", 10, &count, nullptr));
    char part[8];
    EXPECT_FALSE(ReadFile(pipe, part, sizeof part, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
    EXPECT_EQ(std::string(part, count), "Administ");
    char rest[64];
    ASSERT_TRUE(ReadFile(pipe, rest, sizeof rest, &count, nullptr));
    EXPECT_EQ(std::string(rest, count), "rator|0123456789");
    ASSERT_TRUE(CloseHandle(pipe));

    // After the first client has gone the instance takes the next one.
    pipe = Open();
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(Exchange(pipe, "again"), "Administrator|again");
    CloseHandle(pipe);
}

TEST_F(Pipes, NullSessionOpensOnlyThePipesTheComputerListsForIt) {
    {
        AsNode2 node2(m_lab);
        EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    }
    // The administrator adds the name to NODE1's NullSessionPipes, as the agent of node 1 does.
    HKEY root = nullptr;
    ASSERT_EQ(RegConnectRegistryW(u"NODE1", HKEY_LOCAL_MACHINE, &root), ERROR_SUCCESS);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(root, kServerParameters, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    const WCHAR names[] = u"tarntest\0COMNAP\0";
    ASSERT_EQ(RegSetValueExW(key, u"NullSessionPipes", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(names),
                             sizeof names),
              ERROR_SUCCESS);
    RegCloseKey(key);
    RegCloseKey(root);

    AsNode2 node2(m_lab);
    HANDLE pipe = Open(u"\\\\NODE1\\PIPE\\TarnTest"); // names are compared ignoring case
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(Exchange(pipe, "hi"), "anonymous|hi");
    CloseHandle(pipe);
}

TEST_F(Pipes, NamesNobodyServesAndComputersThatDoNotExist) {
    struct Case {
        const WCHAR* path;
        DWORD error;
    };
    const Case cases[] = {
        {u"\\\\NODE1\\pipe\\nobody", ERROR_FILE_NOT_FOUND},
        {u"\\\\NOSUCHNODE\\pipe\\tarntest", ERROR_BAD_NETPATH},
        {u"\\\\NODE2\\pipe\\tarntest", ERROR_BAD_NETPATH}, // its ntnode does not run
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CreateFileW(c.path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
    }
    // A service that stops closes its pipe, which its computer then no longer offers.
    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(m_service, SERVICE_CONTROL_STOP, &status)) << GetLastError();
    for (int attempt = 0; attempt < 400 && QueryServiceStatus(m_service, &status); ++attempt) {
        if (status.dwCurrentState == SERVICE_STOPPED) {
            break;
        }
        Sleep(50);
    }
    EXPECT_EQ(CreateFileW(kPipePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

} // namespace
