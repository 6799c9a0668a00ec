// The RPC run time over the lab's named pipes ("ncacn_np"): this test process serves a small
// interface as a process of NODE1 and calls it by the computer's name, as the workstation's
// administrator (impersonation succeeds) and as a process of NODE2 (a null session: it gets in
// only through NullSessionPipes, and cannot be impersonated).
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/rpc/Rpc.h"
#include "platform/rpc/ServerCall.h"
#include "tests/lab/support/WorkstationLab.h"

#include <gtest/gtest.h>

namespace {


// 5b7e1f30-0c2d-4a8e-9f61-2d3c4b5a6978 version 1.0: procedure 0 answers whom it impersonated.
constexpr RPC_SYNTAX_IDENTIFIER kWhoAmI = {
    {0x5b7e1f30, 0x0c2d, 0x4a8e, {0x9f, 0x61, 0x2d, 0x3c, 0x4b, 0x5a, 0x69, 0x78}}, {1, 0}};

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
    // Calls procedure 0 over `text`, a string binding.
    static std::string Call(std::u16string text = u"ncacn_np:NODE1[\\pipe\\whoami]") {
        RPC_BINDING_HANDLE binding = nullptr;
        if (RpcBindingFromStringBindingW(text.data(), &binding) != RPC_S_OK) {
            return "no binding";
        }
        RPC_CLIENT_INTERFACE client{kWhoAmI, NdrTransferSyntax, 0, {}};
        rpc::Bytes reply;
        RPC_STATUS status = NdrClientCall(binding, &client, 0, {}, reply);
        RpcBindingFree(&binding);
        return status == RPC_S_OK ? std::string(reply.begin(), reply.end()) : "status " + std::to_string(status);
    }

};

TEST_F(PipeRpcTransport, CallerWithCredentialsIsImpersonatedAndANullSessionIsNot) {
    RPC_SERVER_INTERFACE server{kWhoAmI, NdrTransferSyntax, 1, AnswerWhoAmI};
    {
        As node1(m_lab, "NODE1");
        std::u16string protseq = u"ncacn_np";
        std::u16string endpoint = u"\\pipe\\whoami";
        ASSERT_EQ(RpcServerUseProtseqEpW(protseq.data(), 3, endpoint.data(), nullptr), RPC_S_OK);
        ASSERT_EQ(RpcServerRegisterIf(&server, nullptr, nullptr), RPC_S_OK);
        ASSERT_EQ(RpcServerListen(1, 10, TRUE), RPC_S_OK);
        RPC_BINDING_VECTOR* bindings = nullptr;
        ASSERT_EQ(RpcServerInqBindings(&bindings), RPC_S_OK);
        ASSERT_EQ(RpcEpRegisterW(&server, bindings, nullptr, nullptr), RPC_S_OK);
        RpcBindingVectorFree(&bindings);
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
    As node1(m_lab, "NODE1"); // the endpoint is given up as the computer's own process
    RpcMgmtStopServerListening(nullptr);
    RpcMgmtWaitServerListen();
    RpcServerUnregisterIf(&server, nullptr, TRUE);
}

} // namespace
