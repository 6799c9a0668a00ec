// Named pipes across the lab: a service of NODE1 (the test service program in pipe mode) serves
// a pipe; this test process opens it by name as the workstation's administrator and as a
// process of NODE2 (a null session), and the serving end learns who opened it.
#include "platform/Clock.h"
#include "platform/CreateFile.h"
#include "platform/LastError.h"
#include "platform/NtPath.h"
#include "platform/Pipe.h"
#include "platform/Service.h"
#include "platform/WinError.h"
#include "tests/lab/support/WorkstationLab.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

constexpr const WCHAR* kPipePath = u"\\\\NODE1\\pipe\\tarntest";

class Pipes : public labtest::WorkstationLab {
protected:
    Pipes() { StartPipeService(); }

    ~Pipes() override {
        SERVICE_STATUS status{};
        ControlService(m_service, SERVICE_CONTROL_STOP, &status);
        CloseServiceHandle(m_service);
        CloseServiceHandle(m_manager);
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
        As node2(m_lab, "NODE2");
        EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    }
    // The administrator adds the name to NODE1's NullSessionPipes, as the agent of node 1 does.
    constexpr WCHAR names[] = u"tarntest\0COMNAP\0";
    SetNullSessionPipes(u"NODE1", {names, std::size(names)});

    As node2(m_lab, "NODE2");
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

TEST_F(Pipes, ServerEndInThisProcessSeesTheClientComeFirstAndDropsIt) {
    const WCHAR* ownPipe = u"\\\\.\\pipe\\ownpipe";
    HANDLE server = INVALID_HANDLE_VALUE;
    {
        As node1(m_lab, "NODE1");
        server = CreateNamedPipeW(ownPipe, PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, 1024, 1024,
                                  5000, nullptr);
        ASSERT_NE(server, INVALID_HANDLE_VALUE) << GetLastError();
        EXPECT_EQ(CreateNamedPipeW(ownPipe, PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, 1024,
                                   1024, 5000, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), ERROR_PIPE_BUSY) << "one instance only";
    }
    char buffer[16];
    DWORD count = 0;
    EXPECT_FALSE(ReadFile(server, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PIPE_LISTENING);

    HANDLE client = Open(u"\\\\NODE1\\pipe\\ownpipe");
    ASSERT_NE(client, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_FALSE(ConnectNamedPipe(server, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PIPE_CONNECTED);
    std::optional<std::u16string> account;
    ASSERT_EQ(platform::PipeClientAccount(server, account), ERROR_SUCCESS);
    EXPECT_EQ(account, std::optional<std::u16string>(u"Administrator"));
    ASSERT_TRUE(WriteFile(server, "to you", 6, &count, nullptr));
    ASSERT_TRUE(FlushFileBuffers(server));
    ASSERT_TRUE(ReadFile(client, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(std::string(buffer, count), "to you");

    ASSERT_TRUE(DisconnectNamedPipe(server));
    EXPECT_FALSE(ReadFile(client, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_BROKEN_PIPE);
    EXPECT_FALSE(WriteFile(client, "late", 4, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NO_DATA);
    EXPECT_FALSE(ReadFile(server, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PIPE_NOT_CONNECTED);
    CloseHandle(client);

    As node1(m_lab, "NODE1"); // the pipe is withdrawn as the computer's own process
    EXPECT_TRUE(CloseHandle(server));
    EXPECT_FALSE(CloseHandle(server));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

} // namespace
