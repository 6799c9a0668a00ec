#pragma once
// The agent's lines on its console window (standard output), written at once so that a
// progress line without a line end ("Stopping ...", ".") shows while the agent waits.
#include "platform/WideFormat.h"

#include <string_view>
#include <type_traits>

namespace agent {

void WriteConsoleText(std::u16string_view text);

template <class... Args>
void PrintText(platform::WideFormat<std::type_identity_t<Args>...> format, const Args&... args) {
    WriteConsoleText(platform::FormatString(format, args...));
}

} // namespace agent
