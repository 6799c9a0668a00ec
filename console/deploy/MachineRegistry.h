#pragma once
// One value under HKEY_LOCAL_MACHINE of a named computer, or of this one.
#include "platform/WinTypes.h"

namespace deploy {

// Reads `valueName` under `subKey` of HKEY_LOCAL_MACHINE on `computer` (null or empty: this
// computer), opened with KEY_READ, into `data` with RegQueryValueExW's rules for `sizeBytes`.
// True on success. On failure the thread's last error is the status of the registry step that
// failed (never 0); the keys opened are closed in both cases.
bool ReadMachineRegistryValue(LPCWSTR computer, LPCWSTR subKey, LPCWSTR valueName, LPBYTE data,
                              LPDWORD sizeBytes);

} // namespace deploy
