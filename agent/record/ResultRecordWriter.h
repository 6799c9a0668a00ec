#pragma once
// The agent's side of a ResultRecord: items appended in order to a reply buffer of known
// capacity. One call writes one item, a token followed by its value pieces, and the item is
// written whole or not at all, so that a record is never cut inside a token or a value:
//
//   writer.Append(token::kAdapterSlotPass, name, located, slot);   // "|MSP|" name ... slot
//   writer.AppendData(token::FirmwareRevision(n), FirmwareRevision{field}); // ... "|" rev "|"
//
// The writer never writes past the capacity and keeps the record NUL-terminated. The first
// item that does not fit is dropped and the writer remembers it (Dropped()); every later
// item is dropped too, so that what the record holds is always a complete prefix of what the
// agent meant to write and no reader takes a later verdict for the outcome of an earlier,
// missing test.
#include "agent/include/ResultRecordTokens.h"
#include "platform/WinTypes.h"

#include <array>
#include <concepts>
#include <cstddef>
#include <string_view>

namespace resultrecord {

// A drive letter, written with its colon ("%c:").
struct DriveLetter {
    WCHAR letter;
};

// A driver version, written as major "." minor ("%d.%d").
struct Version {
    int major;
    int minor;
};

// The four-character revision field of a device's inquiry data, in the device's single-byte
// characters. Printable ASCII is kept, a NUL pad byte becomes a blank, anything else '?'.
struct FirmwareRevision {
    std::array<CHAR, 4> field;
};

// Value pieces: texts, integers (decimal, "%d"), and the three kinds above. A "|" inside a
// text piece would end the value early and let the rest read as tokens, so it is written as
// U+00A6 (a broken bar); a NUL would end the record early and is written as a blank.
template <typename T>
concept RecordNumber =
    std::integral<T> && !std::same_as<T, bool> && !std::same_as<T, WCHAR> && !std::same_as<T, CHAR> &&
    !std::same_as<T, char8_t> && !std::same_as<T, char32_t> && !std::same_as<T, wchar_t>;

class ResultRecordWriter {
public:
    // Appends after the text the buffer already holds (a reply buffer may start with a blank)
    // and clears everything after that text up to the capacity, since readers search the whole
    // buffer. A buffer without a NUL within its capacity keeps capacity - 1 characters.
    ResultRecordWriter(WCHAR* buffer, std::size_t capacity);

    ResultRecordWriter(const ResultRecordWriter&) = delete;
    ResultRecordWriter& operator=(const ResultRecordWriter&) = delete;

    // token + value pieces. Returns whether the item was written.
    template <typename... Pieces> bool Append(std::u16string_view token, const Pieces&... value) {
        if (!BeginItem(token)) {
            return false;
        }
        (Put(value), ...);
        return EndItem();
    }

    // token + value pieces + the closing separator (data items and closed counts).
    template <typename... Pieces> bool AppendData(std::u16string_view token, const Pieces&... value) {
        if (!BeginItem(token)) {
            return false;
        }
        (Put(value), ...);
        PutRaw(kSeparator);
        return EndItem();
    }

    // Starts the record over with a leading heading at its very first character (procedure
    // 9's "TTD|"), clearing what the buffer held, and appends from there on.
    template <typename... Pieces> bool WriteLeading(std::u16string_view token, const Pieces&... value) {
        Clear();
        return Append(token, value...);
    }

    // Whether an item has been dropped for lack of room (or for an empty token).
    bool Dropped() const { return m_dropped; }

    std::size_t Length() const { return m_length; }
    std::u16string_view Text() const { return {m_buffer, m_length}; }

private:
    bool BeginItem(std::u16string_view token);
    bool EndItem();
    void Clear();

    void PutRaw(WCHAR c);
    void Put(std::u16string_view text);
    void Put(DriveLetter drive);
    void Put(Version version);
    void Put(const FirmwareRevision& revision);
    void PutNumber(long long number);
    void PutFormatted(const WCHAR* text, int length); // length -1: formatting failed
    template <RecordNumber T> void Put(T number) { PutNumber(static_cast<long long>(number)); }

    WCHAR* m_buffer;
    std::size_t m_capacity;
    std::size_t m_length = 0;  // committed characters
    std::size_t m_pending = 0; // end of the item being written
    bool m_fits = false;       // the item being written still fits
    bool m_dropped = false;
};

} // namespace resultrecord
