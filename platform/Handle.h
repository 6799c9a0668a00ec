#pragma once
// Kernel-object handles: what CreateFileW, CreateNamedPipeW and the other opening operations
// return, and the operations every kind of object answers through them (ReadFile, WriteFile,
// FlushFileBuffers, CloseHandle). Each family implements its objects as a KernelObject; the
// table keeps them alive while a handle or a running operation refers to them.
#include "platform/WinTypes.h"

#include <memory>

struct OVERLAPPED; // overlapped I/O is not offered: every pointer to one must be null
using LPOVERLAPPED = OVERLAPPED*;

namespace platform {

class KernelObject {
public:
    virtual ~KernelObject() = default;

    // Win32 errors; the defaults answer ERROR_INVALID_FUNCTION for an object that cannot.
    virtual DWORD Read(void* buffer, DWORD size, DWORD& read);
    virtual DWORD Write(const void* data, DWORD size, DWORD& written);
    virtual DWORD Flush();
    // Runs when the handle is closed, before the object goes once nobody uses it any more:
    // operations still waiting on it end.
    virtual void Close() {}
};

// A new handle for `object`; null when the table is full.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// The object behind `handle`; null for a handle that is not open.
std::shared_ptr<KernelObject> ObjectOf(HANDLE handle);

template <typename T>
std::shared_ptr<T> ObjectAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(ObjectOf(handle));
}

} // namespace platform

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped);
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped);
BOOL FlushFileBuffers(HANDLE hFile);
BOOL CloseHandle(HANDLE hObject);
