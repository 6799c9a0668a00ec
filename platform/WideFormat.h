#pragma once
// printf-like formatting of WCHAR texts with checked arguments.
//
//   WCHAR line[256];
//   int length = platform::FormatText(line, 256, u"%s (0x%x)", text, code);   // -1: did not fit
//   std::u16string name = platform::FormatString(u"\\\\%s\\%s\\%s.exe", computer, share, base);
//
// Conversions: %s (a WCHAR pointer, std::u16string or std::u16string_view; a null pointer
// prints "(null)"), %d and %i (signed), %u, %x, %X (unsigned, hexadecimal in lower or upper
// case), %c (one WCHAR), %%. Flags "-" (left-justify) and "0" (pad numbers with zeros), a
// decimal width, and an "l" length letter (accepted, no effect) may stand between "%" and the
// conversion. An integer argument is taken at its own width: one of up to 32 bits prints as a
// 32-bit value (%d of the DWORD 0xFFFFFFFF prints -1), a 64-bit one as a 64-bit value.
//
// A format written in the code is checked against its arguments at compile time. A format that
// is only known at run time (a text loaded from a string table) goes through RuntimeFormat and
// is checked as it is used: FormatText then fails instead of printing a wrong argument.
#include "platform/WinTypes.h"

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace platform {

namespace format_detail {

enum class ArgKind { Integer, Text };

struct FormatArg {
    ArgKind kind = ArgKind::Integer;
    ULONGLONG bits = 0; // the integer, sign-extended to 64 bits when signed
    bool isSigned = false;
    bool isWide = false; // more than 32 bits
    std::u16string_view text;
    bool isNull = false; // a null text pointer
};

struct Directive {
    bool leftAlign = false;
    bool zeroPad = false;
    std::size_t width = 0;
    char16_t conversion = 0; // s d i u x X c, or % for a literal percent sign
};

constexpr bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Parses the conversion that starts at format[pos] == '%'; on success pos is past it.
constexpr bool ParseDirective(std::u16string_view format, std::size_t& pos, Directive& directive) {
    directive = Directive{};
    ++pos;
    for (; pos < format.size() && (format[pos] == u'-' || format[pos] == u'0'); ++pos) {
        (format[pos] == u'-' ? directive.leftAlign : directive.zeroPad) = true;
    }
    for (; pos < format.size() && IsDigit(format[pos]); ++pos) {
        directive.width = directive.width * 10 + (format[pos] - u'0');
        if (directive.width > 1024) {
            return false;
        }
    }
    if (pos < format.size() && format[pos] == u'l') {
        ++pos;
    }
    if (pos == format.size()) {
        return false;
    }
    directive.conversion = format[pos++];
    switch (directive.conversion) {
    case u's':
    case u'd':
    case u'i':
    case u'u':
    case u'x':
    case u'X':
    case u'c':
        return true;
    case u'%':
        return directive.width == 0 && !directive.leftAlign && !directive.zeroPad;
    default:
        return false;
    }
}

constexpr ArgKind KindWanted(char16_t conversion) {
    return conversion == u's' ? ArgKind::Text : ArgKind::Integer;
}

template <class T>
constexpr bool kIsText = std::is_same_v<T, const char16_t*> || std::is_same_v<T, char16_t*> ||
                         std::is_same_v<T, std::u16string> || std::is_same_v<T, std::u16string_view>;

template <class T> constexpr bool kIsInteger = std::is_integral_v<T> && !std::is_same_v<T, bool>;

template <class T> consteval ArgKind KindOf() {
    static_assert(kIsText<T> || kIsInteger<T>,
                  "a format argument is an integer or a UTF-16 text (WCHAR pointer, u16string)");
    return kIsText<T> ? ArgKind::Text : ArgKind::Integer;
}

// Called only when a format does not match its arguments: it is not constexpr, so the
// compiler reports this name at the offending call.
void FormatDoesNotMatchArguments();

template <class... Args> consteval void CheckFormat(std::u16string_view format) {
    constexpr std::array<ArgKind, sizeof...(Args)> kinds{KindOf<std::decay_t<Args>>()...};
    std::size_t next = 0;
    for (std::size_t pos = 0; pos < format.size();) {
        if (format[pos] != u'%') {
            ++pos;
            continue;
        }
        Directive directive;
        if (!ParseDirective(format, pos, directive)) {
            FormatDoesNotMatchArguments();
        }
        if (directive.conversion == u'%') {
            continue;
        }
        if (next == kinds.size() || kinds[next] != KindWanted(directive.conversion)) {
            FormatDoesNotMatchArguments();
        }
        ++next;
    }
    if (next != kinds.size()) {
        FormatDoesNotMatchArguments();
    }
}

inline FormatArg MakeArg(std::u16string_view text) {
    FormatArg arg;
    arg.kind = ArgKind::Text;
    arg.text = text;
    return arg;
}
inline FormatArg MakeArg(const char16_t* text) {
    FormatArg arg = MakeArg(std::u16string_view(text == nullptr ? u"" : text));
    arg.isNull = text == nullptr;
    return arg;
}

template <class T>
requires kIsInteger<T> FormatArg MakeArg(T value) {
    FormatArg arg;
    arg.bits = static_cast<ULONGLONG>(value);
    arg.isSigned = std::is_signed_v<T>;
    arg.isWide = sizeof(T) > 4;
    return arg;
}

// The engine behind FormatText and FormatString: -1 when the format is malformed, does not
// match the arguments, or the text (with its NUL) needs more than `capacity` characters.
int FormatInto(LPWSTR buffer, std::size_t capacity, std::u16string_view format,
               std::span<const FormatArg> args);
std::u16string FormatToString(std::u16string_view format, std::span<const FormatArg> args);

} // namespace format_detail

// A format checked at compile time against the argument types.
template <class... Args> class WideFormat {
public:
    consteval WideFormat(const char16_t* format) : m_format(format) {
        format_detail::CheckFormat<Args...>(m_format);
    }
    constexpr std::u16string_view Text() const { return m_format; }

private:
    std::u16string_view m_format;
};

// A format known only at run time; checked while it is used.
struct RuntimeFormat {
    std::u16string_view format;
};

// Formats into `buffer` of `capacity` characters. Returns the number of characters written
// (without the NUL), or -1 with an empty buffer and ERROR_INSUFFICIENT_BUFFER when the text does
// not fit; never writes past the capacity.
template <class... Args>
int FormatText(LPWSTR buffer, std::size_t capacity, WideFormat<std::type_identity_t<Args>...> format,
               const Args&... args) {
    const std::array<format_detail::FormatArg, sizeof...(Args)> packed{format_detail::MakeArg(args)...};
    return format_detail::FormatInto(buffer, capacity, format.Text(), packed);
}

// As above for a run-time format; a format that does not match the arguments also gives -1
// (last error ERROR_INVALID_PARAMETER).
template <class... Args>
int FormatText(LPWSTR buffer, std::size_t capacity, RuntimeFormat format, const Args&... args) {
    const std::array<format_detail::FormatArg, sizeof...(Args)> packed{format_detail::MakeArg(args)...};
    return format_detail::FormatInto(buffer, capacity, format.format, packed);
}

// Formats into a new string; the checked format cannot fail.
template <class... Args>
std::u16string FormatString(WideFormat<std::type_identity_t<Args>...> format, const Args&... args) {
    const std::array<format_detail::FormatArg, sizeof...(Args)> packed{format_detail::MakeArg(args)...};
    return format_detail::FormatToString(format.Text(), packed);
}

} // namespace platform
