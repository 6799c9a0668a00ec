#include "platform/Utf16.h"

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Decodes one code point at `i`; nullopt for an ill-formed sequence (then `i` skips one unit).
std::optional<char32_t> NextFromUtf16(std::u16string_view text, std::size_t& i) {
    char16_t c = text[i++];
    if (IsHighSurrogate(c)) {
        if (i < text.size() && IsLowSurrogate(text[i])) {
            char16_t low = text[i++];
            return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (low - 0xDC00);
        }
        return std::nullopt;
    }
    if (IsLowSurrogate(c)) {
        return std::nullopt;
    }
    return c;
}

std::optional<char32_t> NextFromUtf8(std::string_view text, std::size_t& i) {
    auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    unsigned char lead = byte(i++);
    if (lead < 0x80) {
        return lead;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (byte(i) & 0xC0) != 0x80) {
            return std::nullopt;
        }
        cp = (cp << 6) | (byte(i++) & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return std::nullopt;
    }
    return cp;
}

template <typename Out, typename In, typename Next, typename Append>
std::optional<Out> Convert(In text, bool strict, Next next, Append append) {
    Out out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        std::optional<char32_t> cp = next(text, i);
        if (!cp) {
            if (strict) {
                return std::nullopt;
            }
            cp = kReplacement;
        }
        append(out, *cp);
    }
    return out;
}

} // namespace

std::optional<std::string> Utf16ToUtf8(std::u16string_view text) {
    return Convert<std::string>(text, true, NextFromUtf16, AppendUtf8);
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view text) {
    return Convert<std::u16string>(text, true, NextFromUtf8, AppendUtf16);
}

std::string ToUtf8(std::u16string_view text) {
    return *Convert<std::string>(text, false, NextFromUtf16, AppendUtf8);
}

std::u16string ToUtf16(std::string_view text) {
    return *Convert<std::u16string>(text, false, NextFromUtf8, AppendUtf16);
}

std::u16string_view WideView(LPCWSTR text) { return text == nullptr ? std::u16string_view() : std::u16string_view(text); }

} // namespace platform
