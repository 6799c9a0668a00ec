#include "platform/rpc/PduBytes.h"

#include "platform/rpc/Uuid.h"

namespace rpc::pdu {

void ByteWriter::U16(std::uint16_t value) {
    m_out.push_back(static_cast<std::uint8_t>(value));
    m_out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void ByteWriter::U32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        m_out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void ByteWriter::Uuid(const GUID& uuid) {
    std::uint8_t wire[16];
    WriteUuid(uuid, wire);
    Append(wire);
}

void ByteWriter::Syntax(const RPC_SYNTAX_IDENTIFIER& syntax) {
    Uuid(syntax.SyntaxGUID);
    U16(syntax.SyntaxVersion.MajorVersion);
    U16(syntax.SyntaxVersion.MinorVersion);
}

void ByteWriter::PadTo(std::size_t alignment) {
    while (m_out.size() % alignment != 0) {
        m_out.push_back(0);
    }
}

void ByteWriter::PatchU16(std::size_t offset, std::uint16_t value) {
    m_out.at(offset) = static_cast<std::uint8_t>(value);
    m_out.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

bool ByteReader::Fits(std::size_t count) {
    if (m_ok && count > m_data.size() - m_offset) {
        m_ok = false;
    }
    return m_ok;
}

std::uint8_t ByteReader::U8() {
    if (!Fits(1)) {
        return 0;
    }
    return m_data[m_offset++];
}

std::uint16_t ByteReader::U16() {
    if (!Fits(2)) {
        return 0;
    }
    std::uint16_t a = m_data[m_offset];
    std::uint16_t b = m_data[m_offset + 1];
    m_offset += 2;
    return static_cast<std::uint16_t>(m_bigEndian ? (a << 8 | b) : (b << 8 | a));
}

std::uint32_t ByteReader::U32() {
    if (!Fits(4)) {
        return 0;
    }
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        std::uint32_t byte = m_data[m_offset + static_cast<std::size_t>(i)];
        value |= byte << (8 * (m_bigEndian ? 3 - i : i));
    }
    m_offset += 4;
    return value;
}

GUID ByteReader::Uuid() {
    // Field by field, so that a big-endian sender's Data1..Data3 are converted as well.
    GUID uuid{};
    uuid.Data1 = U32();
    uuid.Data2 = U16();
    uuid.Data3 = U16();
    for (BYTE& byte : uuid.Data4) {
        byte = U8();
    }
    return uuid;
}

RPC_SYNTAX_IDENTIFIER ByteReader::Syntax() {
    RPC_SYNTAX_IDENTIFIER syntax{};
    syntax.SyntaxGUID = Uuid();
    syntax.SyntaxVersion.MajorVersion = U16();
    syntax.SyntaxVersion.MinorVersion = U16();
    return syntax;
}

ByteView ByteReader::Take(std::size_t count) {
    if (!Fits(count)) {
        return {};
    }
    ByteView part = m_data.subspan(m_offset, count);
    m_offset += count;
    return part;
}

void ByteReader::AlignTo(std::size_t alignment, std::size_t origin) {
    std::size_t misalignment = (origin + m_offset) % alignment;
    if (misalignment != 0) {
        Skip(alignment - misalignment);
    }
}

} // namespace rpc::pdu
