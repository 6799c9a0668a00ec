#include "tests/agent/AgentBinding.h"

#include "platform/WinError.h"

namespace agenttest {

AgentBinding::AgentBinding(std::u16string stringBinding) {
    if (RpcBindingFromStringBindingW(stringBinding.data(), &m_binding) == RPC_S_OK) {
        RpcBindingSetAuthInfoW(m_binding, nullptr, RPC_C_AUTHN_LEVEL_NONE, RPC_C_AUTHN_WINNT, nullptr,
                               RPC_C_AUTHZ_NONE);
    }
}

AgentBinding::~AgentBinding() {
    if (m_binding != nullptr) {
        RpcBindingFree(&m_binding);
    }
}

} // namespace agenttest
