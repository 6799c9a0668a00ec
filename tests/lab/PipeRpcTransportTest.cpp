// The RPC run time over the lab's named pipes ("ncacn_np"): this test process serves a small
// interface as a process of NODE1 and calls it by the computer's name, as the workstation's
// administrator (impersonation succeeds) and as a process of NODE2 (a null session: it gets in
// only through NullSessionPipes, and cannot be impersonated). And a fresh process of the lab
// finds a computer by its name with its very first call.
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/rpc/Rpc.h"
#include "platform/rpc/ServerCall.h"
#include "tests/lab/programs/WhoAmI.h"
#include "tests/lab/support/WorkstationLab.h"

#include <gtest/gtest.h>

namespace {

using labtest::kWhoAmI;

RPC_STATUS AnswerWhoAmI(std::uint32_t, rpc::ByteView, rpc::Bytes& reply) {
    RPC_STATUS status = RpcImpersonateClient(nullptr);
    std::string who = status == RPC_S_OK ? platform::ToUtf8(rpc::ImpersonatedClient()->account) : "refused";
    if (status == RPC_S_OK) {
        RpcRevertToSelf();
    }
    reply.assign(who.begin(), who.end());
    return RPC_S_OK;
}

class PipeRpcTransport : public labtest::WorkstationLab {
protected:
    static std::string Call(std::u16string text = u"ncacn_np:NODE1[\\pipe\\whoami]") {
        return labtest::CallWhoAmI(std::move(text));
    }

    // Serves WhoAmI as a process of NODE1 on \pipe\whoami and on a TCP port of its own, both
    // registered in NODE1's endpoint map.
    void Serve() {
        As node1(m_lab, "NODE1");
        std::u16string pipe = u"ncacn_np";
        std::u16string endpoint = u"\\pipe\\whoami";
        std::u16string tcp = u"ncacn_ip_tcp";
        ASSERT_EQ(RpcServerUseProtseqEpW(pipe.data(), 3, endpoint.data(), nullptr), RPC_S_OK);
        ASSERT_EQ(RpcServerUseProtseqW(tcp.data(), 3, nullptr), RPC_S_OK);
        ASSERT_EQ(RpcServerRegisterIf(&m_server, nullptr, nullptr), RPC_S_OK);
        ASSERT_EQ(RpcServerListen(1, 10, TRUE), RPC_S_OK);
        RPC_BINDING_VECTOR* bindings = nullptr;
        ASSERT_EQ(RpcServerInqBindings(&bindings), RPC_S_OK);
        ASSERT_EQ(RpcEpRegisterW(&m_server, bindings, nullptr, nullptr), RPC_S_OK);
        RpcBindingVectorFree(&bindings);
    }

    void StopServing() {
        As node1(m_lab, "NODE1"); // the endpoints are given up as the computer's own process
        RpcMgmtStopServerListening(nullptr);
        RpcMgmtWaitServerListen();
        RpcServerUnregisterIf(&m_server, nullptr, TRUE);
    }

    RPC_SERVER_INTERFACE m_server{kWhoAmI, NdrTransferSyntax, 1, AnswerWhoAmI};
};

TEST_F(PipeRpcTransport, CallerWithCredentialsIsImpersonatedAndANullSessionIsNot) {
    Serve();
    if (HasFatalFailure()) {
        return;
    }
    {
        As workstation(m_lab, std::nullopt);
        EXPECT_EQ(Call(), "Administrator");
        EXPECT_EQ(Call(u"ncacn_np:NODE1"), "Administrator") << "the endpoint found in NODE1's endpoint map";
    }
    {
        As node2(m_lab, "NODE2");
        EXPECT_EQ(Call(), "status " + std::to_string(ERROR_ACCESS_DENIED)) << "whoami is no null-session pipe";
    }
    {
        As workstation(m_lab, std::nullopt);
        constexpr WCHAR names[] = u"whoami\0";
        SetNullSessionPipes(u"NODE1", {names, std::size(names)});
    }
    {
        As node2(m_lab, "NODE2");
        EXPECT_EQ(Call(), "refused");
    }
    StopServing();
}

// A process whose first lab call is an RPC call by a computer name, with no endpoint, finds the
// computer in the lab's name directory and the endpoint in its endpoint map, over either
// protocol sequence (a TCP caller brings no credentials: it is not impersonated).
TEST_F(PipeRpcTransport, AFreshProcessFindsAComputerByNameWithItsFirstCall) {
    Serve();
    if (HasFatalFailure()) {
        return;
    }
    const std::pair<std::string, std::string> cases[] = {
        {"ncacn_np:NODE1", "Administrator"},
        {"ncacn_ip_tcp:NODE1", "refused"},
        {"ncacn_ip_tcp:NOSUCH", "status " + std::to_string(RPC_S_SERVER_UNAVAILABLE)},
    };
    {
        As workstation(m_lab, std::nullopt);
        for (const auto& [binding, expected] : cases) {
            auto [output, exitCode] =
                labtest::RunCommand(labtest::Program("lab_first_call").string() + " " + binding);
            EXPECT_EQ(exitCode, 0) << binding;
            EXPECT_EQ(output, expected + "\n") << binding;
        }
    }
    StopServing();
}

} // namespace
