#pragma once
// Who this process is towards a computer of the lab, and its answer to that computer's logon
// challenge. A process acts as the account VTARN_ACCOUNT names; without it, a process of the
// workstation as the workstation's logged-on account, and a process of any other computer as
// that computer's SYSTEM: towards its own computer with the machine key from its state folder,
// towards other computers with a null session (no credentials), as a service running as
// LocalSystem does.
#include "platform/LabDirectory.h"
#include "platform/LogonProof.h"

namespace platform::logon {

// The answer to `challenge` of `computer`.
Proof MakeProof(const lab::ComputerAddress& computer, const Challenge& challenge);

} // namespace platform::logon
