#pragma once
// The registry of one computer as data: a tree of keys, each with values of a type and bytes.
// Names keep the case they were created with and are found ignoring case. Paths are relative
// to the tree's root (HKEY_LOCAL_MACHINE), components separated by one backslash.
#include "platform/WinTypes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ntsim::node {

inline constexpr std::size_t kMaxRegistryKeyName = 255;
inline constexpr std::size_t kMaxRegistryValueName = 16383;
inline constexpr std::size_t kMaxRegistryValueBytes = 1024 * 1024;

struct RegistryValue {
    std::u16string name; // empty: the key's default value
    DWORD type = 0;
    std::vector<std::uint8_t> data;
};

struct RegistryKey {
    std::u16string name;
    std::vector<RegistryValue> values;
    std::vector<RegistryKey> subkeys;
};

class RegistryTree {
public:
    // ERROR_SUCCESS when the key exists; ERROR_FILE_NOT_FOUND; ERROR_BAD_PATHNAME for an empty
    // component; ERROR_INVALID_PARAMETER for a name longer than kMaxRegistryKeyName.
    DWORD CheckKey(std::u16string_view path) const;
    DWORD CreateKey(std::u16string_view path, bool& created);
    DWORD QueryValue(std::u16string_view path, std::u16string_view name, RegistryValue& out) const;
    DWORD SetValue(std::u16string_view path, std::u16string_view name, DWORD type, std::vector<std::uint8_t> data);
    DWORD DeleteValue(std::u16string_view path, std::u16string_view name);
    // A key with subkeys stays (ERROR_ACCESS_DENIED), as does the root.
    DWORD DeleteKey(std::u16string_view path);

    // The key at `path`, or nullptr.
    const RegistryKey* FindKey(std::u16string_view path) const;
    const RegistryKey& Root() const { return m_root; }

private:
    RegistryKey* FindMutable(std::u16string_view path);

    RegistryKey m_root;
};

// Splits a key path into its names; ERROR_SUCCESS or the error CheckKey describes.
DWORD SplitRegistryPath(std::u16string_view path, std::vector<std::u16string_view>& names);

} // namespace ntsim::node
