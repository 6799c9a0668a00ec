#pragma once
// Where a computer's endpoint map is: a TCP address and port. By default, in a lab (VTARN_LAB
// set) the computer is looked up in the lab's name directory from the first call on; without a
// lab the computer name is taken for a host name (the own computer: the address in VTARN_NTNODE,
// "host:port", when set, else 127.0.0.1) and the endpoint map for one listening on
// kDefaultEndpointMapperPort. Tests may install a resolver of their own.
#include "platform/rpc/RpcInterface.h"

#include <functional>
#include <string>
#include <string_view>

namespace rpc {

inline constexpr const char16_t* kDefaultEndpointMapperPort = u"13135";

struct EndpointMapperAddress {
    std::u16string host; // an "ncacn_ip_tcp" network address
    std::u16string port; // its endpoint
};

// Turns a computer name (empty: this computer) into the address of its endpoint map, or fails
// with the status a caller of that computer should see (RPC_S_SERVER_UNAVAILABLE for an unknown
// computer).
using EndpointMapperResolver =
    std::function<RPC_STATUS(std::u16string_view computer, EndpointMapperAddress&)>;

// Installs `resolver`; an empty one restores the default.
void SetEndpointMapperResolver(EndpointMapperResolver resolver);

RPC_STATUS ResolveEndpointMapper(std::u16string_view computer, EndpointMapperAddress& address);

} // namespace rpc
