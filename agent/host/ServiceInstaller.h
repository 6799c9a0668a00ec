#pragma once
// "-install" and "-remove": the agent registers itself as the service "VtarnService" of this
// computer, or stops and deletes that service, and says on its console how it went.
#include "agent/host/ServiceHost.h"

namespace agent {

// Creates the service with the program's own path. Prints "Vtarn RPC Service installed." or
// why not ("OpenSCManager failed - ...", "CreateService failed - ...", "Unable to install ...").
void InstallService(ServiceHost& host);

// Sends the stop control and, when the service accepted it, waits while it is stop pending
// (a "." a second, for at most kStopWaitLimitMs), then deletes the service whether or not it
// stopped.
void RemoveService(ServiceHost& host);

// How long a removal waits for a stop-pending service before it counts as not stopped.
inline constexpr DWORD kStopWaitLimitMs = 30000;
inline constexpr DWORD kStopPollIntervalMs = 1000;

} // namespace agent
