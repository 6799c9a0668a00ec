#include "platform/WideString.h"

namespace platform {
namespace {

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// The number of characters of `source` that fit before a NUL in `room` characters, pulled back
// by one when the cut would separate a surrogate pair.
std::size_t FittingPrefix(std::u16string_view source, std::size_t room) {
    if (source.size() <= room) {
        return source.size();
    }
    if (room > 0 && IsHighSurrogate(source[room - 1])) {
        return room - 1;
    }
    return room;
}

} // namespace

std::size_t BoundedLength(const WCHAR* buffer, std::size_t capacity) {
    std::size_t length = 0;
    while (length < capacity && buffer[length] != 0) {
        ++length;
    }
    return length;
}

bool CopyText(LPWSTR buffer, std::size_t capacity, std::u16string_view source) {
    if (buffer == nullptr || capacity == 0) {
        return false;
    }
    buffer[0] = 0;
    return AppendText(buffer, capacity, source);
}

bool AppendText(LPWSTR buffer, std::size_t capacity, std::u16string_view source) {
    if (buffer == nullptr) {
        return false;
    }
    const std::size_t used = BoundedLength(buffer, capacity);
    if (used == capacity) {
        return false;
    }
    const std::size_t count = FittingPrefix(source, capacity - used - 1);
    source.copy(buffer + used, count);
    buffer[used + count] = 0;
    return count == source.size();
}

} // namespace platform

int lstrlenW(LPCWSTR text) {
    if (text == nullptr) {
        return 0;
    }
    return static_cast<int>(std::char_traits<char16_t>::length(text));
}

int lstrcmpiW(LPCWSTR first, LPCWSTR second) {
    if (first == nullptr || second == nullptr) {
        return (first != nullptr) - (second != nullptr);
    }
    const auto fold = [](char16_t c) -> int { return (c >= u'A' && c <= u'Z') ? c - u'A' + u'a' : c; };
    for (;; ++first, ++second) {
        const int difference = fold(*first) - fold(*second);
        if (difference != 0 || *first == 0) {
            return difference;
        }
    }
}
