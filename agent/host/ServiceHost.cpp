#include "agent/host/ServiceHost.h"

#include "agent/host/ServiceIdentity.h"
#include "platform/ErrorText.h"
#include "platform/LastError.h"
#include "platform/WideFormat.h"
#include "platform/WinError.h"

namespace agent {
namespace {

// The host whose service the dispatcher runs: what the plain functions handed to the service
// control manager forward to.
std::atomic<ServiceHost*> gServedHost{nullptr};

void ServiceMainEntry(DWORD argc, LPWSTR* argv) {
    gServedHost.load()->ServiceMain(argc, argv);
}

void ControlHandlerEntry(DWORD control) {
    gServedHost.load()->HandleControl(control);
}

// "VtarnService error: " and a 32-bit number fit with room to spare.
constexpr std::size_t kEventTextCapacity = 64;

} // namespace

ServiceHost::ServiceHost(const ServiceHostCalls& calls) : m_calls(calls) {}

bool ServiceHost::ReportStatus(DWORD state, DWORD win32ExitCode, DWORD waitHint) {
    if (m_debug) {
        return true;
    }
    BOOL sent = FALSE;
    {
        std::lock_guard lock(m_statusMutex);
        m_status.dwControlsAccepted = state == SERVICE_START_PENDING ? 0 : SERVICE_ACCEPT_STOP;
        m_status.dwCurrentState = state;
        m_status.dwWin32ExitCode = win32ExitCode;
        m_status.dwWaitHint = waitHint;
        m_status.dwCheckPoint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : m_checkPoint++;
        SERVICE_STATUS record = m_status;
        sent = m_calls.setServiceStatus(m_statusHandle, &record);
    }
    if (!sent) {
        AddToMessageLog(u"SetServiceStatus");
    }
    return sent != FALSE;
}

void ServiceHost::AddToMessageLog(const WCHAR* message) {
    if (m_debug) {
        return;
    }
    const DWORD error = GetLastError();
    m_lastError = error;
    HANDLE source = m_calls.registerEventSource(nullptr, kEventSource);
    WCHAR text[kEventTextCapacity];
    platform::FormatText(text, kEventTextCapacity, u"%s error: %d", kServiceName, error);
    if (source != nullptr) {
        LPCWSTR strings[2] = {text, message};
        m_calls.reportEvent(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 2, 0, strings, nullptr);
        m_calls.deregisterEventSource(source);
    }
}

const WCHAR* ServiceHost::ErrorText() {
    return platform::FormatLastErrorText(m_errorText, kErrorTextCapacity);
}

void ServiceHost::RunServiceDispatcher() {
    gServedHost = this;
    const SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(kServiceName), &ServiceMainEntry},
                                          {nullptr, nullptr}};
    if (!m_calls.startServiceCtrlDispatcher(table)) {
        AddToMessageLog(u"StartServiceCtrlDispatcher failed.");
    }
}

void ServiceHost::ServiceMain(DWORD argc, LPWSTR* argv) {
    gServedHost = this;
    SERVICE_STATUS_HANDLE handle = m_calls.registerServiceCtrlHandler(kServiceName, &ControlHandlerEntry);
    if (handle == nullptr) {
        return;
    }
    {
        std::lock_guard lock(m_statusMutex);
        m_statusHandle = handle;
        m_status.dwServiceType = kServiceType;
        m_status.dwServiceSpecificExitCode = 0;
    }
    RPC_STATUS runStatus = RPC_S_OK;
    if (ReportStatus(SERVICE_START_PENDING, NO_ERROR, kStartPendingWaitHintMs)) {
        runStatus = RunServer(argc, argv, *this);
    }
    const DWORD logged = m_lastError;
    ReportStatus(SERVICE_STOPPED, logged != NO_ERROR ? logged : static_cast<DWORD>(runStatus), 0);
}

void ServiceHost::HandleControl(DWORD control) {
    DWORD state = 0;
    {
        std::lock_guard lock(m_statusMutex);
        if (control == SERVICE_CONTROL_STOP) {
            m_status.dwCurrentState = SERVICE_STOP_PENDING;
        }
        state = m_status.dwCurrentState;
    }
    ReportStatus(state, NO_ERROR, 0);
    // Only after the report: the server may stop at once, and service main's report of the
    // stopped state must not be overtaken by this one.
    if (control == SERVICE_CONTROL_STOP) {
        StopServer();
    }
}

} // namespace agent
