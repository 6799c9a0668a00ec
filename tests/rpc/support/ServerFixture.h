#pragma once
// A test process's own RPC server: the test interface on ncacn_ip_tcp and ncalrpc (local
// endpoints in a temporary computer folder), listening for the duration of each test.
#include "platform/Clock.h"
#include "platform/WinError.h"
#include "platform/rpc/Rpc.h"
#include "tests/rpc/support/TestInterface.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace rpctest {

// A binding made from a string binding, freed at the end of the scope.
class ClientBinding {
public:
    explicit ClientBinding(std::u16string text) {
        m_status = RpcBindingFromStringBindingW(text.data(), &m_handle);
    }
    ~ClientBinding() {
        if (m_handle != nullptr) {
            RpcBindingFree(&m_handle);
        }
    }
    ClientBinding(const ClientBinding&) = delete;
    ClientBinding& operator=(const ClientBinding&) = delete;

    RPC_STATUS Status() const { return m_status; }
    RPC_BINDING_HANDLE Handle() const { return m_handle; }

    RPC_STATUS Call(std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply,
                    const RPC_CLIENT_INTERFACE& clientInterface = DefaultInterface()) {
        return NdrClientCall(m_handle, &clientInterface, opnum, request, reply);
    }

    static const RPC_CLIENT_INTERFACE& DefaultInterface() {
        static const RPC_CLIENT_INTERFACE clientInterface = TestClientInterface();
        return clientInterface;
    }

private:
    RPC_BINDING_HANDLE m_handle = nullptr;
    RPC_STATUS m_status = RPC_S_OK;
};

class ServerFixture : public testing::Test {
protected:
    static void SetUpTestSuite() {
        static const bool registered = [] {
            platform::SetTimeScale(0.01);
            char folder[] = "/tmp/tarn-rpc-test-XXXXXX";
            if (::mkdtemp(folder) != nullptr) {
                ComputerFolder() = folder;
                ::setenv("VTARN_COMPUTER_DIR", folder, 1);
                std::atexit([] {
                    std::error_code ignored;
                    std::filesystem::remove_all(ComputerFolder(), ignored);
                });
            }
            std::u16string tcp = u"ncacn_ip_tcp";
            std::u16string local = u"ncalrpc";
            return RpcServerUseProtseqW(tcp.data(), RPC_C_PROTSEQ_MAX_REQS_DEFAULT, nullptr) == RPC_S_OK &&
                   RpcServerUseProtseqW(local.data(), RPC_C_PROTSEQ_MAX_REQS_DEFAULT, nullptr) == RPC_S_OK &&
                   RpcServerRegisterIf(&TestServerInterface(), nullptr, nullptr) == RPC_S_OK;
        }();
        ASSERT_TRUE(registered);
    }

    void SetUp() override { ASSERT_EQ(RpcServerListen(2, RPC_C_LISTEN_MAX_CALLS_DEFAULT, TRUE), RPC_S_OK); }

    void TearDown() override {
        SetBlockHandler({});
        if (RpcMgmtStopServerListening(nullptr) == RPC_S_OK) {
            RpcMgmtWaitServerListen();
        }
    }

    // The server's string binding for `protseq`.
    static std::u16string ServerBinding(std::u16string_view protseq) {
        RPC_BINDING_VECTOR* bindings = nullptr;
        std::u16string found;
        if (RpcServerInqBindings(&bindings) != RPC_S_OK) {
            return found;
        }
        for (ULONG i = 0; i < bindings->Count; ++i) {
            RPC_WSTR text = nullptr;
            if (RpcBindingToStringBindingW(bindings->BindingH[i], &text) == RPC_S_OK) {
                std::u16string binding(text);
                if (binding.starts_with(protseq) && binding[protseq.size()] == u':') {
                    found = binding;
                }
                RpcStringFreeW(&text);
            }
        }
        RpcBindingVectorFree(&bindings);
        return found;
    }

    static std::filesystem::path& ComputerFolder() {
        static std::filesystem::path folder;
        return folder;
    }
};

} // namespace rpctest
