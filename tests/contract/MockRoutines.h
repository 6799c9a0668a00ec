#pragma once
// Test doubles of both sides' routine tables, and a loopback transport that carries a call
// straight into a dispatcher and keeps the bodies it carried.
#include "agent/include/NodeAgentClient.h"
#include "agent/include/NodeAgentServer.h"

#include <gmock/gmock.h>

#include <optional>
#include <string>

namespace contracttest {

class MockServerRoutines : public nodeagent::ServerRoutines {
public:
    MOCK_METHOD(RPC_STATUS, Ping, (handle_t), (override));
    MOCK_METHOD(RPC_STATUS, CheckAccess, (handle_t), (override));
    MOCK_METHOD(RPC_STATUS, GetMachineModel, (handle_t, LONG, WCHAR*, LONG), (override));
    MOCK_METHOD(RPC_STATUS, GetOsVersion, (handle_t, WCHAR*, LONG), (override));
    MOCK_METHOD(RPC_STATUS, GetClusterInfo,
                (handle_t, const WCHAR*, LONG*, LONG*, WCHAR*, LONG, WCHAR*, LONG), (override));
    MOCK_METHOD(RPC_STATUS, GetNicSlots, (handle_t, const WCHAR*, LONG*, WCHAR*, LONG, LONG*, WCHAR*, LONG),
                (override));
    MOCK_METHOD(RPC_STATUS, CheckDomain, (handle_t, const WCHAR*, WCHAR*, LONG, WCHAR*, LONG), (override));
    MOCK_METHOD(RPC_STATUS, GetIpConfig, (handle_t, const WCHAR*, WCHAR*, LONG, LONG*), (override));
    MOCK_METHOD(RPC_STATUS, RunCommand, (handle_t, const WCHAR*, LONG, WCHAR*, LONG, LONG*), (override));
    MOCK_METHOD(RPC_STATUS, TestStorage, (handle_t, const WCHAR*, LONG, WCHAR*, LONG), (override));
    MOCK_METHOD(RPC_STATUS, GetControllerSlots, (handle_t, LONG, LONG*, WCHAR*, LONG), (override));
    MOCK_METHOD(RPC_STATUS, GetDriverRevision, (handle_t, LONG, LONG, LONG*, WCHAR*, LONG), (override));
    MOCK_METHOD(RPC_STATUS, TestSharedDrives,
                (handle_t, const WCHAR*, WCHAR*, LONG, WCHAR*, LONG, WCHAR*, LONG), (override));
    MOCK_METHOD(RPC_STATUS, DetectStorageBox, (handle_t, LONG, LONG, WCHAR*, LONG), (override));
};

class MockCallbackRoutines : public nodeagent::CallbackRoutines {
public:
    MOCK_METHOD(RPC_STATUS, RelayPost, (LONG, LONG, const BYTE*, LONG), (override));
    MOCK_METHOD(RPC_STATUS, RelayFetch, (LONG, LONG, BYTE*, LONG, LONG*), (override));
};

// Carries each call into `serve` and keeps the last request and reply bodies.
struct Loopback {
    rpc::Dispatcher serve;
    rpc::Bytes request;
    rpc::Bytes reply;

    rpc::Dispatcher Transport() {
        return [this](std::uint32_t opnum, rpc::ByteView body, rpc::Bytes& out) {
            request.assign(body.begin(), body.end());
            RPC_STATUS status = serve(opnum, body, out);
            reply = out;
            return status;
        };
    }
};

inline Loopback ToAgent(MockServerRoutines& routines) {
    return {[&routines](std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
                return nodeagent::DispatchProcedure(routines, opnum, request, reply);
            },
            {},
            {}};
}

inline Loopback ToConsole(MockCallbackRoutines& routines) {
    return {[&routines](std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
                return nodeagent::DispatchCallback(routines, opnum, request, reply);
            },
            {},
            {}};
}

// A NUL-terminated text as a string; nullopt for a null pointer.
inline std::optional<std::u16string> TextOf(const WCHAR* text) {
    return text == nullptr ? std::nullopt : std::optional<std::u16string>(text);
}

// Writes `text` and its NUL at the start of a buffer.
inline void Put(WCHAR* buffer, std::u16string_view text) {
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
}

} // namespace contracttest
