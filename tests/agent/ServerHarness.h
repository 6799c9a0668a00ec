#pragma once
// Running the agent's RPC server in a test and calling it as the console does. The server
// registers in the endpoint map of a lab computer that runs for the whole test program
// (LabEndpointMap.cpp).
#include "agent/endpoint/RpcServer.h"
#include "platform/rpc/Rpc.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace agenttest {

struct StatusReport {
    DWORD state;
    DWORD win32ExitCode;
    DWORD waitHint;
    friend bool operator==(const StatusReport&, const StatusReport&) = default;
};

struct LoggedEvent {
    DWORD lastError;
    std::u16string message;
    friend bool operator==(const LoggedEvent&, const LoggedEvent&) = default;
};

// A start-up host that records what the server reports and logs. It can refuse one report
// (counted from 1), as a service control manager that rejects it would; the refusal leaves
// kRefusalError as the last error.
class RecordingHost final : public agent::ServerStartupHost {
public:
    static constexpr DWORD kRefusalError = 6; // ERROR_INVALID_HANDLE

    explicit RecordingHost(std::size_t refusedReport = 0) : m_refusedReport(refusedReport) {}

    bool ReportStatus(DWORD state, DWORD win32ExitCode, DWORD waitHint) override;
    void AddToMessageLog(const WCHAR* message) override;

    void WaitUntilRunning();
    std::vector<StatusReport> Reports();
    std::vector<LoggedEvent> Events();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_refusedReport;
    std::vector<StatusReport> m_reports;
    std::vector<LoggedEvent> m_events;
};

// The reports of a start-up that gets as far as listening: one start pending before each of
// the four protocol sequences and before each of the four registration steps, then running.
std::vector<StatusReport> FullStartupReports();

// RunServer on a thread of its own; the destructor stops it if it still runs.
class BackgroundServer {
public:
    BackgroundServer(std::vector<std::u16string> arguments, agent::ServerStartupHost& host);
    ~BackgroundServer();
    BackgroundServer(const BackgroundServer&) = delete;
    BackgroundServer& operator=(const BackgroundServer&) = delete;

    // Stops the server and returns what RunServer returned.
    RPC_STATUS Stop();

private:
    std::vector<std::u16string> m_arguments;
    RPC_STATUS m_result = -1;
    std::thread m_thread;
};

} // namespace agenttest
