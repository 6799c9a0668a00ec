#include "ntsim/node/RegistryStore.h"

#include "ntsim/lab/TomlText.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/lab/TableReader.h"

namespace ntsim::node {
namespace {

using lab::TomlQuote;

void SerializeKey(const RegistryKey& key, const std::u16string& path, std::string& out) {
    out += "[[key]]\npath = " + TomlQuote(platform::ToUtf8(path)) + "\n";
    for (const RegistryValue& value : key.values) {
        out += "[[key.value]]\nname = " + TomlQuote(platform::ToUtf8(value.name)) +
               "\ntype = " + std::to_string(value.type) + "\ndata = \"" + lab::ToHex(value.data) + "\"\n";
    }
    out += "\n";
    for (const RegistryKey& child : key.subkeys) {
        SerializeKey(child, path.empty() ? child.name : path + u"\\" + child.name, out);
    }
}

bool IsStorableName(std::u16string_view name) { return platform::Utf16ToUtf8(name).has_value(); }

} // namespace

std::string SerializeRegistry(const RegistryTree& tree) {
    std::string out = "# HKEY_LOCAL_MACHINE of this computer, kept by its ntnode; 'ntlab reset' starts it afresh.\n\n";
    SerializeKey(tree.Root(), u"", out);
    return out;
}

RegistryTree ParseRegistryFile(const std::filesystem::path& file) {
    toml::table document = platform::lab::ParseTomlFile(file);
    platform::lab::TableReader root(document, file.string(), "");
    RegistryTree tree;
    for (platform::lab::TableReader& keyReader : root.OptionalTableArray("key")) {
        std::u16string path = platform::ToUtf16(keyReader.RequireString("path"));
        bool created = false;
        if (!path.empty() && tree.CreateKey(path, created) != ERROR_SUCCESS) {
            keyReader.FailAt("path", "expected a registry key path");
        }
        for (platform::lab::TableReader& valueReader : keyReader.OptionalTableArray("value")) {
            std::u16string name = platform::ToUtf16(valueReader.RequireString("name"));
            DWORD type = static_cast<DWORD>(valueReader.RequireInteger("type", 0, 0xFFFFFFFF));
            std::vector<std::uint8_t> data;
            if (!lab::ParseHex(valueReader.RequireString("data"), data)) {
                valueReader.FailAt("data", "expected hexadecimal bytes");
            }
            if (tree.SetValue(path, name, type, std::move(data)) != ERROR_SUCCESS) {
                valueReader.FailAt("data", "expected a value the registry can hold");
            }
            valueReader.Finish();
        }
        keyReader.Finish();
    }
    root.Finish();
    return tree;
}

RegistryStore::RegistryStore(std::filesystem::path file, const std::function<RegistryTree()>& build)
    : m_file(std::move(file)) {
    std::error_code error;
    if (std::filesystem::exists(m_file, error)) {
        m_tree = ParseRegistryFile(m_file);
        return;
    }
    m_tree = build();
    std::string message;
    if (!lab::ReplaceFile(m_file, SerializeRegistry(m_tree), message)) {
        throw platform::lab::LabFileError(m_file.string(), 0, "", "cannot be written: " + message);
    }
}

DWORD RegistryStore::CheckKey(std::u16string_view path) const {
    std::lock_guard lock(m_mutex);
    return m_tree.CheckKey(path);
}

DWORD RegistryStore::QueryValue(std::u16string_view path, std::u16string_view name, RegistryValue& out) const {
    std::lock_guard lock(m_mutex);
    return m_tree.QueryValue(path, name, out);
}

DWORD RegistryStore::Change(const std::function<DWORD(RegistryTree&)>& change) {
    std::lock_guard lock(m_mutex);
    RegistryTree changed = m_tree;
    DWORD status = change(changed);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    std::string message;
    if (!lab::ReplaceFile(m_file, SerializeRegistry(changed), message)) {
        return ERROR_CANTWRITE;
    }
    m_tree = std::move(changed);
    return ERROR_SUCCESS;
}

DWORD RegistryStore::CreateKey(std::u16string_view path, bool& created) {
    created = false;
    if (!IsStorableName(path)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (CheckKey(path) == ERROR_SUCCESS) {
        return ERROR_SUCCESS; // opening an existing key changes nothing
    }
    return Change([&](RegistryTree& tree) { return tree.CreateKey(path, created); });
}

DWORD RegistryStore::SetValue(std::u16string_view path, std::u16string_view name, DWORD type,
                              std::vector<std::uint8_t> data) {
    if (!IsStorableName(name)) {
        return ERROR_INVALID_PARAMETER;
    }
    return Change([&](RegistryTree& tree) { return tree.SetValue(path, name, type, std::move(data)); });
}

DWORD RegistryStore::DeleteValue(std::u16string_view path, std::u16string_view name) {
    return Change([&](RegistryTree& tree) { return tree.DeleteValue(path, name); });
}

DWORD RegistryStore::DeleteKey(std::u16string_view path) {
    return Change([&](RegistryTree& tree) { return tree.DeleteKey(path); });
}

RegistryTree RegistryStore::Snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_tree;
}

} // namespace ntsim::node
