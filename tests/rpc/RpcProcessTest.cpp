// Calls between two processes: a second process runs rpc_test_server.
#include "platform/Clock.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "tests/rpc/support/ServerFixture.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

extern char** environ;

namespace {

using rpctest::ClientBinding;

// Guards the test against a server that never writes its line; not a measured time.
constexpr int kHangGuardMs = 20000;

std::filesystem::path ServerProgram() {
    const char* binDir = std::getenv("TARN_BIN_DIR");
    std::filesystem::path folder = binDir != nullptr
                                       ? std::filesystem::path(binDir)
                                       : std::filesystem::read_symlink("/proc/self/exe").parent_path();
    return folder / "rpc_test_server";
}

class ServerProcess {
public:
    ServerProcess() {
        int output[2];
        if (::pipe(output) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, output[0]);
        std::string program = ServerProgram().string();
        char* argv[] = {program.data(), nullptr};
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv, environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(output[1]);
        m_output = output[0];
    }
    ~ServerProcess() {
        if (m_pid > 0) {
            Signal(SIGKILL);
            Wait();
        }
        ::close(m_output);
    }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool Started() const { return m_pid > 0; }

    // The next line the server writes, without its line end; empty when it writes none.
    std::string ReadLine() {
        std::string line;
        char c = 0;
        for (;;) {
            pollfd entry{m_output, POLLIN, 0};
            if (::poll(&entry, 1, kHangGuardMs) != 1 || ::read(m_output, &c, 1) != 1 || c == '\n') {
                return line;
            }
            line.push_back(c);
        }
    }

    void Signal(int signal) { ::kill(m_pid, signal); }

    // The exit status, or -1 when the process did not exit normally.
    int Wait() {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_output = -1;
};

TEST(RpcProcess, FullSizeBodiesCrossProcessesAndSigtermStopsTheServerCleanly) {
    ServerProcess server;
    ASSERT_TRUE(server.Started());
    std::string binding = server.ReadLine();
    ASSERT_TRUE(binding.starts_with("ncacn_ip_tcp:")) << binding;
    ClientBinding client(platform::ToUtf16(binding));
    rpc::Bytes record = rpctest::Pattern(41240);
    rpc::Bytes reply;
    ASSERT_EQ(client.Call(rpctest::Ping, {}, reply), RPC_S_OK);
    ASSERT_EQ(client.Call(rpctest::Echo, record, reply), RPC_S_OK);
    EXPECT_EQ(reply, record);
    ASSERT_EQ(client.Call(rpctest::Fill, rpctest::U32(41240), reply), RPC_S_OK);
    EXPECT_EQ(reply, record);

    server.Signal(SIGTERM);
    EXPECT_EQ(server.Wait(), 0);
}

TEST(RpcProcess, AServerKilledMidCallGivesTheCallerAStatus) {
    platform::SetTimeScale(0.01);
    ServerProcess server;
    ASSERT_TRUE(server.Started());
    ClientBinding client(platform::ToUtf16(server.ReadLine()));
    RPC_STATUS status = -1;
    std::thread caller([&] {
        rpc::Bytes reply;
        status = client.Call(rpctest::Block, {}, reply);
    });
    EXPECT_EQ(server.ReadLine(), "busy");
    server.Signal(SIGKILL);
    caller.join();
    EXPECT_TRUE(status == RPC_S_CALL_FAILED || status == RPC_S_COMM_FAILURE) << status;
    EXPECT_EQ(server.Wait(), -1);
    rpc::Bytes reply;
    EXPECT_EQ(client.Call(rpctest::Ping, {}, reply), RPC_S_SERVER_UNAVAILABLE);
}

} // namespace
