#pragma once
// How a computer's ntnode and the platform talk about services: the DCE/RPC interface of the
// service control manager (callers' operations and the dispatcher's side) and the environment
// variable through which ntnode tells a service process which service it runs.
#include "platform/Service.h"
#include "platform/rpc/RpcInterface.h"

#include <cstdint>

namespace platform::scm {

// The one-time token of the service a process was started for; a process without it was not
// started by a service control manager.
inline constexpr const char* kServiceTokenVariable = "VTARN_SERVICE_TOKEN";

} // namespace platform::scm
