#include "ntsim/node/RegistryFamily.h"

#include "ntsim/node/CallerGate.h"
#include "platform/AccessRights.h"
#include "platform/Registry.h"
#include "platform/RegistryProtocol.h"

namespace ntsim::node {
namespace {

namespace wire = platform::wire;
namespace regwire = platform::regwire;

constexpr REGSAM kChangingRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

class RegistryCalls {
public:
    explicit RegistryCalls(Node& node) : m_node(node) {}

    RPC_STATUS Dispatch(std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
        switch (opnum) {
        case regwire::kConnect:
        case regwire::kOpenKey:
            return Serve<regwire::KeyRequest, wire::StatusReply>(
                request, reply, opnum == regwire::kConnect ? "RegConnectRegistryW" : "RegOpenKeyExW", false,
                [&](const regwire::KeyRequest& call, const Caller& caller) { return Open(call, caller); });
        case regwire::kCreateKey:
            return Serve<regwire::KeyRequest, regwire::CreateKeyReply>(
                request, reply, "RegCreateKeyExW", true, [&](const regwire::KeyRequest& call, const Caller&) {
                    regwire::CreateKeyReply answer;
                    bool created = false;
                    answer.status = m_node.Registry().CreateKey(call.path, created);
                    answer.disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
                    return answer;
                });
        case regwire::kQueryValue:
            return Serve<regwire::QueryValueRequest, regwire::QueryValueReply>(
                request, reply, "RegQueryValueExW", false,
                [&](const regwire::QueryValueRequest& call, const Caller&) { return Query(call); });
        case regwire::kSetValue:
            return Serve<regwire::SetValueRequest, wire::StatusReply>(
                request, reply, "RegSetValueExW", true, [&](const regwire::SetValueRequest& call, const Caller&) {
                    return wire::StatusReply{m_node.Registry().SetValue(call.path, call.name, call.type, call.data)};
                });
        case regwire::kDeleteValue:
            return Serve<regwire::ValueRequest, wire::StatusReply>(
                request, reply, "RegDeleteValueW", true, [&](const regwire::ValueRequest& call, const Caller&) {
                    return wire::StatusReply{m_node.Registry().DeleteValue(call.path, call.name)};
                });
        case regwire::kDeleteKey:
            return Serve<regwire::KeyRequest, wire::StatusReply>(
                request, reply, "RegDeleteKeyW", true, [&](const regwire::KeyRequest& call, const Caller&) {
                    return wire::StatusReply{m_node.Registry().DeleteKey(call.path)};
                });
        default:
            return RPC_S_PROCNUM_OUT_OF_RANGE;
        }
    }

private:
    template <class Request, class Reply, class F>
    RPC_STATUS Serve(rpc::ByteView request, rpc::Bytes& reply, const char* operation, bool changes, F serve) {
        return ServeForCaller<Request, Reply>(m_node, request, reply, operation,
                                              changes ? Access::Administrator : Access::SignedIn, serve);
    }

    wire::StatusReply Open(const regwire::KeyRequest& call, const Caller& caller) {
        if ((call.access & kChangingRights) != 0 && RequireAdministrator(caller) != ERROR_SUCCESS) {
            return {ERROR_ACCESS_DENIED};
        }
        return {m_node.Registry().CheckKey(call.path)};
    }

    regwire::QueryValueReply Query(const regwire::QueryValueRequest& call) {
        regwire::QueryValueReply answer;
        RegistryValue value;
        answer.status = m_node.Registry().QueryValue(call.path, call.name, value);
        if (answer.status != ERROR_SUCCESS) {
            return answer;
        }
        answer.type = value.type;
        answer.size = static_cast<std::uint32_t>(value.data.size());
        if (call.wantData) {
            if (value.data.size() > call.capacity) {
                answer.status = ERROR_MORE_DATA;
            } else {
                answer.data = std::move(value.data);
            }
        }
        return answer;
    }

    Node& m_node;
};

} // namespace

void AddRegistryFamily(NodeServer& server) {
    auto calls = std::make_shared<RegistryCalls>(server.Computer());
    server.AddInterface(regwire::kInterfaceId, regwire::kProcedureCount,
                        [calls](std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
                            return calls->Dispatch(opnum, request, reply);
                        });
}

} // namespace ntsim::node
