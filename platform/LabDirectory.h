#pragma once
// The lab's name directory as this process sees it: the network.toml of VTARN_LAB, which
// computer this process runs on (VTARN_COMPUTER, else the lab's workstation), and where each
// computer's ntnode listens. Without a lab every computer name is unknown.
#include "platform/WinTypes.h"
#include "platform/lab/LabNetwork.h"

#include <memory>
#include <string>
#include <string_view>

namespace platform::lab {

struct ComputerAddress {
    std::u16string name; // as the name directory spells it
    std::string host;
    std::uint16_t port = 0;
    bool local = false; // the computer this process runs on
};

// The name directory of VTARN_LAB, read once (again when VTARN_LAB changes); null without a
// lab or when its network.toml cannot be read (the reason is written to standard error once).
std::shared_ptr<const LabNetwork> Network();

// The computer this process runs on ("" without a lab).
std::u16string OwnComputer();

// `name` as a caller gives it: null, "" or "." for this computer, "\\NAME" or "NAME".
// ERROR_BAD_NETPATH when the lab has no such computer or there is no lab.
DWORD FindComputer(std::u16string_view name, ComputerAddress& out);

} // namespace platform::lab
