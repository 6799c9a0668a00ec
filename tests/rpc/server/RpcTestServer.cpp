// A server of this runtime for tests that need a second process: it serves the test interface
// and a NodeAgent-shaped interface (UUID df34bdae-f157-11d0-95da-00805fe6d053 v1.0; procedure 0
// answers status 0, procedure 3 an out text of the requested size, then status 0) over
// ncacn_ip_tcp, prints its string binding on the first line of its output and serves until
// SIGTERM. While a Block call is held it prints "busy".
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/rpc/Rpc.h"
#include "platform/rpc/Uuid.h"
#include "tests/rpc/support/TestInterface.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

constexpr std::u16string_view kVersionText = u"Windows NT Version 4.0";
constexpr std::uint32_t kMaxTextSize = 65536;

void AppendU32(rpc::Bytes& body, std::uint32_t value) {
    rpc::Bytes word = rpctest::U32(value);
    body.insert(body.end(), word.begin(), word.end());
}

RPC_STATUS DispatchNodeAgent(std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
    if (opnum == 0) {
        AppendU32(reply, 0);
        return RPC_S_OK;
    }
    std::uint32_t size = rpctest::ReadU32(request);
    if (size == 0xFFFFFFFF || size > kMaxTextSize) {
        return RPC_X_BAD_STUB_DATA;
    }
    AppendU32(reply, size); // conformant array: maximum count, then every element
    for (std::uint32_t i = 0; i < size; ++i) {
        char16_t c = i + 1 < size && i < kVersionText.size() ? kVersionText[i] : u'\0';
        reply.push_back(static_cast<std::uint8_t>(c));
        reply.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    while (reply.size() % 4 != 0) {
        reply.push_back(0);
    }
    AppendU32(reply, 0);
    return RPC_S_OK;
}

const RPC_SERVER_INTERFACE kNodeAgentShaped = {
    {*rpc::ParseUuid("df34bdae-f157-11d0-95da-00805fe6d053"), {1, 0}},
    NdrTransferSyntax,
    4,
    DispatchNodeAgent};

void StopOnSignal(int) {
    RpcMgmtStopServerListening(nullptr);
}

void Check(RPC_STATUS status, const char* what) {
    if (status != RPC_S_OK) {
        std::fprintf(stderr, "%s failed: %d\n", what, static_cast<int>(status));
        std::_Exit(1);
    }
}

} // namespace

int main() {
    rpctest::SetBlockHandler([] {
        std::printf("busy\n");
        std::fflush(stdout);
        for (;;) {
            ::pause();
        }
    });
    std::u16string protseq = u"ncacn_ip_tcp";
    Check(RpcServerUseProtseqW(protseq.data(), RPC_C_PROTSEQ_MAX_REQS_DEFAULT, nullptr),
          "RpcServerUseProtseqW");
    Check(RpcServerRegisterIf(&rpctest::TestServerInterface(), nullptr, nullptr), "RpcServerRegisterIf");
    Check(RpcServerRegisterIf(&kNodeAgentShaped, nullptr, nullptr), "RpcServerRegisterIf");
    RPC_BINDING_VECTOR* bindings = nullptr;
    Check(RpcServerInqBindings(&bindings), "RpcServerInqBindings");
    RPC_WSTR text = nullptr;
    Check(RpcBindingToStringBindingW(bindings->BindingH[0], &text), "RpcBindingToStringBindingW");
    std::printf("%s\n", platform::ToUtf8(text).c_str());
    std::fflush(stdout);
    RpcStringFreeW(&text);
    RpcBindingVectorFree(&bindings);

    struct sigaction action {};
    action.sa_handler = StopOnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    RPC_STATUS status = RpcServerListen(3, RPC_C_LISTEN_MAX_CALLS_DEFAULT, FALSE);
    return status == RPC_S_OK ? 0 : 1;
}
