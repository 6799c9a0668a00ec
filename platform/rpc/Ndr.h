#pragma once
// NDR stub data, little-endian: the body of one request or reply as a sequence of 32-bit
// integers, pointer referents, conformant (varying) arrays of wide characters and of bytes.
// Every 32-bit integer starts at a multiple of 4 counted from the start of the body; the
// writer pads with zero bytes, the reader skips the padding.
//
// The reader trusts nothing it reads: every count is checked against a limit and against the
// bytes that remain before anything is read or allocated, and a failed check returns
// RPC_X_BAD_STUB_DATA instead of reading past the end.
#include "platform/WinTypes.h"
#include "platform/rpc/PduBytes.h"
#include "platform/rpc/RpcInterface.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace rpc {

// The largest element count the reader accepts for any array or string (1 Mi elements); a
// larger count is bad stub data even when the body could hold it.
inline constexpr std::uint32_t kNdrMaxElementCount = 1u << 20;

// The referent the writer gives the first non-null pointer of a body; later ones count up in
// steps of 4. A reader accepts any non-zero referent.
inline constexpr std::uint32_t kNdrFirstReferent = 0x00020000;

// Wide characters as they stand in a body: little-endian code units, not necessarily aligned
// for WCHAR, so they are read through this view rather than a WCHAR pointer.
class NdrWideChars {
public:
    NdrWideChars() = default;
    explicit NdrWideChars(ByteView bytes) : m_bytes(bytes) {}

    std::size_t size() const { return m_bytes.size() / sizeof(WCHAR); }
    bool empty() const { return m_bytes.empty(); }
    WCHAR operator[](std::size_t index) const;
    // Copies all size() characters to `out`, which holds at least size() characters.
    void CopyTo(WCHAR* out) const;
    // True when one of the characters is NUL.
    bool ContainsNul() const;

private:
    ByteView m_bytes;
};

class NdrWriter {
public:
    // Appends to `body`, whose first byte is the start of the stub data.
    explicit NdrWriter(Bytes& body) : m_out(body) {}

    void WriteLong(std::uint32_t value);
    void WriteLong(LONG value) { WriteLong(static_cast<std::uint32_t>(value)); }
    // A unique or full pointer's referent: 0 for null, else the next referent of this body.
    void WriteReferent(bool present);
    // Conformant varying string: maximum count, offset 0, actual count (both text.size() + 1),
    // the characters and a terminating NUL.
    void WriteString(std::u16string_view text);
    // Conformant arrays: maximum count (the number of elements), then every element.
    void WriteArray(std::span<const WCHAR> chars);
    void WriteArray(std::span<const BYTE> bytes);

private:
    void AppendChars(std::span<const WCHAR> chars);

    pdu::ByteWriter m_out;
    std::uint32_t m_nextReferent = kNdrFirstReferent;
};

class NdrReader {
public:
    explicit NdrReader(ByteView body) : m_in(body) {}

    RPC_STATUS ReadLong(std::uint32_t& value);
    RPC_STATUS ReadLong(LONG& value);
    // A pointer's referent: `present` is false for 0.
    RPC_STATUS ReadReferent(bool& present);
    // Conformant varying string: offset 0, actual count between 1 and the maximum count, the
    // last character NUL. `text` views the characters including the NUL.
    RPC_STATUS ReadString(NdrWideChars& text);
    // Conformant arrays: the maximum count, then that many elements.
    RPC_STATUS ReadArray(NdrWideChars& chars);
    RPC_STATUS ReadArray(ByteView& bytes);
    // Succeeds when nothing but alignment padding (fewer than 8 bytes) is left.
    RPC_STATUS Finish() const;

private:
    // Reads a count and checks that `count` elements of `elementSize` bytes follow.
    RPC_STATUS ReadCount(std::size_t elementSize, std::uint32_t& count);

    pdu::ByteReader m_in;
};

} // namespace rpc
