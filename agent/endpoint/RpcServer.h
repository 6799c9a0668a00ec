#pragma once
// The agent's RPC server: takes the node key from its arguments, registers the NodeAgent
// interface on the four protocol sequences, in the endpoint map and with NT LAN Manager
// authentication, and serves it until it is told to stop.
#include "platform/WinTypes.h"
#include "platform/rpc/RpcInterface.h"

#include <array>

namespace agent {

// Where the server reports its start-up: the service host (a no-op in a foreground run).
class ServerStartupHost {
public:
    virtual ~ServerStartupHost() = default;
    // One status report (a SERVICE_* state); false when it was refused.
    virtual bool ReportStatus(DWORD state, DWORD win32ExitCode, DWORD waitHint) = 0;
    // One error event carrying the thread's last error.
    virtual void AddToMessageLog(const WCHAR* message) = 0;
};

// The wait hint of every start-pending report.
inline constexpr DWORD kStartPendingWaitHintMs = 3000;

// Registered in this order; a protocol sequence the run time cannot serve is skipped.
inline constexpr std::array<const WCHAR*, 4> kProtocolSequences = {u"ncalrpc", u"ncacn_ip_tcp", u"ncacn_np",
                                                                   u"ncadg_ip_udp"};
inline constexpr unsigned kCallsPerProtocolSequence = 3;
inline constexpr unsigned kMinimumCallThreads = 3;
inline constexpr unsigned kMaximumConcurrentCalls = 1234;

// Sets the node key from `argv` (the service name or the program first), starts the server and
// returns once it has stopped listening and its endpoints are unregistered. Reports start
// pending before each registration step and running once it listens; a refused report ends
// the start-up. Returns 0 after a run that listened, else the status of the step that ended
// the start-up (also when it ended because a report was refused: then the last error).
RPC_STATUS RunServer(DWORD argc, const WCHAR* const* argv, ServerStartupHost& host);

// Asks the server to stop listening; calls in progress finish. Safe from any thread, also
// before the server listens: a start-up that is under way then stops as soon as it listens.
void StopServer();

} // namespace agent
