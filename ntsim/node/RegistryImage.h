#pragma once
// The registry a computer starts with: what its profile says about the system (version, service
// pack, product type and suite, system root, computer name, TCP/IP adapters, the server's
// null-session pipes), then the profile's own [[registry]] values on top.
#include "ntsim/lab/MachineProfile.h"
#include "ntsim/node/RegistryTree.h"

#include <string>
#include <vector>

namespace ntsim::node {

RegistryTree BuildRegistryImage(const lab::MachineProfile& profile);

// Value bytes as NT stores them: UTF-16LE with a closing NUL; strings each closed by a NUL and
// the list by one more; a little-endian 32-bit number.
std::vector<std::uint8_t> StringData(std::u16string_view text);
std::vector<std::uint8_t> MultiStringData(const std::vector<std::u16string>& strings);
std::vector<std::uint8_t> DwordData(DWORD number);
std::vector<std::uint8_t> ProfileValueData(const lab::RegistryValueDef& value);

// The strings of REG_MULTI_SZ bytes (an odd trailing byte and a missing final NUL are tolerated).
std::vector<std::u16string> MultiStrings(const std::vector<std::uint8_t>& data);

} // namespace ntsim::node
