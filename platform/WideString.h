#pragma once
// The length, copy, append and compare operations the programs use on WCHAR buffers of a known
// capacity. Conversions between UTF-16 and UTF-8 are in platform/Utf16.h.
#include "platform/WinTypes.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The length of the text in `buffer`, looking at no more than `capacity` characters: a buffer
// without a terminating NUL within its capacity reports `capacity`.
std::size_t BoundedLength(const WCHAR* buffer, std::size_t capacity);

// Copies `source` into `buffer` (capacity in characters, the terminating NUL included). When the
// source does not fit, the buffer holds the longest prefix that fits, never splitting a surrogate
// pair, and the result is false. A null buffer or a capacity of 0 is left untouched (false).
bool CopyText(LPWSTR buffer, std::size_t capacity, std::u16string_view source);

// Appends `source` to the text in `buffer`, with the same rules as CopyText. A buffer that holds
// no NUL within its capacity is left untouched (false).
bool AppendText(LPWSTR buffer, std::size_t capacity, std::u16string_view source);

} // namespace platform

// Length of a NUL-terminated text in characters; 0 for a null pointer.
int lstrlenW(LPCWSTR text);

// Compares two texts, ASCII letters without regard to case (A-Z equal a-z), every other
// character by its code unit value. Negative, 0 or positive; a null pointer sorts first.
int lstrcmpiW(LPCWSTR first, LPCWSTR second);
