#pragma once
// The file side of a computer's server service: files reached through its shares
// (\\COMPUTER\SHARE\path). A copy arrives in pieces into a hidden temporary file beside its
// destination and replaces the destination only when complete, so that an interrupted copy
// never leaves half a program behind. Callers are checked as the shares demand: anonymous
// callers reach nothing, the hidden administrative shares ("$") only administrators.
#include "ntsim/node/LogonAuthority.h"
#include "ntsim/node/ShareStore.h"
#include "platform/NtPath.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <mutex>
#include <string>
#include <vector>

namespace ntsim::node {

class FileService {
public:
    static constexpr std::uint64_t kMaxFileBytes = 1ull << 30;
    static constexpr std::size_t kMaxOpenTransfers = 32;
    static constexpr DWORD kTransferIdleLimit = 300000; // program milliseconds

    FileService(const ShareStore& shares, platform::DriveMap drives);

    // The Linux path of `path` (components below the share). ERROR_BAD_NET_NAME for a share
    // that does not exist or holds no files, ERROR_ACCESS_DENIED for a caller the share refuses.
    DWORD Resolve(const Caller& caller, std::u16string_view share, const std::vector<std::u16string>& path,
                  std::filesystem::path& out) const;

    // Starts a copy to `path`. ERROR_PATH_NOT_FOUND when its folder does not exist,
    // ERROR_FILE_EXISTS when `failIfExists` and the file exists, ERROR_ACCESS_DENIED when it
    // names a folder.
    DWORD BeginWrite(const Caller& caller, std::u16string_view share, const std::vector<std::u16string>& path,
                     bool failIfExists, bool executable, std::uint64_t& transfer);
    // The next piece, at `offset` = the bytes written so far (ERROR_INVALID_PARAMETER else);
    // ERROR_DISK_FULL beyond kMaxFileBytes; ERROR_INVALID_HANDLE for an unknown transfer.
    DWORD Write(std::uint64_t transfer, std::uint64_t offset, std::span<const std::uint8_t> bytes);
    // Puts the copy in place (`commit`) or throws it away.
    DWORD End(std::uint64_t transfer, bool commit);

    // Up to `maxBytes` from `offset`; `size` is the file's whole size.
    DWORD Read(const Caller& caller, std::u16string_view share, const std::vector<std::u16string>& path,
               std::uint64_t offset, std::uint32_t maxBytes, std::vector<std::uint8_t>& bytes, std::uint64_t& size,
               bool& executable) const;

    // ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED for a folder.
    DWORD Delete(const Caller& caller, std::u16string_view share, const std::vector<std::u16string>& path);

private:
    struct Transfer {
        std::filesystem::path temporary;
        std::filesystem::path destination;
        bool failIfExists = false;
        bool executable = false;
        std::uint64_t written = 0;
        DWORD lastUsed = 0;
    };

    // Resolve, for a file that exists: ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED for a folder.
    DWORD ResolveFile(const Caller& caller, std::u16string_view share, const std::vector<std::u16string>& path,
                      std::filesystem::path& out) const;
    void DropIdleTransfers(); // with m_mutex held

    const ShareStore& m_shares;
    platform::DriveMap m_drives;
    std::mutex m_mutex;
    std::map<std::uint64_t, Transfer> m_transfers;
};

} // namespace ntsim::node
