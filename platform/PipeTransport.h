#pragma once
// The RPC run time's "ncacn_np" transport over the lab's named pipes. A server's endpoint is a
// pipe of its computer ("\pipe\NAME"; a name of its own choosing when none is given), registered
// with the computer's pipe router for any number of clients; each connection carries the
// opener's identity as the router authenticated it, for RpcImpersonateClient. A client's
// network address is the computer's name. The bytes of the calls travel on the pipe's
// connection as they stand (no message framing: both ends are the run time).
#include "platform/rpc/Transport.h"

#include <memory>

namespace platform {

std::shared_ptr<rpc::Transport> MakeNamedPipeTransport();

} // namespace platform
