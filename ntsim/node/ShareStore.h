#pragma once
// The shares of a computer's server service. The administrative shares (ADMIN$, IPC$ and one
// "X$" a fixed drive) are made afresh at every start, as the server service does; the shares the
// profile names and those added since are kept in the computer's state folder.
#include "platform/WinTypes.h"

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace ntsim::node {

struct Share {
    std::u16string name;
    DWORD type = 0;
    std::u16string remark;
    DWORD permissions = 0;
    DWORD maxUses = 0xFFFFFFFF;
    DWORD currentUses = 0;
    std::u16string path; // NT path on the computer ("" for IPC$)
    std::u16string password;
    bool persistent = true; // false for the administrative shares of this start
};

class ShareStore {
public:
    using FolderCheck = std::function<bool(const std::u16string& ntPath)>;

    // `administrative`: this start's administrative shares. `initial`: the shares of a first
    // start (the profile's), saved at once; later starts read `file`. `folderExists` tells
    // whether a disk share's path names an existing folder.
    ShareStore(std::filesystem::path file, std::vector<Share> administrative, const std::vector<Share>& initial,
               FolderCheck folderExists);

    // NERR_NetNameNotFound for a name without a share.
    DWORD Get(std::u16string_view name, Share& out) const;

    // ERROR_INVALID_PARAMETER with the field's number in `parmError`, NERR_DuplicateShare,
    // NERR_UnknownDevDir, ERROR_CANTWRITE when the change cannot be saved.
    DWORD Add(Share share, DWORD& parmError);

    DWORD Delete(std::u16string_view name);

    std::vector<Share> List() const;

private:
    bool Save(const std::vector<Share>& shares) const;

    std::filesystem::path m_file;
    FolderCheck m_folderExists;
    mutable std::mutex m_mutex;
    std::vector<Share> m_shares;
};

} // namespace ntsim::node
