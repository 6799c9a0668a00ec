#include "platform/LocalMemory.h"

#include "platform/LastError.h"
#include "platform/WinError.h"

#include <cstdlib>
#include <cstring>

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
    if ((flags & ~LMEM_ZEROINIT) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // A block of 0 bytes is still a distinct block that LocalFree accepts.
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if ((flags & LMEM_ZEROINIT) != 0) {
        std::memset(block, 0, bytes);
    }
    return block;
}

HLOCAL LocalFree(HLOCAL memory) {
    std::free(memory);
    return nullptr;
}
