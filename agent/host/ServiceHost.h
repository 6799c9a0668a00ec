#pragma once
// The agent as a service process: its one host object keeps the status record it reports to
// the service control manager, writes its error events, and runs service main and the control
// handler. In a foreground run (debug mode) it reports nothing and logs nothing.
#include "agent/endpoint/RpcServer.h"
#include "platform/EventLog.h"
#include "platform/Service.h"
#include "platform/WinTypes.h"

#include <atomic>
#include <mutex>

namespace agent {

// The operating-system calls the host makes; the program uses the system's, tests their own.
struct ServiceHostCalls {
    decltype(&::StartServiceCtrlDispatcherW) startServiceCtrlDispatcher;
    decltype(&::RegisterServiceCtrlHandlerW) registerServiceCtrlHandler;
    decltype(&::SetServiceStatus) setServiceStatus;
    decltype(&::RegisterEventSourceW) registerEventSource;
    decltype(&::ReportEventW) reportEvent;
    decltype(&::DeregisterEventSource) deregisterEventSource;
};

class ServiceHost final : public ServerStartupHost {
public:
    // The length of the error text buffer, in characters.
    static constexpr DWORD kErrorTextCapacity = 256;

    explicit ServiceHost(const ServiceHostCalls& calls);
    ServiceHost(const ServiceHost&) = delete;
    ServiceHost& operator=(const ServiceHost&) = delete;

    // The host of this program, on the system's calls.
    static ServiceHost& Process();

    void SetDebug(bool debug) { m_debug = debug; }

    // Sends the status record with `state`: no controls accepted while start pending, stop in
    // every other state; check point 0 when running or stopped, else the next of the counter
    // (which starts at 1). A refused report writes the event "SetServiceStatus". Always true
    // in debug mode.
    bool ReportStatus(DWORD state, DWORD win32ExitCode, DWORD waitHint) override;

    // Writes one error event under the source "VtarnService": "VtarnService error: <last
    // error>" and `message`. The captured last error is the exit code reported at the stop.
    void AddToMessageLog(const WCHAR* message) override;

    // The text of the thread's last error in the host's buffer, empty when it does not fit.
    const WCHAR* ErrorText();

    // Connects to the service control manager, which then runs ServiceMain on a thread of its
    // own; returns when the service has stopped. Logs "StartServiceCtrlDispatcher failed."
    // when this process was not started by the service control manager.
    void RunServiceDispatcher();

    // The service: registers the control handler, reports start pending, runs the RPC server
    // with the start arguments and reports stopped with the last logged error as exit code
    // (or, when nothing was logged, the failure that ended the start-up).
    void ServiceMain(DWORD argc, LPWSTR* argv);

    // A control from the service control manager: stop asks the RPC server to stop listening;
    // every control is answered with a report of the current state.
    void HandleControl(DWORD control);

private:
    const ServiceHostCalls m_calls;
    std::atomic<bool> m_debug{false};
    std::atomic<DWORD> m_lastError{0};
    SERVICE_STATUS_HANDLE m_statusHandle = nullptr;

    // The record and the counter, shared by service main and the control handler, which the
    // service control manager calls on another thread.
    std::mutex m_statusMutex;
    SERVICE_STATUS m_status{};
    DWORD m_checkPoint = 1;

    WCHAR m_errorText[kErrorTextCapacity] = {};
};

} // namespace agent
