#include "platform/CreateFile.h"

#include "platform/LastError.h"
#include "platform/Pipe.h"
#include "platform/PipeName.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE) {
    if (lpFileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::u16string_view path = platform::WideView(lpFileName);
    platform::PipePath pipe;
    DWORD status = ERROR_PATH_NOT_FOUND;
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (platform::ParsePipePath(path, pipe)) {
        status = dwCreationDisposition != OPEN_EXISTING || (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) != 0
                     ? ERROR_INVALID_PARAMETER
                     : platform::OpenPipeClient(path, dwDesiredAccess, handle);
    }
    SetLastError(status);
    return status == ERROR_SUCCESS ? handle : INVALID_HANDLE_VALUE;
}
