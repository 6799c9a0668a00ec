#pragma once
// What the agent's command line asks for. Only a first argument that starts with "-" or "/"
// is an option; the word after that character is compared without regard to case.
#include "platform/WinTypes.h"

namespace agent {

enum class AgentCommand {
    Install,      // "-install": register the service on this computer
    Remove,       // "-remove": stop and delete the service on this computer
    Debug,        // "-debug": run the RPC server in the foreground
    RunAsService, // anything else: usage text, then the service dispatcher
};

AgentCommand ClassifyAgentCommandLine(int argc, const WCHAR* const* argv);

} // namespace agent
