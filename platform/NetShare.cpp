#include "platform/NetShare.h"

#include "platform/NetShareProtocol.h"
#include "platform/NodeConnection.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

namespace sharewire = platform::sharewire;

const RPC_CLIENT_INTERFACE& ShareInterface() {
    static const RPC_CLIENT_INTERFACE clientInterface = platform::lab::ClientInterface(sharewire::kInterfaceId);
    return clientInterface;
}

template <class Request, class Reply>
NET_API_STATUS CallServer(LPCWSTR server, std::uint32_t opnum, Request& request, Reply& reply) {
    DWORD status =
        platform::lab::CallAsThisProcess(platform::WideView(server), ShareInterface(), opnum, request, reply);
    if (status != ERROR_SUCCESS) {
        return platform::lab::IsUnreachable(status) ? ERROR_BAD_NETPATH : status;
    }
    return reply.status;
}

// One block holding a record and the texts it points to, as NetApiBufferFree frees it.
class RecordBlock {
public:
    RecordBlock(std::size_t recordSize, std::initializer_list<const std::u16string*> texts) : m_next(recordSize) {
        std::size_t size = recordSize;
        for (const std::u16string* text : texts) {
            size += (text->size() + 1) * sizeof(WCHAR);
        }
        m_block = static_cast<BYTE*>(std::calloc(1, size));
    }

    BYTE* Block() const { return m_block; }
    template <class Record>
    Record* As() const {
        return reinterpret_cast<Record*>(m_block);
    }

    // The next text's copy inside the block.
    LPWSTR Place(const std::u16string& text) {
        LPWSTR copy = reinterpret_cast<LPWSTR>(m_block + m_next);
        std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
        m_next += (text.size() + 1) * sizeof(WCHAR);
        return copy;
    }

private:
    BYTE* m_block = nullptr;
    std::size_t m_next;
};

BYTE* BuildRecord(DWORD level, const sharewire::ShareRecord& share) {
    switch (level) {
    case 0: {
        RecordBlock block(sizeof(SHARE_INFO_0), {&share.name});
        if (block.Block() != nullptr) {
            block.As<SHARE_INFO_0>()->shi0_netname = block.Place(share.name);
        }
        return block.Block();
    }
    case 1: {
        RecordBlock block(sizeof(SHARE_INFO_1), {&share.name, &share.remark});
        if (block.Block() != nullptr) {
            SHARE_INFO_1* info = block.As<SHARE_INFO_1>();
            info->shi1_netname = block.Place(share.name);
            info->shi1_type = share.type;
            info->shi1_remark = block.Place(share.remark);
        }
        return block.Block();
    }
    default: {
        RecordBlock block(sizeof(SHARE_INFO_2), {&share.name, &share.remark, &share.path, &share.password});
        if (block.Block() != nullptr) {
            SHARE_INFO_2* info = block.As<SHARE_INFO_2>();
            info->shi2_netname = block.Place(share.name);
            info->shi2_type = share.type;
            info->shi2_remark = block.Place(share.remark);
            info->shi2_permissions = share.permissions;
            info->shi2_max_uses = share.maxUses;
            info->shi2_current_uses = share.currentUses;
            info->shi2_path = block.Place(share.path);
            info->shi2_passwd = share.password.empty() ? nullptr : block.Place(share.password);
        }
        return block.Block();
    }
    }
}

} // namespace

NET_API_STATUS NetShareGetInfo(LPWSTR servername, LPWSTR netname, DWORD level, LPBYTE* bufptr) {
    if (bufptr == nullptr || netname == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *bufptr = nullptr;
    if (level > 2) {
        return ERROR_INVALID_LEVEL;
    }
    sharewire::NameRequest request;
    request.name = platform::WideView(netname);
    request.level = level;
    sharewire::ShareReply reply;
    NET_API_STATUS status = CallServer(servername, sharewire::kGetInfo, request, reply);
    if (status != NERR_Success) {
        return status;
    }
    *bufptr = BuildRecord(level, reply.share);
    return *bufptr != nullptr ? NERR_Success : ERROR_NOT_ENOUGH_MEMORY;
}

NET_API_STATUS NetShareAdd(LPWSTR servername, DWORD level, LPBYTE buf, LPDWORD parm_err) {
    if (level != 2) {
        return ERROR_INVALID_LEVEL;
    }
    if (buf == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const auto* info = reinterpret_cast<const SHARE_INFO_2*>(buf);
    sharewire::AddRequest request;
    request.share.name = platform::WideView(info->shi2_netname);
    request.share.type = info->shi2_type;
    request.share.remark = platform::WideView(info->shi2_remark);
    request.share.permissions = info->shi2_permissions;
    request.share.maxUses = info->shi2_max_uses;
    request.share.path = platform::WideView(info->shi2_path);
    request.share.password = platform::WideView(info->shi2_passwd);
    sharewire::AddReply reply;
    NET_API_STATUS status = CallServer(servername, sharewire::kAdd, request, reply);
    if (parm_err != nullptr && status == ERROR_INVALID_PARAMETER) {
        *parm_err = reply.parmError;
    }
    return status;
}

NET_API_STATUS NetShareDel(LPWSTR servername, LPWSTR netname, DWORD reserved) {
    if (netname == nullptr || reserved != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    sharewire::NameRequest request;
    request.name = platform::WideView(netname);
    platform::wire::StatusReply reply;
    return CallServer(servername, sharewire::kDelete, request, reply);
}

NET_API_STATUS NetApiBufferFree(LPVOID buffer) {
    std::free(buffer);
    return NERR_Success;
}
