#pragma once
// The text of the thread's last error as the deployment's failure lines show it.
#include "platform/WinTypes.h"

namespace deploy {

// Fills `buffer` (capacity in characters; callers pass 256) with the system's text for the
// thread's last error followed by " (0x" the number in lower-case hexadecimal ")", and returns
// the buffer. Empty when the system has no text, or when the text does not fit.
LPWSTR LastErrorText(LPWSTR buffer, DWORD capacity);

} // namespace deploy
