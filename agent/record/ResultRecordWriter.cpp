#include "agent/record/ResultRecordWriter.h"

#include "platform/WideFormat.h"
#include "platform/WideString.h"

#include <algorithm>

namespace resultrecord {

namespace {

constexpr WCHAR kSeparatorInValue = u'\u00A6';
constexpr WCHAR kBlank = u' ';

WCHAR ValueCharacter(WCHAR c) {
    if (c == kSeparator) {
        return kSeparatorInValue;
    }
    return c == 0 ? kBlank : c;
}

WCHAR RevisionCharacter(CHAR c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == 0) {
        return kBlank;
    }
    return byte >= 0x20 && byte < 0x7F ? ValueCharacter(static_cast<WCHAR>(byte)) : u'?';
}

} // namespace

ResultRecordWriter::ResultRecordWriter(WCHAR* buffer, std::size_t capacity)
    : m_buffer(buffer), m_capacity(buffer == nullptr ? 0 : capacity) {
    if (m_capacity == 0) {
        return;
    }
    m_length = platform::BoundedLength(m_buffer, m_capacity);
    if (m_length == m_capacity) {
        --m_length;
    }
    std::fill(m_buffer + m_length, m_buffer + m_capacity, WCHAR{0});
}

void ResultRecordWriter::Clear() {
    std::fill(m_buffer, m_buffer + m_length, WCHAR{0});
    m_length = 0;
    m_dropped = false;
}

bool ResultRecordWriter::BeginItem(std::u16string_view token) {
    m_pending = m_length;
    m_fits = !m_dropped && !token.empty();
    for (WCHAR c : token) {
        PutRaw(c);
    }
    if (!m_fits) {
        return EndItem();
    }
    return true;
}

bool ResultRecordWriter::EndItem() {
    if (m_fits) {
        m_length = m_pending;
    } else {
        // Take back what the item had written; the characters after the record stay NUL.
        std::fill(m_buffer + m_length, m_buffer + m_pending, WCHAR{0});
        m_dropped = true;
    }
    return m_fits;
}

void ResultRecordWriter::PutRaw(WCHAR c) {
    // One place is always kept for the terminating NUL.
    if (!m_fits || m_pending + 1 >= m_capacity) {
        m_fits = false;
        return;
    }
    m_buffer[m_pending++] = c;
}

void ResultRecordWriter::Put(std::u16string_view text) {
    for (WCHAR c : text) {
        PutRaw(ValueCharacter(c));
    }
}

void ResultRecordWriter::Put(DriveLetter drive) {
    WCHAR text[4];
    const int length = platform::FormatText(text, std::size(text), u"%c:", drive.letter);
    PutFormatted(text, length);
}

void ResultRecordWriter::Put(Version version) {
    WCHAR text[32];
    const int length = platform::FormatText(text, std::size(text), u"%d.%d", version.major, version.minor);
    PutFormatted(text, length);
}

void ResultRecordWriter::Put(const FirmwareRevision& revision) {
    for (CHAR c : revision.field) {
        PutRaw(RevisionCharacter(c));
    }
}

void ResultRecordWriter::PutNumber(long long number) {
    WCHAR digits[24];
    const int length = platform::FormatText(digits, std::size(digits), u"%d", number);
    PutFormatted(digits, length);
}

void ResultRecordWriter::PutFormatted(const WCHAR* text, int length) {
    if (length < 0) {
        m_fits = false;
        return;
    }
    Put(std::u16string_view(text, static_cast<std::size_t>(length)));
}

} // namespace resultrecord
