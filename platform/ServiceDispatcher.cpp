// The service process's side of the service control manager. The dispatcher finds the token of
// its service in the environment, connects to its computer's ntnode, starts service main on a
// thread of its own and then asks ntnode for controls, one at a time, calling the handler on
// its own thread, until the service has reported that it stopped.
#include "platform/Service.h"

#include "platform/LabEnvironment.h"
#include "platform/LastError.h"
#include "platform/NodeConnection.h"
#include "platform/ServiceControlProtocol.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

namespace wire = platform::wire;
namespace scmwire = platform::scmwire;

// Program time one request for the next control may wait in ntnode: a control ends the wait at
// once; the bound keeps a stopping ntnode from waiting long for the request in progress.
constexpr DWORD kControlPoll = 1000;

const RPC_CLIENT_INTERFACE& ScmInterface() {
    static const RPC_CLIENT_INTERFACE kScm = platform::lab::ClientInterface(scmwire::kInterfaceId);
    return kScm;
}

// The one service this process runs (services of their own process, one a process).
struct ServiceHost {
    std::u16string token;
    std::u16string serviceName;
    std::atomic<LPHANDLER_FUNCTION> handler{nullptr};
    std::atomic<bool> stopped{false};
    std::mutex reportMutex; // status reports go over a connection of their own, one at a time
    platform::lab::NodeConnection reports;
};

std::mutex g_hostMutex;
ServiceHost* g_host = nullptr; // set while StartServiceCtrlDispatcherW runs

ServiceHost* CurrentHost() {
    std::lock_guard lock(g_hostMutex);
    return g_host;
}

BOOL Finish(DWORD status) {
    SetLastError(status);
    return status == ERROR_SUCCESS ? TRUE : FALSE;
}

DWORD Connect(ServiceHost& host, platform::lab::NodeConnection& controls, std::vector<std::u16string>& arguments) {
    std::optional<std::string> token = platform::lab::EnvironmentValue(scmwire::kServiceTokenVariable);
    if (!token || controls.Open(u"") != ERROR_SUCCESS || host.reports.Open(u"") != ERROR_SUCCESS) {
        return ERROR_FAILED_SERVICE_CONTROLLER_CONNECT;
    }
    host.token = platform::ToUtf16(*token);
    scmwire::TokenRequest request{host.token};
    scmwire::DispatcherReply reply;
    RPC_STATUS status = controls.Call(ScmInterface(), scmwire::kConnectDispatcher, request, reply);
    if (status != RPC_S_OK || reply.status != ERROR_SUCCESS || reply.arguments.empty()) {
        return ERROR_FAILED_SERVICE_CONTROLLER_CONNECT;
    }
    host.serviceName = reply.serviceName;
    arguments = std::move(reply.arguments);
    return ERROR_SUCCESS;
}

// Serves controls until the service has stopped (or ntnode no longer knows it).
DWORD ServeControls(ServiceHost& host, platform::lab::NodeConnection& controls) {
    std::uint32_t done = 0;
    for (;;) {
        bool stopped = host.stopped.load();
        scmwire::NextControlRequest request{host.token, done, stopped ? 0u : kControlPoll};
        scmwire::NextControlReply reply;
        RPC_STATUS status = controls.Call(ScmInterface(), scmwire::kNextControl, request, reply);
        if (status != RPC_S_OK) {
            return static_cast<DWORD>(status);
        }
        done = 0;
        if (reply.status != ERROR_SUCCESS || stopped) {
            return ERROR_SUCCESS; // stopped: the last handler's return has been told
        }
        if (reply.control != 0) {
            if (LPHANDLER_FUNCTION handler = host.handler.load()) {
                handler(reply.control);
            }
            done = reply.sequence;
        }
    }
}

} // namespace

BOOL StartServiceCtrlDispatcherW(const SERVICE_TABLE_ENTRYW* lpServiceStartTable) {
    if (lpServiceStartTable == nullptr || lpServiceStartTable->lpServiceProc == nullptr) {
        return Finish(ERROR_INVALID_PARAMETER);
    }
    ServiceHost host;
    {
        std::lock_guard lock(g_hostMutex);
        if (g_host != nullptr) {
            return Finish(ERROR_SERVICE_ALREADY_RUNNING);
        }
        g_host = &host;
    }
    platform::lab::NodeConnection controls;
    std::vector<std::u16string> arguments;
    DWORD status = Connect(host, controls, arguments);
    if (status == ERROR_SUCCESS) {
        // A process of its own serves one service, whatever name its table gives it.
        LPSERVICE_MAIN_FUNCTIONW serviceMain = lpServiceStartTable->lpServiceProc;
        std::thread mainThread([serviceMain, &arguments] {
            std::vector<LPWSTR> argv;
            for (std::u16string& argument : arguments) {
                argv.push_back(argument.data());
            }
            argv.push_back(nullptr);
            serviceMain(static_cast<DWORD>(arguments.size()), argv.data());
        });
        status = ServeControls(host, controls);
        mainThread.join();
    }
    {
        std::lock_guard lock(g_hostMutex);
        g_host = nullptr;
    }
    return Finish(status);
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerW(LPCWSTR lpServiceName, LPHANDLER_FUNCTION lpHandlerProc) {
    ServiceHost* host = CurrentHost();
    if (host == nullptr || lpServiceName == nullptr || host->serviceName.empty()) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    if (lpHandlerProc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    host->handler.store(lpHandlerProc);
    SetLastError(ERROR_SUCCESS);
    return host;
}

BOOL SetServiceStatus(SERVICE_STATUS_HANDLE hServiceStatus, LPSERVICE_STATUS lpServiceStatus) {
    ServiceHost* host = CurrentHost();
    if (host == nullptr || hServiceStatus != host) {
        return Finish(ERROR_INVALID_HANDLE);
    }
    if (lpServiceStatus == nullptr) {
        return Finish(ERROR_INVALID_PARAMETER);
    }
    scmwire::ReportStatusRequest request{host->token, {*lpServiceStatus}};
    wire::StatusReply reply;
    RPC_STATUS status = RPC_S_OK;
    {
        std::lock_guard lock(host->reportMutex);
        status = host->reports.Call(ScmInterface(), scmwire::kReportStatus, request, reply);
    }
    if (status != RPC_S_OK) {
        return Finish(static_cast<DWORD>(status));
    }
    if (reply.status == ERROR_SUCCESS && lpServiceStatus->dwCurrentState == SERVICE_STOPPED) {
        host->stopped.store(true);
    }
    return Finish(reply.status);
}
