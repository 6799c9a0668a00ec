#include "platform/ErrorText.h"

#include "platform/FormatMessage.h"
#include "platform/LastError.h"
#include "platform/WideFormat.h"

namespace platform {
namespace {

// Room the suffix " (0x" + up to 8 hexadecimal digits + ")" and the NUL need beyond the text
// once its two line-break characters are dropped: 12 at most, so the rule "length + 14 fits"
// keeps the whole line inside the capacity.
constexpr DWORD kSuffixAllowance = 14;

} // namespace

LPWSTR ComposeErrorText(LPWSTR buffer, DWORD capacity, std::u16string_view systemText, DWORD error) {
    if (buffer == nullptr || capacity == 0) {
        return buffer;
    }
    buffer[0] = 0;
    if (systemText.empty() || systemText.size() + kSuffixAllowance > capacity) {
        return buffer;
    }
    // Only the line break goes: a text that lacks it keeps its last characters.
    if (systemText.ends_with(u"\r\n")) {
        systemText.remove_suffix(2);
    }
    // Cannot fail under the rule above; if it ever did, the buffer is left empty, not cut short.
    FormatText(buffer, capacity, u"%s (0x%x)", systemText, error);
    return buffer;
}

LPWSTR FormatLastErrorText(LPWSTR buffer, DWORD capacity) {
    LPWSTR systemText = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr,
        GetLastError(), 0, reinterpret_cast<LPWSTR>(&systemText), 0, nullptr);
    ComposeErrorText(buffer, capacity, std::u16string_view(systemText, length), GetLastError());
    LocalFree(systemText);
    return buffer;
}

} // namespace platform
