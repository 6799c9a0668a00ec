#include "agent/host/ConsoleText.h"

#include "platform/Utf16.h"

#include <cstdio>

namespace agent {

void WriteConsoleText(std::u16string_view text) {
    const std::string bytes = platform::ToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

} // namespace agent
