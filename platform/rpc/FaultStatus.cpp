#include "platform/rpc/FaultStatus.h"

#include "platform/WinError.h"

namespace rpc::pdu {
namespace {

struct FaultMapping {
    std::uint32_t code;
    DWORD status;
};

constexpr FaultMapping kFaultMappings[] = {
    {nca_s_op_rng_error, RPC_S_PROCNUM_OUT_OF_RANGE},  {nca_s_unk_if, RPC_S_UNKNOWN_IF},
    {nca_s_proto_error, RPC_S_PROTOCOL_ERROR},         {nca_s_server_too_busy, RPC_S_SERVER_TOO_BUSY},
    {nca_s_fault_remote_no_memory, ERROR_OUTOFMEMORY},
};

} // namespace

std::uint32_t FaultCodeFromStatus(RPC_STATUS status) {
    for (const FaultMapping& mapping : kFaultMappings) {
        if (static_cast<DWORD>(status) == mapping.status) {
            return mapping.code;
        }
    }
    return static_cast<std::uint32_t>(status);
}

RPC_STATUS StatusFromFaultCode(std::uint32_t code) {
    for (const FaultMapping& mapping : kFaultMappings) {
        if (code == mapping.code) {
            return static_cast<RPC_STATUS>(mapping.status);
        }
    }
    return static_cast<RPC_STATUS>(code);
}

} // namespace rpc::pdu
