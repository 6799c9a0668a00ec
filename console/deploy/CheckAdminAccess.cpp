#include "console/deploy/AgentDeployment.h"
#include "console/deploy/ScopedHandle.h"
#include "platform/LastError.h"
#include "platform/Service.h"
#include "platform/WinError.h"

namespace deploy {

DWORD CheckAdminAccess(LPCWSTR computer) {
    // The same access InstallAgent and RemoveAgent ask for later.
    const ScopedServiceHandle manager(OpenSCManagerW(computer, nullptr, SC_MANAGER_ALL_ACCESS));
    if (manager) {
        return kAdminAccessGranted;
    }
    return GetLastError() == ERROR_ACCESS_DENIED ? kAdminAccessDenied : kAdminAccessUnreachable;
}

} // namespace deploy
