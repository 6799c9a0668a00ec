#pragma once
// String tables: a program's user-visible texts, written in resources/<program>/strings.txt
// (format in resources/README.md), compiled into the program by tarn_add_string_table
// (cmake/StringTable.cmake) and read by identifier with LoadStringW.
#include "platform/WinTypes.h"

#include <span>

namespace platform {

struct StringTableEntry {
    UINT id;
    const WCHAR* text; // NUL-terminated; `length` characters before the NUL
    UINT length;
};

// Registers one program's table (entries sorted by id, ids unique) and returns its instance
// handle. Called once per table by the generated code when the program starts.
HINSTANCE RegisterStringTable(std::span<const StringTableEntry> entries);

} // namespace platform

// Copies string `id` of the table `instance` into `buffer`: at most `capacity` - 1 characters
// and a NUL. Returns the number of characters copied. A null instance names the program's own
// table, the only one it links (a process that links several passes the table's handle, or
// fails with ERROR_INVALID_HANDLE). An absent id returns 0 with an empty buffer and
// ERROR_RESOURCE_NAME_NOT_FOUND; no table at all, ERROR_RESOURCE_DATA_NOT_FOUND; a null buffer or
// a capacity below 1, ERROR_INVALID_PARAMETER.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int capacity);
