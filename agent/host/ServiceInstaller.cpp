#include "agent/host/ServiceInstaller.h"

#include "agent/host/ConsoleText.h"
#include "agent/host/ServiceIdentity.h"
#include "platform/Clock.h"
#include "platform/Files.h"

#include <chrono>

namespace agent {
namespace {

// Room for the program's NT path; a longer one is refused rather than registered cut short.
constexpr DWORD kProgramPathCapacity = 1024;

// Polls while the service is stop pending. Returns the last state the query reported (or the
// one `status` held when no query succeeded).
DWORD WaitWhileStopPending(SC_HANDLE service, SERVICE_STATUS& status) {
    const auto deadline = platform::DeadlineAfter(kStopWaitLimitMs);
    for (;;) {
        Sleep(kStopPollIntervalMs);
        if (!QueryServiceStatus(service, &status) || status.dwCurrentState != SERVICE_STOP_PENDING ||
            std::chrono::steady_clock::now() >= deadline) {
            return status.dwCurrentState;
        }
        PrintText(u".");
    }
}

} // namespace

void InstallService(ServiceHost& host) {
    WCHAR programPath[kProgramPathCapacity];
    const DWORD length = GetModuleFileNameW(nullptr, programPath, kProgramPathCapacity);
    if (length == 0 || length >= kProgramPathCapacity) {
        PrintText(u"Unable to install %s - %s\n", kServiceDisplayName, host.ErrorText());
        return;
    }
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) {
        PrintText(u"OpenSCManager failed - %s\n", host.ErrorText());
        return;
    }
    SC_HANDLE service = CreateServiceW(manager, kServiceName, kServiceDisplayName, SERVICE_ALL_ACCESS,
                                       kServiceType, kServiceStartType, kServiceErrorControl, programPath,
                                       nullptr, nullptr, kServiceDependencies, nullptr, nullptr);
    if (service != nullptr) {
        PrintText(u"%s installed.\n", kServiceDisplayName);
        CloseServiceHandle(service);
    } else {
        PrintText(u"CreateService failed - %s\n", host.ErrorText());
    }
    CloseServiceHandle(manager);
}

void RemoveService(ServiceHost& host) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) {
        PrintText(u"OpenSCManager failed - %s\n", host.ErrorText());
        return;
    }
    SC_HANDLE service = OpenServiceW(manager, kServiceName, SERVICE_ALL_ACCESS);
    if (service == nullptr) {
        PrintText(u"OpenService failed - %s\n", host.ErrorText());
        CloseServiceHandle(manager);
        return;
    }
    SERVICE_STATUS status{};
    if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        PrintText(u"Stopping %s.", kServiceDisplayName);
        if (WaitWhileStopPending(service, status) == SERVICE_STOPPED) {
            PrintText(u"\n%s stopped.\n", kServiceDisplayName);
        } else {
            PrintText(u"\n%s failed to stop.\n", kServiceDisplayName);
        }
    }
    if (DeleteService(service)) {
        PrintText(u"%s removed.\n", kServiceDisplayName);
    } else {
        PrintText(u"DeleteService failed - %s\n", host.ErrorText());
    }
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

} // namespace agent
