#include "platform/Handle.h"

#include "platform/LastError.h"
#include "platform/WinError.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace platform {
namespace {

// Handles are multiples of 4 from 4 on, as the system's are; slot n is handle 4 * (n + 1).
constexpr std::size_t kMaxHandles = 1 << 16;

struct HandleTable {
    std::mutex mutex;
    std::vector<std::shared_ptr<KernelObject>> slots;
};

// Lives as long as the process: objects still open at exit are not torn down then (a pipe
// would call its computer while the process is ending); the system closes what they hold.
HandleTable& Table() {
    static HandleTable* table = new HandleTable;
    return *table;
}

bool SlotOf(HANDLE handle, std::size_t& slot) {
    auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value == 0 || value % 4 != 0 || value / 4 > kMaxHandles) {
        return false;
    }
    slot = value / 4 - 1;
    return true;
}

BOOL Finish(DWORD status) {
    SetLastError(status);
    return status == ERROR_SUCCESS ? TRUE : FALSE;
}

} // namespace

DWORD KernelObject::Read(void*, DWORD, DWORD& read) {
    read = 0;
    return ERROR_INVALID_FUNCTION;
}

DWORD KernelObject::Write(const void*, DWORD, DWORD& written) {
    written = 0;
    return ERROR_INVALID_FUNCTION;
}

DWORD KernelObject::Flush() { return ERROR_INVALID_FUNCTION; }

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    std::size_t slot = 0;
    while (slot < table.slots.size() && table.slots[slot]) {
        ++slot;
    }
    if (slot == kMaxHandles) {
        return nullptr;
    }
    if (slot == table.slots.size()) {
        table.slots.emplace_back();
    }
    table.slots[slot] = std::move(object);
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(4 * (slot + 1)));
}

std::shared_ptr<KernelObject> ObjectOf(HANDLE handle) {
    std::size_t slot = 0;
    if (!SlotOf(handle, slot)) {
        return nullptr;
    }
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    return slot < table.slots.size() ? table.slots[slot] : nullptr;
}

} // namespace platform

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesRead != nullptr) {
        *lpNumberOfBytesRead = 0;
    }
    std::shared_ptr<platform::KernelObject> object = platform::ObjectOf(hFile);
    if (!object) {
        return platform::Finish(ERROR_INVALID_HANDLE);
    }
    if (lpOverlapped != nullptr || lpNumberOfBytesRead == nullptr || (lpBuffer == nullptr && nNumberOfBytesToRead != 0)) {
        return platform::Finish(ERROR_INVALID_PARAMETER);
    }
    return platform::Finish(object->Read(lpBuffer, nNumberOfBytesToRead, *lpNumberOfBytesRead));
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesWritten != nullptr) {
        *lpNumberOfBytesWritten = 0;
    }
    std::shared_ptr<platform::KernelObject> object = platform::ObjectOf(hFile);
    if (!object) {
        return platform::Finish(ERROR_INVALID_HANDLE);
    }
    if (lpOverlapped != nullptr || lpNumberOfBytesWritten == nullptr ||
        (lpBuffer == nullptr && nNumberOfBytesToWrite != 0)) {
        return platform::Finish(ERROR_INVALID_PARAMETER);
    }
    return platform::Finish(object->Write(lpBuffer, nNumberOfBytesToWrite, *lpNumberOfBytesWritten));
}

BOOL FlushFileBuffers(HANDLE hFile) {
    std::shared_ptr<platform::KernelObject> object = platform::ObjectOf(hFile);
    return platform::Finish(object ? object->Flush() : ERROR_INVALID_HANDLE);
}

BOOL CloseHandle(HANDLE hObject) {
    std::shared_ptr<platform::KernelObject> object;
    std::size_t slot = 0;
    if (platform::SlotOf(hObject, slot)) {
        platform::HandleTable& table = platform::Table();
        std::lock_guard lock(table.mutex);
        if (slot < table.slots.size()) {
            object = std::move(table.slots[slot]);
            table.slots[slot].reset();
        }
    }
    if (!object) {
        return platform::Finish(ERROR_INVALID_HANDLE);
    }
    object->Close();
    return platform::Finish(ERROR_SUCCESS);
}
