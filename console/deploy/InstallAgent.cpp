#include "console/deploy/AgentCopy.h"
#include "console/deploy/AgentDeployment.h"
#include "console/deploy/AgentShare.h"
#include "console/deploy/DeploymentNames.h"
#include "console/deploy/DeploymentPaths.h"
#include "console/deploy/FailureStatus.h"
#include "console/deploy/ProgressOutput.h"
#include "console/deploy/ScopedHandle.h"
#include "console/deploy/SystemRoot.h"
#include "platform/Clock.h"
#include "platform/Service.h"
#include "platform/WideFormat.h"
#include "platform/WinError.h"

namespace deploy {
namespace {

// Registers the agent's service, or opens the registration that is already there unchanged.
// Returns the service handle, or null with the last error of the step that failed.
SC_HANDLE CreateOrOpenAgentService(SC_HANDLE manager, LPCWSTR programPath) {
    SC_HANDLE service = CreateServiceW(manager, kServiceName, kDisplayName, SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                       programPath, nullptr, nullptr, kDependencies, nullptr, nullptr);
    if (service == nullptr && GetLastError() == ERROR_SERVICE_EXISTS) {
        service = OpenServiceW(manager, kServiceName, SERVICE_ALL_ACCESS);
    }
    return service;
}

// Registers and starts the service on the node. 0, or the last error of the step that failed.
DWORD RegisterAndStart(LPCWSTR computer, LPCWSTR programPath, DWORD argumentCount, LPCWSTR* arguments) {
    const ScopedServiceHandle manager(OpenSCManagerW(computer, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        WriteFailure(u"OpenSCManager failed - %s\n");
        return LastFailureStatus();
    }
    const ScopedServiceHandle service(CreateOrOpenAgentService(manager.Get(), programPath));
    if (!service) {
        WriteFailure(u"CreateService failed - %s\n");
        return LastFailureStatus();
    }
    WriteProgress(platform::FormatString(u"%s installed.\n", kDisplayName));
    if (!StartServiceW(service.Get(), argumentCount, arguments) &&
        GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
        WriteFailure(u"StartService failed - %s\n");
        return LastFailureStatus();
    }
    return ERROR_SUCCESS;
}

} // namespace

DWORD InstallAgent(LPCWSTR computer, DWORD argumentCount, LPCWSTR* arguments) {
    if (computer == nullptr || computer[0] == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    WCHAR systemRoot[kPathCapacity];
    if (const DWORD status = ReadSystemRoot(computer, systemRoot); status != ERROR_SUCCESS) {
        return status;
    }
    // Every path is built before anything changes on the node, so that one too long for its
    // buffer leaves the node as it was.
    WCHAR programPath[kPathCapacity];
    WCHAR destination[kPathCapacity];
    WCHAR source[kPathCapacity];
    if (const DWORD status = BuildServiceProgramPath(systemRoot, programPath, kPathCapacity);
        status != ERROR_SUCCESS) {
        return status;
    }
    if (const DWORD status = BuildCopyDestination(computer, destination, kPathCapacity);
        status != ERROR_SUCCESS) {
        return status;
    }
    if (const DWORD status = GetCopySource(source, kPathCapacity); status != ERROR_SUCCESS) {
        return status;
    }
    // A share of that name is used as it is, wherever it points.
    if (!AgentShareExists(computer)) {
        if (const DWORD status = AddAgentShare(computer, systemRoot); status != NERR_Success) {
            return status;
        }
    }
    if (const DWORD status = CopyAgentProgram(source, destination); status != ERROR_SUCCESS) {
        return status;
    }
    if (const DWORD status = RegisterAndStart(computer, programPath, argumentCount, arguments);
        status != ERROR_SUCCESS) {
        return status;
    }
    // The handles are closed by now; the agent gets time to register its endpoints.
    Sleep(kStartSettleWait);
    return ERROR_SUCCESS;
}

} // namespace deploy
