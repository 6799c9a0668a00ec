#pragma once
// Small owners for the handles and buffers the deployment opens, so that every path out of an
// operation closes them. Closing keeps the thread's last error as it was: the operations read
// the error of the step that failed after their guards have gone.
#include "platform/LastError.h"
#include "platform/NetShare.h"
#include "platform/Registry.h"
#include "platform/Service.h"

namespace deploy {

template <class Handle, auto Close> class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(Handle handle) : m_handle(handle) {}
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ~ScopedHandle() {
        if (m_handle != nullptr) {
            const DWORD lastError = GetLastError();
            Close(m_handle);
            SetLastError(lastError);
        }
    }

    Handle Get() const { return m_handle; }
    // For an operation that returns the handle through an out parameter; holds nothing yet.
    Handle* Receive() { return &m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    Handle m_handle = nullptr;
};

inline void FreeNetBuffer(LPBYTE buffer) {
    NetApiBufferFree(buffer);
}

using ScopedServiceHandle = ScopedHandle<SC_HANDLE, &CloseServiceHandle>;
using ScopedRegistryKey = ScopedHandle<HKEY, &RegCloseKey>;
using ScopedNetBuffer = ScopedHandle<LPBYTE, &FreeNetBuffer>;

} // namespace deploy
