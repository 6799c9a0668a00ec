#include "tests/agent/ServerHarness.h"

#include "platform/LastError.h"
#include "platform/Service.h"
#include "platform/WinError.h"

namespace agenttest {

bool RecordingHost::ReportStatus(DWORD state, DWORD win32ExitCode, DWORD waitHint) {
    std::lock_guard lock(m_mutex);
    m_reports.push_back({state, win32ExitCode, waitHint});
    m_changed.notify_all();
    if (m_reports.size() == m_refusedReport) {
        SetLastError(kRefusalError);
        return false;
    }
    return true;
}

void RecordingHost::AddToMessageLog(const WCHAR* message) {
    const DWORD error = GetLastError();
    std::lock_guard lock(m_mutex);
    m_events.push_back({error, message});
}

void RecordingHost::WaitUntilRunning() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_reports.empty() && m_reports.back().state == SERVICE_RUNNING; });
}

std::vector<StatusReport> RecordingHost::Reports() {
    std::lock_guard lock(m_mutex);
    return m_reports;
}

std::vector<LoggedEvent> RecordingHost::Events() {
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::vector<StatusReport> FullStartupReports() {
    std::vector<StatusReport> reports(8,
                                      StatusReport{SERVICE_START_PENDING, 0, agent::kStartPendingWaitHintMs});
    reports.push_back({SERVICE_RUNNING, 0, 0});
    return reports;
}

BackgroundServer::BackgroundServer(std::vector<std::u16string> arguments, agent::ServerStartupHost& host)
    : m_arguments(std::move(arguments)) {
    m_thread = std::thread([this, &host] {
        std::vector<const WCHAR*> argv;
        for (const std::u16string& argument : m_arguments) {
            argv.push_back(argument.c_str());
        }
        m_result = agent::RunServer(static_cast<DWORD>(argv.size()), argv.data(), host);
    });
}

BackgroundServer::~BackgroundServer() {
    if (m_thread.joinable()) {
        Stop();
    }
}

RPC_STATUS BackgroundServer::Stop() {
    agent::StopServer();
    m_thread.join();
    return m_result;
}

} // namespace agenttest
