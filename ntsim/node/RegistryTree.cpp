#include "ntsim/node/RegistryTree.h"

#include "platform/AsciiCase.h"
#include "platform/WinError.h"

#include <algorithm>

namespace ntsim::node {
namespace {

template <typename Key>
Key* FindChild(Key& key, std::u16string_view name) {
    for (auto& child : key.subkeys) {
        if (platform::EqualsIgnoreCase(child.name, name)) {
            return &child;
        }
    }
    return nullptr;
}

template <typename Key>
auto FindValue(Key& key, std::u16string_view name) {
    return std::find_if(key.values.begin(), key.values.end(),
                        [&](const RegistryValue& value) { return platform::EqualsIgnoreCase(value.name, name); });
}

} // namespace

DWORD SplitRegistryPath(std::u16string_view path, std::vector<std::u16string_view>& names) {
    names.clear();
    if (path.empty()) {
        return ERROR_SUCCESS;
    }
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(u'\\', start);
        if (end == std::u16string_view::npos) {
            end = path.size();
        }
        if (end == start) {
            if (end == path.size() && !names.empty()) {
                break; // one trailing backslash is accepted
            }
            return ERROR_BAD_PATHNAME;
        }
        if (end - start > kMaxRegistryKeyName) {
            return ERROR_INVALID_PARAMETER;
        }
        names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

const RegistryKey* RegistryTree::FindKey(std::u16string_view path) const {
    return const_cast<RegistryTree*>(this)->FindMutable(path);
}

RegistryKey* RegistryTree::FindMutable(std::u16string_view path) {
    std::vector<std::u16string_view> names;
    if (SplitRegistryPath(path, names) != ERROR_SUCCESS) {
        return nullptr;
    }
    RegistryKey* key = &m_root;
    for (std::u16string_view name : names) {
        key = FindChild(*key, name);
        if (key == nullptr) {
            return nullptr;
        }
    }
    return key;
}

DWORD RegistryTree::CheckKey(std::u16string_view path) const {
    std::vector<std::u16string_view> names;
    DWORD status = SplitRegistryPath(path, names);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return FindKey(path) != nullptr ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

DWORD RegistryTree::CreateKey(std::u16string_view path, bool& created) {
    std::vector<std::u16string_view> names;
    DWORD status = SplitRegistryPath(path, names);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    created = false;
    RegistryKey* key = &m_root;
    for (std::u16string_view name : names) {
        RegistryKey* child = FindChild(*key, name);
        if (child == nullptr) {
            key->subkeys.push_back(RegistryKey{std::u16string(name), {}, {}});
            child = &key->subkeys.back();
            created = true;
        }
        key = child;
    }
    return ERROR_SUCCESS;
}

DWORD RegistryTree::QueryValue(std::u16string_view path, std::u16string_view name, RegistryValue& out) const {
    const RegistryKey* key = FindKey(path);
    if (key == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    auto value = FindValue(*key, name);
    if (value == key->values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    out = *value;
    return ERROR_SUCCESS;
}

DWORD RegistryTree::SetValue(std::u16string_view path, std::u16string_view name, DWORD type,
                             std::vector<std::uint8_t> data) {
    if (name.size() > kMaxRegistryValueName || data.size() > kMaxRegistryValueBytes) {
        return ERROR_INVALID_PARAMETER;
    }
    RegistryKey* key = FindMutable(path);
    if (key == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    auto value = FindValue(*key, name);
    if (value == key->values.end()) {
        key->values.push_back(RegistryValue{std::u16string(name), type, std::move(data)});
    } else {
        value->type = type;
        value->data = std::move(data);
    }
    return ERROR_SUCCESS;
}

DWORD RegistryTree::DeleteValue(std::u16string_view path, std::u16string_view name) {
    RegistryKey* key = FindMutable(path);
    if (key == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    auto value = FindValue(*key, name);
    if (value == key->values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    key->values.erase(value);
    return ERROR_SUCCESS;
}

DWORD RegistryTree::DeleteKey(std::u16string_view path) {
    std::vector<std::u16string_view> names;
    DWORD status = SplitRegistryPath(path, names);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (names.empty()) {
        return ERROR_ACCESS_DENIED;
    }
    RegistryKey* parent = &m_root;
    for (std::size_t i = 0; i + 1 < names.size(); ++i) {
        parent = FindChild(*parent, names[i]);
        if (parent == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
    }
    auto child = std::find_if(parent->subkeys.begin(), parent->subkeys.end(), [&](const RegistryKey& key) {
        return platform::EqualsIgnoreCase(key.name, names.back());
    });
    if (child == parent->subkeys.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (!child->subkeys.empty()) {
        return ERROR_ACCESS_DENIED;
    }
    parent->subkeys.erase(child);
    return ERROR_SUCCESS;
}

} // namespace ntsim::node
