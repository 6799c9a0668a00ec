#pragma once
// Fault statuses as they travel: the conditions DCE names with its own nca_s_ codes (an opnum
// out of range, an unknown interface, a protocol error, a busy server) travel under those codes,
// so that any DCE/RPC peer and dissector understands them; every other status travels as the
// number it is.
#include "platform/rpc/RpcInterface.h"

#include <cstdint>

namespace rpc::pdu {

constexpr std::uint32_t nca_s_op_rng_error = 0x1C010002;
constexpr std::uint32_t nca_s_unk_if = 0x1C010003;
constexpr std::uint32_t nca_s_proto_error = 0x1C01000B;
constexpr std::uint32_t nca_s_server_too_busy = 0x1C010014;
constexpr std::uint32_t nca_s_fault_remote_no_memory = 0x1C00001B;

std::uint32_t FaultCodeFromStatus(RPC_STATUS status);
RPC_STATUS StatusFromFaultCode(std::uint32_t code);

} // namespace rpc::pdu
