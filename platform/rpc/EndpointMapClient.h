#pragma once
// Calls into a computer's endpoint map (EndpointMap.h), found through the endpoint mapper
// resolver (EndpointResolver.h).
#include "platform/rpc/EndpointMap.h"

#include <vector>

namespace rpc {

// The endpoint `computer` (empty: this computer) has registered for `interfaceId` on
// `protseq`. EPT_S_NOT_REGISTERED when there is none; RPC_S_SERVER_UNAVAILABLE when the endpoint
// map cannot be reached.
RPC_STATUS LookupEndpoint(std::u16string_view computer, const RPC_SYNTAX_IDENTIFIER& interfaceId,
                          std::u16string_view protseq, std::u16string& endpoint);

// Registration in this computer's endpoint map.
RPC_STATUS InsertEndpoint(const epmap::Entry& entry);
RPC_STATUS DeleteEndpoint(const epmap::Entry& entry);

// Every entry of `computer`'s endpoint map.
RPC_STATUS ListEndpoints(std::u16string_view computer, std::vector<epmap::Entry>& entries);

} // namespace rpc
