#include "tests/rpc/support/TestInterface.h"

#include "platform/Clock.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/rpc/ServerCall.h"

#include <mutex>
#include <stdexcept>

namespace rpctest {
namespace {

constexpr DWORD kRelayRetryMs = 5000;
constexpr int kRelayTries = 10;

std::mutex gHandlerMutex;
std::function<void()> gBlockHandler;

RPC_STATUS RelayThroughCallbacks(rpc::ByteView message, rpc::Bytes& reply) {
    rpc::Bytes posted;
    RPC_STATUS status = NdrServerCallback(Post, message, posted);
    if (status != RPC_S_OK) {
        return status;
    }
    if (ReadU32(posted) != 0) {
        return static_cast<RPC_STATUS>(ReadU32(posted));
    }
    for (int attempt = 0; attempt < kRelayTries; ++attempt) {
        rpc::Bytes fetched;
        status = NdrServerCallback(Fetch, {}, fetched);
        if (status != RPC_S_OK) {
            return status;
        }
        if (ReadU32(fetched) == 0) {
            reply.assign(fetched.begin() + 4, fetched.end());
            return RPC_S_OK;
        }
        Sleep(kRelayRetryMs);
    }
    return RPC_S_OUT_OF_RESOURCES;
}

RPC_STATUS Dispatch(std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
    switch (opnum) {
    case Ping:
        return RPC_S_OK;
    case Echo:
        reply.assign(request.begin(), request.end());
        return RPC_S_OK;
    case Fill:
        reply = Pattern(ReadU32(request) == 0xFFFFFFFF ? 0 : ReadU32(request));
        return RPC_S_OK;
    case Relay:
        return RelayThroughCallbacks(request, reply);
    case Block: {
        std::function<void()> handler;
        {
            std::lock_guard lock(gHandlerMutex);
            handler = gBlockHandler;
        }
        if (handler) {
            handler();
        }
        return RPC_S_OK;
    }
    case Throw:
        throw std::runtime_error("server routine failed");
    case Raise:
        RpcRaiseException(static_cast<RPC_STATUS>(ReadU32(request)));
    case CheckAccess: {
        RPC_STATUS status = RpcImpersonateClient(nullptr);
        reply = U32(static_cast<std::uint32_t>(status));
        if (status == RPC_S_OK) {
            std::string account = platform::ToUtf8(rpc::ImpersonatedClient()->account);
            reply.insert(reply.end(), account.begin(), account.end());
            RpcRevertToSelf();
        }
        return RPC_S_OK;
    }
    default:
        return RPC_S_PROCNUM_OUT_OF_RANGE;
    }
}

} // namespace

const RPC_SERVER_INTERFACE& TestServerInterface() {
    static const RPC_SERVER_INTERFACE serverInterface = {kTestInterfaceId, NdrTransferSyntax, kProcedureCount,
                                                         Dispatch};
    return serverInterface;
}

RPC_CLIENT_INTERFACE TestClientInterface(rpc::Dispatcher callbacks) {
    return {kTestInterfaceId, NdrTransferSyntax, callbacks ? kCallbackCount : 0u, std::move(callbacks)};
}

void SetBlockHandler(std::function<void()> handler) {
    std::lock_guard lock(gHandlerMutex);
    gBlockHandler = std::move(handler);
}

rpc::Bytes Pattern(std::size_t size) {
    rpc::Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 31 + i / 256);
    }
    return bytes;
}

rpc::Bytes U32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

std::uint32_t ReadU32(rpc::ByteView bytes) {
    if (bytes.size() < 4) {
        return 0xFFFFFFFF;
    }
    return static_cast<std::uint32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16) |
           static_cast<std::uint32_t>(bytes[3]) << 24;
}

} // namespace rpctest
