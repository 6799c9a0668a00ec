#pragma once
// A computer's registry as its ntnode keeps it: the tree, guarded for concurrent calls, saved to
// the computer's state folder after every change so that it survives a restart of ntnode.
#include "ntsim/node/RegistryTree.h"

#include <filesystem>
#include <functional>
#include <mutex>

namespace ntsim::node {

class RegistryStore {
public:
    // The saved tree when `file` exists (a damaged file throws LabFileError), else the tree
    // `build` makes, which is saved at once.
    RegistryStore(std::filesystem::path file, const std::function<RegistryTree()>& build);

    DWORD CheckKey(std::u16string_view path) const;
    DWORD QueryValue(std::u16string_view path, std::u16string_view name, RegistryValue& out) const;

    // Changes: ERROR_CANTWRITE when the change cannot be saved (the registry then stays as it was).
    DWORD CreateKey(std::u16string_view path, bool& created);
    DWORD SetValue(std::u16string_view path, std::u16string_view name, DWORD type, std::vector<std::uint8_t> data);
    DWORD DeleteValue(std::u16string_view path, std::u16string_view name);
    DWORD DeleteKey(std::u16string_view path);

    RegistryTree Snapshot() const;

private:
    DWORD Change(const std::function<DWORD(RegistryTree&)>& change);

    std::filesystem::path m_file;
    mutable std::mutex m_mutex;
    RegistryTree m_tree;
};

// The file form of a tree, and back (throws LabFileError naming `file` for a damaged one).
std::string SerializeRegistry(const RegistryTree& tree);
RegistryTree ParseRegistryFile(const std::filesystem::path& file);

} // namespace ntsim::node
