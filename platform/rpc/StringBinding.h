#pragma once
// String bindings "[ObjectUuid@]ProtSeq:[NetworkAddr][[Endpoint][,Options]]" and the strings
// the run time hands out (freed with RpcStringFreeW).
#include "platform/rpc/Rpc.h"

#include <string>
#include <string_view>

namespace rpc {

struct StringBindingParts {
    std::u16string objectUuid;
    std::u16string protseq;
    std::u16string networkAddress;
    std::u16string endpoint;
    std::u16string options;
};

// RPC_S_INVALID_STRING_BINDING for text that is not a string binding, RPC_S_INVALID_STRING_UUID
// for an object UUID that is not one.
RPC_STATUS ParseStringBinding(std::u16string_view text, StringBindingParts& parts);
std::u16string ComposeStringBinding(const StringBindingParts& parts);

// A copy of `text` for the caller, to be freed with RpcStringFreeW.
RPC_WSTR NewRpcString(std::u16string_view text);

} // namespace rpc
