#include "agent/include/ResultRecordReader.h"

#include <algorithm>
#include <limits>

namespace resultrecord {

namespace {

constexpr WCHAR kCarriageReturn = 13;
constexpr WCHAR kBlank = u' ';

// Replaces carriage returns by NUL. Records rarely hold one, so finding them (a read-only
// scan) is cheaper than a replace that tests and may store every character.
void SplitLines(WCHAR* text, std::size_t length) {
    WCHAR* const end = text + length;
    for (WCHAR* at = std::find(text, end, kCarriageReturn); at != end;
         at = std::find(at + 1, end, kCarriageReturn)) {
        *at = 0;
    }
}

} // namespace

std::optional<std::size_t> FindInLines(WCHAR* text, std::size_t length, std::u16string_view key) {
    if (text == nullptr || key.empty() || key.find(WCHAR{0}) != std::u16string_view::npos) {
        return std::nullopt;
    }
    SplitLines(text, length);
    // A key without NUL cannot match across a line end, so the first occurrence in the whole
    // text is the key's place in the first line that contains it.
    const WCHAR* const begin = text;
    const WCHAR* const end = begin + length;
    const WCHAR* const at = std::search(begin, end, key.begin(), key.end());
    if (at == end) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(at - text);
}

bool ContainsKey(WCHAR* text, std::size_t length, std::u16string_view key) {
    return FindInLines(text, length, key).has_value();
}

std::u16string ExtractTokenValue(WCHAR* text, std::size_t length, std::u16string_view key) {
    const std::optional<std::size_t> at = FindInLines(text, length, key);
    if (!at) {
        return {};
    }
    std::u16string value(1, kBlank);
    for (std::size_t i = *at + key.size(); i < length && text[i] != kSeparator; ++i) {
        if (text[i] == 0) {
            continue;
        }
        if (value.size() == 1 + kMaxValueLength) {
            value.back() = kValueCutMark;
            break;
        }
        value.push_back(text[i]);
    }
    return value;
}

int ReadCount(WCHAR* text, std::size_t length, std::u16string_view key) {
    const std::u16string value = ExtractTokenValue(text, length, key);
    const std::size_t limit = std::min<std::size_t>(length, std::numeric_limits<int>::max());
    std::size_t i = value.find_first_not_of(kBlank);
    if (i == std::u16string::npos || value[i] < u'0' || value[i] > u'9') {
        return 0;
    }
    std::size_t count = 0;
    for (; i < value.size() && value[i] >= u'0' && value[i] <= u'9'; ++i) {
        count = count * 10 + static_cast<std::size_t>(value[i] - u'0');
        if (count > limit) {
            return 0;
        }
    }
    return static_cast<int>(count);
}

} // namespace resultrecord
