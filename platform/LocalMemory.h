#pragma once
// The local heap: blocks that system functions allocate for their caller (FormatMessageW with
// FORMAT_MESSAGE_ALLOCATE_BUFFER) and that the caller gives back with LocalFree.
#include "platform/WinTypes.h"

constexpr UINT LMEM_FIXED = 0x0000;
constexpr UINT LMEM_ZEROINIT = 0x0040;
constexpr UINT LPTR = LMEM_FIXED | LMEM_ZEROINIT;

// A fixed block of `bytes` bytes (zero-filled with LMEM_ZEROINIT); its handle is its address.
// Null with ERROR_NOT_ENOUGH_MEMORY when the block cannot be had, or ERROR_INVALID_PARAMETER for
// flags other than those above.
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);

// Frees a block of LocalAlloc; null for success (a null handle is accepted and does nothing).
HLOCAL LocalFree(HLOCAL memory);
