#include "platform/rpc/Ndr.h"

#include "platform/WinError.h"

#include <bit>
#include <cstring>

namespace rpc {

WCHAR NdrWideChars::operator[](std::size_t index) const {
    return static_cast<WCHAR>(m_bytes[index * 2] | m_bytes[index * 2 + 1] << 8);
}

void NdrWideChars::CopyTo(WCHAR* out) const {
    if constexpr (std::endian::native == std::endian::little) {
        if (!m_bytes.empty()) {
            std::memcpy(out, m_bytes.data(), m_bytes.size());
        }
    } else {
        for (std::size_t i = 0; i < size(); ++i) {
            out[i] = (*this)[i];
        }
    }
}

bool NdrWideChars::ContainsNul() const {
    for (std::size_t i = 0; i < size(); ++i) {
        if ((*this)[i] == 0) {
            return true;
        }
    }
    return false;
}

void NdrWriter::WriteLong(std::uint32_t value) {
    m_out.PadTo(4);
    m_out.U32(value);
}

void NdrWriter::WriteReferent(bool present) {
    if (!present) {
        WriteLong(std::uint32_t{0});
        return;
    }
    WriteLong(m_nextReferent);
    m_nextReferent += 4;
}

void NdrWriter::AppendChars(std::span<const WCHAR> chars) {
    if constexpr (std::endian::native == std::endian::little) {
        if (!chars.empty()) {
            m_out.Append(ByteView(reinterpret_cast<const std::uint8_t*>(chars.data()), chars.size_bytes()));
        }
    } else {
        for (WCHAR c : chars) {
            m_out.U16(c);
        }
    }
}

void NdrWriter::WriteString(std::u16string_view text) {
    auto count = static_cast<std::uint32_t>(text.size() + 1);
    WriteLong(count);
    WriteLong(std::uint32_t{0});
    WriteLong(count);
    AppendChars(text);
    m_out.U16(0);
}

void NdrWriter::WriteArray(std::span<const WCHAR> chars) {
    WriteLong(static_cast<std::uint32_t>(chars.size()));
    AppendChars(chars);
}

void NdrWriter::WriteArray(std::span<const BYTE> bytes) {
    WriteLong(static_cast<std::uint32_t>(bytes.size()));
    m_out.Append(bytes);
}

RPC_STATUS NdrReader::ReadLong(std::uint32_t& value) {
    m_in.AlignTo(4);
    value = m_in.U32();
    return m_in.Ok() ? RPC_S_OK : RPC_X_BAD_STUB_DATA;
}

RPC_STATUS NdrReader::ReadLong(LONG& value) {
    std::uint32_t raw = 0;
    RPC_STATUS status = ReadLong(raw);
    value = static_cast<LONG>(raw);
    return status;
}

RPC_STATUS NdrReader::ReadReferent(bool& present) {
    std::uint32_t referent = 0;
    RPC_STATUS status = ReadLong(referent);
    present = referent != 0;
    return status;
}

RPC_STATUS NdrReader::ReadCount(std::size_t elementSize, std::uint32_t& count) {
    if (RPC_STATUS status = ReadLong(count); status != RPC_S_OK) {
        return status;
    }
    if (count > kNdrMaxElementCount || count > m_in.Remaining() / elementSize) {
        return RPC_X_BAD_STUB_DATA;
    }
    return RPC_S_OK;
}

RPC_STATUS NdrReader::ReadString(NdrWideChars& text) {
    std::uint32_t maximum = 0;
    std::uint32_t offset = 0;
    std::uint32_t actual = 0;
    if (RPC_STATUS status = ReadLong(maximum); status != RPC_S_OK) {
        return status;
    }
    if (RPC_STATUS status = ReadLong(offset); status != RPC_S_OK) {
        return status;
    }
    if (RPC_STATUS status = ReadCount(sizeof(WCHAR), actual); status != RPC_S_OK) {
        return status;
    }
    if (maximum > kNdrMaxElementCount || offset != 0 || actual == 0 || actual > maximum) {
        return RPC_X_BAD_STUB_DATA;
    }
    NdrWideChars chars(m_in.Take(actual * sizeof(WCHAR)));
    if (chars[actual - 1] != 0) {
        return RPC_X_BAD_STUB_DATA;
    }
    text = chars;
    return RPC_S_OK;
}

RPC_STATUS NdrReader::ReadArray(NdrWideChars& chars) {
    std::uint32_t count = 0;
    if (RPC_STATUS status = ReadCount(sizeof(WCHAR), count); status != RPC_S_OK) {
        return status;
    }
    chars = NdrWideChars(m_in.Take(count * sizeof(WCHAR)));
    return RPC_S_OK;
}

RPC_STATUS NdrReader::ReadArray(ByteView& bytes) {
    std::uint32_t count = 0;
    if (RPC_STATUS status = ReadCount(1, count); status != RPC_S_OK) {
        return status;
    }
    bytes = m_in.Take(count);
    return RPC_S_OK;
}

RPC_STATUS NdrReader::Finish() const {
    return m_in.Remaining() < 8 ? RPC_S_OK : RPC_X_BAD_STUB_DATA;
}

} // namespace rpc
