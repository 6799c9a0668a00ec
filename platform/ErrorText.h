#pragma once
// The one-line text of a Win32 error that the programs print and log: the system's message
// without its line break, then " (0x" the number in lower-case hexadecimal ")", e.g.
// "Access is denied. (0x5)".
#include "platform/WinTypes.h"

#include <string_view>

namespace platform {

// Fills `buffer` (capacity in characters) with the text of the thread's last error and returns
// the buffer. The text is empty when the system has no text for the error, or when the
// system's text (with its line break) plus 14 characters exceeds the capacity. The number
// printed is the last error as it stands after the lookup.
LPWSTR FormatLastErrorText(LPWSTR buffer, DWORD capacity);

// The composing step of FormatLastErrorText: `systemText` as FormatMessageW returned it (CR LF
// at the end), `error` the number to print. The buffer is never written past its capacity.
LPWSTR ComposeErrorText(LPWSTR buffer, DWORD capacity, std::u16string_view systemText, DWORD error);

} // namespace platform
