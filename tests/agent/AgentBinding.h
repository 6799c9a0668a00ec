#pragma once
// A binding to an agent as the console makes one: from a string binding ("ncacn_np:NODE1";
// "ncacn_np:" for this computer; "ncacn_ip_tcp:127.0.0.1[1234]" with its endpoint), NT LAN
// Manager as the authentication service, no protection level. Freed with the object.
#include "platform/rpc/Rpc.h"

#include <string>

namespace agenttest {

class AgentBinding {
public:
    explicit AgentBinding(std::u16string stringBinding);
    ~AgentBinding();
    AgentBinding(const AgentBinding&) = delete;
    AgentBinding& operator=(const AgentBinding&) = delete;

    RPC_BINDING_HANDLE Handle() const { return m_binding; }

private:
    RPC_BINDING_HANDLE m_binding = nullptr;
};

} // namespace agenttest
