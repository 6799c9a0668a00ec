#include "agent/endpoint/AccessCheck.h"

#include "platform/WinError.h"
#include "platform/rpc/Rpc.h"

namespace agent {

RPC_STATUS CheckClientAccess(handle_t binding) {
    if (RpcImpersonateClient(binding) != RPC_S_OK) {
        return ERROR_ACCESS_DENIED;
    }
    RpcRevertToSelf();
    return RPC_S_OK;
}

} // namespace agent
