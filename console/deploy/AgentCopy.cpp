#include "console/deploy/AgentCopy.h"

#include "console/deploy/ErrorModeScope.h"
#include "console/deploy/FailureStatus.h"
#include "platform/Files.h"
#include "platform/WinError.h"

namespace deploy {

DWORD CopyAgentProgram(LPCWSTR source, LPCWSTR destination) {
    const ErrorModeScope criticalErrorsSuppressed;
    if (CopyFileW(source, destination, FALSE)) {
        return ERROR_SUCCESS;
    }
    if (GetLastError() == ERROR_NETNAME_DELETED && CopyFileW(source, destination, FALSE)) {
        return ERROR_SUCCESS;
    }
    return LastFailureStatus();
}

} // namespace deploy
