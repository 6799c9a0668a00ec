#pragma once
// A ResultRecord token or console key held by value: a fixed word ("|TTP|") or a numbered one
// built from a word, a decimal index and usually a closing separator ("||TTASD" 3 "|").
// Numbered tokens are short; the capacity holds the longest word, any 32-bit index and "|".
#include "platform/WideFormat.h"
#include "platform/WinTypes.h"

#include <cstddef>
#include <iterator>
#include <string_view>

namespace resultrecord {

class RecordToken {
public:
    static constexpr std::size_t kCapacity = 40;

    // A fixed token; a word longer than the capacity gives the empty token, which the writer
    // refuses and the reader never finds.
    constexpr RecordToken(std::u16string_view word) { Add(word); }

    // word + decimal index ("%d") + suffix, e.g. Numbered(u"TAPSD", 3) is "TAPSD3|".
    static RecordToken Numbered(std::u16string_view word, int index, std::u16string_view suffix = u"|") {
        WCHAR digits[16];
        const int count = platform::FormatText(digits, std::size(digits), u"%d", index);
        if (count < 0 || word.size() + static_cast<std::size_t>(count) + suffix.size() > kCapacity) {
            return RecordToken(u"");
        }
        RecordToken token(word);
        token.Add(std::u16string_view(digits, static_cast<std::size_t>(count)));
        token.Add(suffix);
        return token;
    }

    constexpr std::u16string_view View() const { return {m_text, m_length}; }
    constexpr operator std::u16string_view() const { return View(); }
    constexpr bool Empty() const { return m_length == 0; }

    friend constexpr bool operator==(const RecordToken& a, const RecordToken& b) {
        return a.View() == b.View();
    }

private:
    // Appends text, or empties the token when it would not fit (never a cut token).
    constexpr void Add(std::u16string_view text) {
        if (text.size() > kCapacity - m_length) {
            m_length = 0;
            return;
        }
        for (WCHAR c : text) {
            m_text[m_length++] = c;
        }
    }

    WCHAR m_text[kCapacity]{};
    std::size_t m_length = 0;
};

} // namespace resultrecord
