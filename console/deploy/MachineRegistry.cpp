#include "console/deploy/MachineRegistry.h"

#include "console/deploy/FailureStatus.h"
#include "console/deploy/ScopedHandle.h"
#include "platform/LastError.h"
#include "platform/Registry.h"

namespace deploy {
namespace {

bool Fail(LSTATUS status) {
    SetLastError(FailureStatus(static_cast<DWORD>(status)));
    return false;
}

} // namespace

bool ReadMachineRegistryValue(LPCWSTR computer, LPCWSTR subKey, LPCWSTR valueName, LPBYTE data,
                              LPDWORD sizeBytes) {
    ScopedRegistryKey remoteRoot;
    HKEY root = HKEY_LOCAL_MACHINE;
    if (computer != nullptr && computer[0] != 0) {
        const LSTATUS status = RegConnectRegistryW(computer, HKEY_LOCAL_MACHINE, remoteRoot.Receive());
        if (status != ERROR_SUCCESS) {
            return Fail(status);
        }
        root = remoteRoot.Get();
    }
    ScopedRegistryKey key;
    LSTATUS status = RegOpenKeyExW(root, subKey, 0, KEY_READ, key.Receive());
    if (status != ERROR_SUCCESS) {
        return Fail(status);
    }
    status = RegQueryValueExW(key.Get(), valueName, nullptr, nullptr, data, sizeBytes);
    if (status != ERROR_SUCCESS) {
        return Fail(status);
    }
    return true;
}

} // namespace deploy
