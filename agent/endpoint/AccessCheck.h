#pragma once
// Whether the agent may act for the client of the call this thread serves: it can when it can
// impersonate that client, that is when the transport authenticated the caller.
#include "platform/rpc/RpcInterface.h"

namespace agent {

// `binding`: the call's binding handle, or null for the call in progress. 0 when the client
// can be impersonated (the agent reverts to its own identity at once), else
// ERROR_ACCESS_DENIED.
RPC_STATUS CheckClientAccess(handle_t binding);

} // namespace agent
