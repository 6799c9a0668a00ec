#include "console/deploy/SystemRoot.h"

#include "console/deploy/DeploymentNames.h"
#include "console/deploy/MachineRegistry.h"
#include "platform/LastError.h"
#include "platform/WideString.h"
#include "platform/WinError.h"

namespace deploy {

static_assert(kPathCapacity * sizeof(WCHAR) == kSystemRootBytes,
              "the system root fills a path buffer at most");

DWORD ReadSystemRoot(LPCWSTR computer, WCHAR (&root)[kPathCapacity]) {
    root[0] = 0;
    DWORD sizeBytes = kSystemRootBytes;
    if (!ReadMachineRegistryValue(computer, kSystemRootKey, kSystemRootValue, reinterpret_cast<LPBYTE>(root),
                                  &sizeBytes)) {
        root[0] = 0;
        return GetLastError();
    }
    // The value is the node's to write: take it only as a whole, terminated text. A string
    // stored without its NUL is closed here when there is room for one.
    const DWORD characters = sizeBytes / sizeof(WCHAR);
    const std::size_t length = platform::BoundedLength(root, characters);
    if (sizeBytes % sizeof(WCHAR) != 0 || sizeBytes > kSystemRootBytes || length == 0 ||
        (length == characters && characters == kPathCapacity)) {
        root[0] = 0;
        return ERROR_INVALID_DATA;
    }
    root[length] = 0;
    return ERROR_SUCCESS;
}

} // namespace deploy
