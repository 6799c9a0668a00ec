#pragma once
// The deployment's progress and failure lines on standard output ("Vtarn RPC Service
// installed.", "StartService failed - Access is denied. (0x5)", ...).
#include "platform/WideFormat.h"
#include "platform/WinTypes.h"

#include <string_view>

namespace deploy {

// Writes `text` to standard output as UTF-8, whole, and flushes it, so that the lines of two
// nodes deployed at once do not interleave within a line.
void WriteProgress(std::u16string_view text);

// Writes `format` (one "%s") filled with the LastErrorText of the thread's last error, e.g.
// WriteFailure(u"OpenService failed - %s\n"). The thread's last error is the same afterwards.
void WriteFailure(platform::WideFormat<LPCWSTR> format);

} // namespace deploy
