#pragma once
// The agent program's entry: what its command line asks for.
#include "agent/host/ServiceHost.h"
#include "platform/WinTypes.h"

namespace agent {

// `argv`: the program's command line split into words, the program first. "-install",
// "-remove" and "-debug" (also after "/", in any case) do that and return 0; anything else
// prints the usage text and hands the process to the service control manager.
int RunAgent(ServiceHost& host, int argc, const WCHAR* const* argv);

} // namespace agent
