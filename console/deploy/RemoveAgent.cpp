#include "console/deploy/AgentDeployment.h"
#include "console/deploy/AgentShare.h"
#include "console/deploy/DeploymentNames.h"
#include "console/deploy/DeploymentPaths.h"
#include "console/deploy/ProgressOutput.h"
#include "console/deploy/ScopedHandle.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Service.h"
#include "platform/WideFormat.h"
#include "platform/WinError.h"

#include <chrono>

namespace deploy {
namespace {

// Waits for a service that has just accepted the stop request to stop, writing a dot per poll.
// Gives the last state obtained; a service still stopping kStopPollLimit after the request
// counts as not stopped, so that a service that hangs while stopping cannot hold the console.
DWORD WaitForStop(SC_HANDLE service, DWORD stateAtRequest) {
    const auto giveUpAt = platform::DeadlineAfter(kStopPollLimit);
    DWORD lastState = stateAtRequest;
    Sleep(kStopPollWait);
    SERVICE_STATUS status{};
    while (QueryServiceStatus(service, &status)) {
        lastState = status.dwCurrentState;
        if (lastState != SERVICE_STOP_PENDING || std::chrono::steady_clock::now() >= giveUpAt) {
            break;
        }
        WriteProgress(u".");
        Sleep(kStopPollWait);
    }
    return lastState;
}

// Stops the service and, once it has stopped, deletes it. A service that refuses the stop
// request (one that is not running) is left registered.
void StopAndDeleteService(SC_HANDLE service) {
    SERVICE_STATUS status{};
    if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        return;
    }
    WriteProgress(platform::FormatString(u"Stopping %s.", kDisplayName));
    if (WaitForStop(service, status.dwCurrentState) != SERVICE_STOPPED) {
        WriteProgress(platform::FormatString(u"\n%s failed to stop.\n", kDisplayName));
        return;
    }
    WriteProgress(platform::FormatString(u"\n%s stopped.\n", kDisplayName));
    if (DeleteService(service)) {
        WriteProgress(platform::FormatString(u"%s removed.\n", kDisplayName));
    } else {
        WriteFailure(u"DeleteService failed - %s\n");
    }
}

void RemoveAgentService(LPCWSTR computer) {
    const ScopedServiceHandle manager(OpenSCManagerW(computer, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        WriteFailure(u"OpenSCManager failed - %s\n");
        return;
    }
    const ScopedServiceHandle service(OpenServiceW(manager.Get(), kServiceName, SERVICE_ALL_ACCESS));
    if (!service) {
        WriteFailure(u"OpenService failed - %s\n");
        return;
    }
    StopAndDeleteService(service.Get());
}

// The outcome is not reported: a file that is not there needs no removal.
void DeleteAgentProgram(LPCWSTR computer) {
    WCHAR destination[kPathCapacity];
    if (BuildCopyDestination(computer, destination, kPathCapacity) != ERROR_SUCCESS) {
        return; // a name too long for the path was never deployed to
    }
    if (!DeleteFileW(destination)) {
        DeleteFileW(destination);
    }
}

} // namespace

bool RemoveAgent(LPCWSTR computer) {
    if (computer == nullptr || computer[0] == 0) {
        return true; // no node named, nothing deployed
    }
    RemoveAgentService(computer);
    DeleteAgentProgram(computer);
    if (!AgentShareExists(computer)) {
        return true;
    }
    return DeleteAgentShare(computer) == NERR_Success;
}

} // namespace deploy
