#pragma once
// Reading a ResultRecord: the console searches the reply buffer for token keys
// (agent/include/ResultRecordTokens.h) and never builds an index of it.
//
// Every operation takes the buffer and its length in characters and never looks at a
// character at or beyond that length, NUL or no NUL. The buffer is mutable: each search first
// turns every carriage return (13) within the length into NUL in place, so that the text
// becomes a sequence of NUL-separated lines; a key is found only inside one line.
#include "agent/include/ResultRecordTokens.h"
#include "platform/WinTypes.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace resultrecord {

// The most characters a value keeps after its leading blank.
inline constexpr std::size_t kMaxValueLength = 98;

// Marks the end of a value that was longer than kMaxValueLength (it takes the last place).
inline constexpr WCHAR kValueCutMark = u'\u2026';

// Searches the lines in order from the start for the first line containing key and returns
// the key's offset from `text`, or none. An empty key is never found; a key that would run past
// `length` is not found.
std::optional<std::size_t> FindInLines(WCHAR* text, std::size_t length, std::u16string_view key);

// Presence of a key: FindInLines finds it.
bool ContainsKey(WCHAR* text, std::size_t length, std::u16string_view key);

// The value of key's first occurrence: one blank, then the characters after the key up to,
// not including, the next "|" or the end of `length`, NULs left out (a value runs on across a
// line end until a "|" comes). At most kMaxValueLength characters follow the blank; a longer
// value keeps its first kMaxValueLength - 1 characters and ends with kValueCutMark, so that
// the cut shows in the report. An absent key gives the empty string, which differs from every
// present value (those start with the blank).
std::u16string ExtractTokenValue(WCHAR* text, std::size_t length, std::u16string_view key);

// A count written after key ("NSDRV|", "NDRV|", "NUMSHRDRV|"): the decimal digits at the start
// of its value, leading blanks skipped. An absent key, a value that does not start with a digit
// (a negative number included) and a number larger than `length` count 0: a text cannot
// describe more elements than it has characters, and a reader that loops over an announced
// count must not be sent round billions of times by a damaged reply.
int ReadCount(WCHAR* text, std::size_t length, std::u16string_view key);

} // namespace resultrecord
