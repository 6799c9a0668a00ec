#include "platform/rpc/EndpointMap.h"

#include "platform/WinError.h"
#include "platform/rpc/Uuid.h"

namespace rpc::epmap {

void WriteText(NdrWriter& writer, std::u16string_view text) {
    writer.WriteString(text);
}

RPC_STATUS ReadText(NdrReader& reader, std::u16string& text) {
    NdrWideChars chars;
    RPC_STATUS status = reader.ReadString(chars);
    if (status != RPC_S_OK) {
        return status;
    }
    // The characters include the terminating NUL.
    if (chars.size() - 1 > kMaxTextLength) {
        return RPC_X_BAD_STUB_DATA;
    }
    text.resize(chars.size());
    chars.CopyTo(text.data());
    text.pop_back();
    return text.find(u'\0') == std::u16string::npos ? RPC_S_OK : RPC_X_BAD_STUB_DATA;
}

void WriteEntry(NdrWriter& writer, const Entry& entry) {
    BYTE uuid[16];
    WriteUuid(entry.interfaceId.SyntaxGUID, uuid);
    writer.WriteArray(std::span<const BYTE>(uuid));
    writer.WriteLong(std::uint32_t{entry.interfaceId.SyntaxVersion.MajorVersion});
    writer.WriteLong(std::uint32_t{entry.interfaceId.SyntaxVersion.MinorVersion});
    WriteText(writer, entry.protseq);
    WriteText(writer, entry.endpoint);
    WriteText(writer, entry.annotation);
    writer.WriteLong(entry.processId);
}

RPC_STATUS ReadEntry(NdrReader& reader, Entry& entry) {
    ByteView uuid;
    RPC_STATUS status = reader.ReadArray(uuid);
    if (status != RPC_S_OK) {
        return status;
    }
    if (uuid.size() != 16) {
        return RPC_X_BAD_STUB_DATA;
    }
    entry.interfaceId.SyntaxGUID = ReadUuid(uuid.first<16>());
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    if ((status = reader.ReadLong(major)) != RPC_S_OK || (status = reader.ReadLong(minor)) != RPC_S_OK) {
        return status;
    }
    if (major > 0xFFFF || minor > 0xFFFF) {
        return RPC_X_BAD_STUB_DATA;
    }
    entry.interfaceId.SyntaxVersion = {static_cast<USHORT>(major), static_cast<USHORT>(minor)};
    if ((status = ReadText(reader, entry.protseq)) != RPC_S_OK ||
        (status = ReadText(reader, entry.endpoint)) != RPC_S_OK ||
        (status = ReadText(reader, entry.annotation)) != RPC_S_OK) {
        return status;
    }
    return reader.ReadLong(entry.processId);
}

} // namespace rpc::epmap
