#include "platform/WideFormat.h"

#include "platform/LastError.h"
#include "platform/WinError.h"

namespace platform::format_detail {
namespace {

// Collects the output, either into a buffer of fixed capacity or into a growing string.
class Sink {
public:
    explicit Sink(std::u16string& text) : m_text(&text) {}
    Sink(LPWSTR buffer, std::size_t capacity) : m_buffer(buffer), m_capacity(capacity) {}

    void Put(std::u16string_view piece) {
        if (m_text != nullptr) {
            m_text->append(piece);
            return;
        }
        // One character of the capacity is kept for the terminating NUL.
        if (m_overflow || m_capacity == 0 || piece.size() > m_capacity - 1 - m_length) {
            m_overflow = true;
            return;
        }
        piece.copy(m_buffer + m_length, piece.size());
        m_length += piece.size();
    }
    void Pad(char16_t fill, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            Put(std::u16string_view(&fill, 1));
        }
    }
    bool Overflowed() const { return m_overflow; }
    std::size_t Length() const { return m_length; }

private:
    std::u16string* m_text = nullptr;
    LPWSTR m_buffer = nullptr;
    std::size_t m_capacity = 0;
    std::size_t m_length = 0;
    bool m_overflow = false;
};

// The digits of an integer argument as the conversion reads it, with a leading '-' for a
// negative value.
std::u16string Digits(const FormatArg& arg, char16_t conversion) {
    const bool asSigned = conversion == u'd' || conversion == u'i';
    ULONGLONG magnitude = arg.isWide ? arg.bits : static_cast<DWORD>(arg.bits);
    bool negative = false;
    if (asSigned) {
        const LONGLONG value =
            arg.isWide ? static_cast<LONGLONG>(arg.bits) : static_cast<LONG>(static_cast<DWORD>(arg.bits));
        negative = value < 0;
        magnitude = negative ? 0 - static_cast<ULONGLONG>(value) : static_cast<ULONGLONG>(value);
    }
    const unsigned base = (conversion == u'x' || conversion == u'X') ? 16 : 10;
    const char16_t* digitSet = conversion == u'X' ? u"0123456789ABCDEF" : u"0123456789abcdef";
    std::u16string digits;
    do {
        digits.insert(digits.begin(), digitSet[magnitude % base]);
        magnitude /= base;
    } while (magnitude != 0);
    if (negative) {
        digits.insert(digits.begin(), u'-');
    }
    return digits;
}

void PutPadded(Sink& sink, const Directive& directive, std::u16string_view body, bool numeric) {
    const std::size_t padding = directive.width > body.size() ? directive.width - body.size() : 0;
    if (directive.leftAlign) {
        sink.Put(body);
        sink.Pad(u' ', padding);
    } else if (directive.zeroPad && numeric) {
        // The sign stays in front of the zeros: -0042.
        if (!body.empty() && body.front() == u'-') {
            sink.Put(body.substr(0, 1));
            body.remove_prefix(1);
        }
        sink.Pad(u'0', padding);
        sink.Put(body);
    } else {
        sink.Pad(u' ', padding);
        sink.Put(body);
    }
}

bool Format(Sink& sink, std::u16string_view format, std::span<const FormatArg> args) {
    std::size_t next = 0;
    std::size_t pos = 0;
    while (pos < format.size()) {
        const std::size_t percent = format.find(u'%', pos);
        sink.Put(format.substr(pos, percent - pos));
        if (percent == std::u16string_view::npos) {
            break;
        }
        pos = percent;
        Directive directive;
        if (!ParseDirective(format, pos, directive)) {
            return false;
        }
        if (directive.conversion == u'%') {
            sink.Put(u"%");
            continue;
        }
        if (next == args.size() || args[next].kind != KindWanted(directive.conversion)) {
            return false;
        }
        const FormatArg& arg = args[next++];
        if (directive.conversion == u's') {
            PutPadded(sink, directive, arg.isNull ? u"(null)" : arg.text, false);
        } else if (directive.conversion == u'c') {
            const auto character = static_cast<char16_t>(arg.bits);
            PutPadded(sink, directive, std::u16string_view(&character, 1), false);
        } else {
            PutPadded(sink, directive, Digits(arg, directive.conversion), true);
        }
    }
    return next == args.size();
}

} // namespace

void FormatDoesNotMatchArguments() {}

int FormatInto(LPWSTR buffer, std::size_t capacity, std::u16string_view format,
               std::span<const FormatArg> args) {
    if (buffer == nullptr) {
        capacity = 0;
    }
    Sink sink(buffer, capacity);
    const bool wellFormed = Format(sink, format, args);
    if (!wellFormed || sink.Overflowed() || capacity == 0) {
        if (capacity > 0) {
            buffer[0] = 0;
        }
        SetLastError(wellFormed ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_PARAMETER);
        return -1;
    }
    buffer[sink.Length()] = 0;
    return static_cast<int>(sink.Length());
}

std::u16string FormatToString(std::u16string_view format, std::span<const FormatArg> args) {
    std::u16string text;
    Sink sink(text);
    Format(sink, format, args);
    return text;
}

} // namespace platform::format_detail
