#include "platform/FormatMessage.h"

#include "platform/LastError.h"
#include "platform/WideFormat.h"
#include "platform/WinError.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

namespace {

struct SystemMessage {
    DWORD number;
    const char* text;
};

constexpr SystemMessage kSystemMessages[] = {
#define TARN_ERROR(name, number, text) {number, text},
#include "platform/ErrorTable.inc"
#undef TARN_ERROR
};

constexpr DWORD kSupportedFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                  FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY;

std::optional<std::u16string> SystemText(DWORD messageId) {
    for (const SystemMessage& message : kSystemMessages) {
        if (message.number == messageId) {
            // The table is ASCII; every character widens to itself.
            const std::string_view text(message.text);
            return std::u16string(text.begin(), text.end());
        }
    }
    return std::nullopt;
}

// One insert %n[!fmt!] starting at text[pos] (the first digit); pos moves past it.
std::optional<std::u16string> ExpandInsert(std::u16string_view text, std::size_t& pos,
                                           const DWORD_PTR* arguments) {
    std::size_t number = text[pos++] - u'0';
    if (pos < text.size() && platform::format_detail::IsDigit(text[pos])) {
        number = number * 10 + (text[pos++] - u'0');
    }
    std::u16string conversion = u"%s";
    if (pos < text.size() && text[pos] == u'!') {
        const std::size_t close = text.find(u'!', pos + 1);
        if (close == std::u16string_view::npos) {
            return std::nullopt;
        }
        conversion = u"%";
        conversion.append(text.substr(pos + 1, close - pos - 1));
        pos = close + 1;
    }
    std::size_t parsed = 0;
    platform::format_detail::Directive directive;
    if (arguments == nullptr || !platform::format_detail::ParseDirective(conversion, parsed, directive) ||
        parsed != conversion.size() || directive.conversion == u'%') {
        return std::nullopt;
    }
    const DWORD_PTR value = arguments[number - 1];
    platform::format_detail::FormatArg arg;
    if (directive.conversion == u's') {
        arg = platform::format_detail::MakeArg(reinterpret_cast<const WCHAR*>(value));
    } else {
        arg = platform::format_detail::MakeArg(value);
    }
    return platform::format_detail::FormatToString(conversion, std::span(&arg, 1));
}

// The message with its inserts and escapes replaced; none when an insert cannot be filled.
std::optional<std::u16string> ExpandInserts(std::u16string_view text, const DWORD_PTR* arguments) {
    std::u16string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char16_t c = text[pos++];
        if (c != u'%' || pos == text.size()) {
            out.push_back(c);
            continue;
        }
        const char16_t escape = text[pos];
        if (escape == u'0') {
            return out;
        }
        if (escape >= u'1' && escape <= u'9') {
            const std::optional<std::u16string> insert = ExpandInsert(text, pos, arguments);
            if (!insert) {
                return std::nullopt;
            }
            out.append(*insert);
            continue;
        }
        ++pos;
        switch (escape) {
        case u'n':
            out.append(u"\r\n");
            break;
        case u'r':
            out.push_back(u'\r');
            break;
        case u't':
            out.push_back(u'\t');
            break;
        default: // %%, %space, %., %! and any other character stand for themselves
            out.push_back(escape);
            break;
        }
    }
    out.append(u"\r\n");
    return out;
}

DWORD Fail(DWORD flags, LPWSTR buffer, DWORD error) {
    if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0 && buffer != nullptr) {
        *reinterpret_cast<LPWSTR*>(buffer) = nullptr;
    }
    SetLastError(error);
    return 0;
}

} // namespace

DWORD FormatMessageW(DWORD flags, LPCVOID /*source*/, DWORD messageId, DWORD /*languageId*/, LPWSTR buffer,
                     DWORD size, const DWORD_PTR* arguments) {
    if ((flags & ~kSupportedFlags) != 0 || (flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || buffer == nullptr ||
        (arguments != nullptr && (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) == 0)) {
        return Fail(flags, buffer, ERROR_INVALID_PARAMETER);
    }
    const std::optional<std::u16string> stored = SystemText(messageId);
    if (!stored) {
        return Fail(flags, buffer, ERROR_MR_MID_NOT_FOUND);
    }
    const std::optional<std::u16string> text =
        (flags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0 ? *stored + u"\r\n" : ExpandInserts(*stored, arguments);
    if (!text) {
        return Fail(flags, buffer, ERROR_INVALID_PARAMETER);
    }
    const std::size_t needed = text->size() + 1;
    LPWSTR target = buffer;
    if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
        const std::size_t characters = std::max<std::size_t>(needed, size);
        target = static_cast<LPWSTR>(LocalAlloc(LMEM_FIXED, characters * sizeof(WCHAR)));
        if (target == nullptr) {
            return Fail(flags, buffer, ERROR_NOT_ENOUGH_MEMORY);
        }
        *reinterpret_cast<LPWSTR*>(buffer) = target;
    } else if (size < needed) {
        return Fail(flags, buffer, ERROR_INSUFFICIENT_BUFFER);
    }
    text->copy(target, text->size());
    target[text->size()] = 0;
    return static_cast<DWORD>(text->size());
}
