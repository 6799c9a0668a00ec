#pragma once
// Win32, RPC and network-management error numbers under their Windows names.
#include "platform/WinTypes.h"

#define TARN_ERROR(name, number, text) constexpr DWORD name = number;
#include "platform/ErrorTable.inc"
#undef TARN_ERROR

constexpr DWORD NO_ERROR = ERROR_SUCCESS;
constexpr DWORD RPC_S_OK = ERROR_SUCCESS;
constexpr DWORD NERR_Success = 0;
