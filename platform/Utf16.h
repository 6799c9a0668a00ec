#pragma once
// Conversions between the UTF-16 texts of the platform (WCHAR strings) and the UTF-8 texts of
// Linux (file names, environment, TOML files).
#include "platform/WinTypes.h"

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Strict conversions: nullopt when the input is not well-formed (an unpaired surrogate, a bad
// UTF-8 sequence), so that a name never silently turns into a different one.
std::optional<std::string> Utf16ToUtf8(std::u16string_view text);
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

// Lenient conversions for messages and display: ill-formed parts become U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string ToUtf16(std::string_view text);

// The text of a NUL-terminated WCHAR string (empty for a null pointer).
std::u16string_view WideView(LPCWSTR text);

} // namespace platform
