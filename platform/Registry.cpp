#include "platform/Registry.h"

#include "platform/NodeConnection.h"
#include "platform/ObjectTable.h"
#include "platform/RegistryProtocol.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"

#include <cstring>

namespace {

namespace regwire = platform::regwire;

// What a key handle stands for: a key path on a computer ("" for this one), opened with rights.
struct OpenKey {
    std::u16string computer;
    bool remote = false; // reached by RegConnectRegistryW with a computer name
    std::u16string path;
    REGSAM access = 0;
};

platform::ObjectTable<OpenKey>& Keys() {
    static auto* keys = new platform::ObjectTable<OpenKey>;
    return *keys;
}

const RPC_CLIENT_INTERFACE& RegistryInterface() {
    static const RPC_CLIENT_INTERFACE clientInterface = platform::lab::ClientInterface(regwire::kInterfaceId);
    return clientInterface;
}

LSTATUS Resolve(HKEY key, OpenKey& out) {
    if (key == HKEY_LOCAL_MACHINE) {
        out = OpenKey{u"", false, u"", KEY_ALL_ACCESS};
        return ERROR_SUCCESS;
    }
    std::shared_ptr<OpenKey> found = Keys().Find(key);
    if (!found) {
        return ERROR_INVALID_HANDLE; // the other predefined roots are not simulated
    }
    out = *found;
    return ERROR_SUCCESS;
}

std::u16string Join(const std::u16string& path, LPCWSTR subKey) {
    std::u16string_view sub = platform::WideView(subKey);
    if (path.empty()) {
        return std::u16string(sub);
    }
    return sub.empty() ? path : path + u"\\" + std::u16string(sub);
}

HKEY NewHandle(OpenKey key) { return static_cast<HKEY>(Keys().Insert(std::make_shared<OpenKey>(std::move(key)))); }

// A computer that cannot be reached: the network path of another computer is not found; this
// computer's own registry is not answering.
LSTATUS Unreachable(const OpenKey& key) { return key.remote ? ERROR_BAD_NETPATH : RPC_S_SERVER_UNAVAILABLE; }

// A handle's key when the handle grants `needed`; ERROR_ACCESS_DENIED when it does not.
LSTATUS ResolveWithRights(HKEY key, REGSAM needed, OpenKey& out) {
    LSTATUS status = Resolve(key, out);
    if (status == ERROR_SUCCESS && (out.access & needed) != needed) {
        status = ERROR_ACCESS_DENIED;
    }
    return status;
}

template <class Request, class Reply>
LSTATUS CallRegistry(const OpenKey& key, std::uint32_t opnum, Request& request, Reply& reply) {
    DWORD status = platform::lab::CallAsThisProcess(key.computer, RegistryInterface(), opnum, request, reply);
    if (status != ERROR_SUCCESS) {
        return platform::lab::IsUnreachable(status) ? Unreachable(key) : static_cast<LSTATUS>(status);
    }
    return static_cast<LSTATUS>(reply.status);
}

LSTATUS CallOnKey(const OpenKey& key, std::uint32_t opnum, const std::u16string& path, REGSAM access) {
    regwire::KeyRequest request;
    request.path = path;
    request.access = access;
    platform::wire::StatusReply reply;
    return CallRegistry(key, opnum, request, reply);
}

} // namespace

LSTATUS RegConnectRegistryW(LPCWSTR machineName, HKEY key, PHKEY result) {
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    if (key != HKEY_LOCAL_MACHINE) {
        return ERROR_INVALID_HANDLE;
    }
    std::u16string_view machine = platform::WideView(machineName);
    OpenKey root{std::u16string(machine), !machine.empty(), u"", KEY_ALL_ACCESS};
    LSTATUS status = CallOnKey(root, regwire::kConnect, u"", 0);
    if (status == ERROR_SUCCESS) {
        *result = NewHandle(std::move(root));
    }
    return status;
}

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result) {
    if (result == nullptr || options != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    OpenKey parent;
    LSTATUS status = Resolve(key, parent);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    OpenKey opened{parent.computer, parent.remote, Join(parent.path, subKey), desired};
    status = CallOnKey(opened, regwire::kOpenKey, opened.path, desired);
    if (status == ERROR_SUCCESS) {
        *result = NewHandle(std::move(opened));
    }
    return status;
}

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR, DWORD options, REGSAM desired,
                        SECURITY_ATTRIBUTES*, PHKEY result, LPDWORD disposition) {
    if (result == nullptr || subKey == nullptr || reserved != 0 || options != REG_OPTION_NON_VOLATILE) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    OpenKey parent;
    LSTATUS status = ResolveWithRights(key, KEY_CREATE_SUB_KEY, parent);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    OpenKey created{parent.computer, parent.remote, Join(parent.path, subKey), desired};
    regwire::KeyRequest request;
    request.path = created.path;
    request.access = desired;
    regwire::CreateKeyReply reply;
    status = CallRegistry(created, regwire::kCreateKey, request, reply);
    if (status == ERROR_SUCCESS) {
        if (disposition != nullptr) {
            *disposition = reply.disposition;
        }
        *result = NewHandle(std::move(created));
    }
    return status;
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD sizeBytes) {
    if (reserved != nullptr || (data != nullptr && sizeBytes == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    OpenKey open;
    LSTATUS status = ResolveWithRights(key, KEY_QUERY_VALUE, open);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    regwire::QueryValueRequest request;
    request.path = open.path;
    request.name = platform::WideView(valueName);
    request.wantData = data != nullptr;
    request.capacity = sizeBytes != nullptr ? *sizeBytes : 0;
    regwire::QueryValueReply reply;
    status = CallRegistry(open, regwire::kQueryValue, request, reply);
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) {
        return status;
    }
    if (status == ERROR_SUCCESS && data != nullptr) {
        if (reply.data.size() != reply.size || reply.size > *sizeBytes) {
            return RPC_X_BAD_STUB_DATA; // the computer answered something other than it said
        }
        std::memcpy(data, reply.data.data(), reply.data.size());
    }
    if (type != nullptr) {
        *type = reply.type;
    }
    if (sizeBytes != nullptr) {
        *sizeBytes = reply.size;
    }
    return status;
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD sizeBytes) {
    if (reserved != 0 || (data == nullptr && sizeBytes != 0)) {
        return ERROR_INVALID_PARAMETER;
    }
    OpenKey open;
    LSTATUS status = ResolveWithRights(key, KEY_SET_VALUE, open);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    regwire::SetValueRequest request;
    request.path = open.path;
    request.name = platform::WideView(valueName);
    request.type = type;
    request.data.assign(data, data + sizeBytes);
    platform::wire::StatusReply reply;
    return CallRegistry(open, regwire::kSetValue, request, reply);
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    OpenKey open;
    LSTATUS status = ResolveWithRights(key, KEY_SET_VALUE, open);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    regwire::ValueRequest request;
    request.path = open.path;
    request.name = platform::WideView(valueName);
    platform::wire::StatusReply reply;
    return CallRegistry(open, regwire::kDeleteValue, request, reply);
}

LSTATUS RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
    if (subKey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    OpenKey open;
    LSTATUS status = Resolve(key, open);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return CallOnKey(open, regwire::kDeleteKey, Join(open.path, subKey), 0);
}

LSTATUS RegCloseKey(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) {
        return ERROR_SUCCESS;
    }
    return Keys().Remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
