#pragma once
// Case folding of the letters A to Z only, the way the lab compares computer, account, share,
// registry key and value names. Header-only, so the lab-file library can use it without
// linking the platform.
#include <string>
#include <string_view>

namespace platform {

template <typename Char>
constexpr Char FoldCase(Char c) {
    return (c >= Char('a') && c <= Char('z')) ? static_cast<Char>(c - Char('a') + Char('A')) : c;
}

template <typename Char>
constexpr bool EqualsIgnoreCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) {
            return false;
        }
    }
    return true;
}

inline bool EqualsIgnoreCase(std::string_view a, std::string_view b) { return EqualsIgnoreCase<char>(a, b); }
inline bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) { return EqualsIgnoreCase<char16_t>(a, b); }

template <typename Char>
std::basic_string<Char> ToUpper(std::basic_string_view<Char> text) {
    std::basic_string<Char> out(text);
    for (Char& c : out) {
        c = FoldCase(c);
    }
    return out;
}

inline std::string ToUpper(std::string_view text) { return ToUpper<char>(text); }
inline std::u16string ToUpper(std::u16string_view text) { return ToUpper<char16_t>(text); }

} // namespace platform
