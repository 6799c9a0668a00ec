#pragma once
// Bounded little-endian (or sender-order) byte access for PDU encoding and decoding.
//
// ByteReader never reads past the view it holds: a read that does not fit marks the reader
// failed, yields zeros, and every later read fails too, so a decoder checks Ok() once at the end
// of a record instead of after every field.
#include "platform/rpc/RpcInterface.h"

#include <cstddef>
#include <cstdint>

namespace rpc::pdu {

class ByteWriter {
public:
    explicit ByteWriter(Bytes& out) : m_out(out) {}

    void U8(std::uint8_t value) { m_out.push_back(value); }
    void U16(std::uint16_t value);
    void U32(std::uint32_t value);
    void Uuid(const GUID& uuid);
    void Syntax(const RPC_SYNTAX_IDENTIFIER& syntax);
    void Append(ByteView data) { m_out.insert(m_out.end(), data.begin(), data.end()); }
    // Zero bytes up to the next multiple of `alignment`, counted from the start of the output.
    void PadTo(std::size_t alignment);
    void PatchU16(std::size_t offset, std::uint16_t value);
    std::size_t Size() const { return m_out.size(); }

private:
    Bytes& m_out;
};

class ByteReader {
public:
    // `bigEndian` reads integers in the sender's order when its data representation says so.
    explicit ByteReader(ByteView data, bool bigEndian = false) : m_data(data), m_bigEndian(bigEndian) {}

    std::uint8_t U8();
    std::uint16_t U16();
    std::uint32_t U32();
    GUID Uuid();
    RPC_SYNTAX_IDENTIFIER Syntax();
    // The next `count` bytes as a view into the input (empty when they are not there).
    ByteView Take(std::size_t count);
    void Skip(std::size_t count) { Take(count); }
    // Skips to the next multiple of `alignment`, counted from `origin` bytes before the view's start.
    void AlignTo(std::size_t alignment, std::size_t origin = 0);

    bool Ok() const { return m_ok; }
    std::size_t Offset() const { return m_offset; }
    std::size_t Remaining() const { return m_ok ? m_data.size() - m_offset : 0; }

private:
    bool Fits(std::size_t count);

    ByteView m_data;
    std::size_t m_offset = 0;
    bool m_bigEndian;
    bool m_ok = true;
};

} // namespace rpc::pdu
