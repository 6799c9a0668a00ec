#include "ntsim/node/FileService.h"

#include "platform/Clock.h"
#include "platform/NetShare.h"
#include "platform/WinError.h"

#include <fstream>
#include <system_error>

namespace ntsim::node {
namespace {

namespace fs = std::filesystem;

bool IsSpecial(const Share& share) { return (share.type & STYPE_SPECIAL) != 0; }

DWORD FileStatus(const fs::path& file, bool& exists, bool& isFolder) {
    std::error_code error;
    fs::file_status status = fs::status(file, error);
    exists = fs::exists(status);
    isFolder = fs::is_directory(status);
    bool parentIsFolder = fs::is_directory(file.parent_path(), error);
    return parentIsFolder ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
}

} // namespace

FileService::FileService(const ShareStore& shares, platform::DriveMap drives)
    : m_shares(shares), m_drives(std::move(drives)) {}

DWORD FileService::Resolve(const Caller& caller, std::u16string_view shareName, const std::vector<std::u16string>& path,
                           fs::path& out) const {
    Share share;
    if (m_shares.Get(shareName, share) != NERR_Success || (share.type & 0xFF) != STYPE_DISKTREE) {
        return ERROR_BAD_NET_NAME;
    }
    if (caller.kind == Caller::Kind::Anonymous || (IsSpecial(share) && !caller.administrator)) {
        return ERROR_ACCESS_DENIED;
    }
    platform::NtPathParts parts;
    if (platform::ParseNtPath(share.path, parts) != ERROR_SUCCESS) {
        return ERROR_BAD_NET_NAME;
    }
    for (const std::u16string& component : path) {
        if (component.empty() || component == u"." || component == u".." ||
            component.find_first_of(u"\\/") != std::u16string::npos) {
            return ERROR_INVALID_NAME; // the caller sends normalised names; never climb out of the share
        }
        parts.components.push_back(component);
    }
    if (path.empty()) {
        return ERROR_ACCESS_DENIED; // the share's folder itself is not a file
    }
    DWORD status = m_drives.ToLinux(parts, out);
    return status == ERROR_INVALID_DRIVE ? ERROR_PATH_NOT_FOUND : status;
}

void FileService::DropIdleTransfers() {
    DWORD now = GetTickCount();
    for (auto it = m_transfers.begin(); it != m_transfers.end();) {
        if (now - it->second.lastUsed > kTransferIdleLimit) {
            std::error_code error;
            fs::remove(it->second.temporary, error);
            it = m_transfers.erase(it);
        } else {
            ++it;
        }
    }
}

DWORD FileService::BeginWrite(const Caller& caller, std::u16string_view share, const std::vector<std::u16string>& path,
                              bool failIfExists, bool executable, std::uint64_t& transfer) {
    fs::path destination;
    DWORD status = Resolve(caller, share, path, destination);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    bool exists = false, isFolder = false;
    status = FileStatus(destination, exists, isFolder);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (isFolder) {
        return ERROR_ACCESS_DENIED;
    }
    if (exists && failIfExists) {
        return ERROR_FILE_EXISTS;
    }
    std::lock_guard lock(m_mutex);
    DropIdleTransfers();
    if (m_transfers.size() >= kMaxOpenTransfers) {
        return ERROR_REQ_NOT_ACCEP;
    }
    std::uint64_t id = 0;
    do {
        platform::logon::RandomBytes(reinterpret_cast<std::uint8_t*>(&id), sizeof id);
    } while (id == 0 || m_transfers.contains(id));
    Transfer entry;
    entry.destination = destination;
    entry.temporary = destination.parent_path() / (".~" + destination.filename().string() + "." + std::to_string(id));
    entry.failIfExists = failIfExists;
    entry.executable = executable;
    entry.lastUsed = GetTickCount();
    std::ofstream create(entry.temporary, std::ios::binary | std::ios::trunc);
    if (!create) {
        return ERROR_ACCESS_DENIED;
    }
    m_transfers.emplace(id, std::move(entry));
    transfer = id;
    return ERROR_SUCCESS;
}

DWORD FileService::Write(std::uint64_t transfer, std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(m_mutex);
    auto found = m_transfers.find(transfer);
    if (found == m_transfers.end()) {
        return ERROR_INVALID_HANDLE;
    }
    Transfer& entry = found->second;
    if (offset != entry.written) {
        return ERROR_INVALID_PARAMETER;
    }
    if (entry.written + bytes.size() > kMaxFileBytes) {
        return ERROR_DISK_FULL;
    }
    std::ofstream out(entry.temporary, std::ios::binary | std::ios::app);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        return ERROR_WRITE_FAULT;
    }
    entry.written += bytes.size();
    entry.lastUsed = GetTickCount();
    return ERROR_SUCCESS;
}

DWORD FileService::End(std::uint64_t transfer, bool commit) {
    std::lock_guard lock(m_mutex);
    auto found = m_transfers.find(transfer);
    if (found == m_transfers.end()) {
        return ERROR_INVALID_HANDLE;
    }
    Transfer entry = std::move(found->second);
    m_transfers.erase(found);
    std::error_code error;
    if (!commit) {
        fs::remove(entry.temporary, error);
        return ERROR_SUCCESS;
    }
    if (entry.failIfExists && fs::exists(entry.destination, error)) {
        fs::remove(entry.temporary, error); // someone else put the file there meanwhile
        return ERROR_FILE_EXISTS;
    }
    fs::permissions(entry.temporary, entry.executable ? fs::perms(0755) : fs::perms(0644), error);
    fs::rename(entry.temporary, entry.destination, error);
    if (error) {
        fs::remove(entry.temporary, error);
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

DWORD FileService::ResolveFile(const Caller& caller, std::u16string_view share, const std::vector<std::u16string>& path,
                               fs::path& out) const {
    DWORD status = Resolve(caller, share, path, out);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    bool exists = false, isFolder = false;
    status = FileStatus(out, exists, isFolder);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (!exists) {
        return ERROR_FILE_NOT_FOUND;
    }
    return isFolder ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

DWORD FileService::Read(const Caller& caller, std::u16string_view share, const std::vector<std::u16string>& path,
                        std::uint64_t offset, std::uint32_t maxBytes, std::vector<std::uint8_t>& bytes,
                        std::uint64_t& size, bool& executable) const {
    fs::path file;
    DWORD status = ResolveFile(caller, share, path, file);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    std::error_code error;
    size = fs::file_size(file, error);
    executable = (fs::status(file, error).permissions() & fs::perms::owner_exec) != fs::perms::none;
    bytes.clear();
    if (offset >= size) {
        return ERROR_SUCCESS;
    }
    std::ifstream in(file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, size - offset)));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return in.bad() ? ERROR_READ_FAULT : ERROR_SUCCESS;
}

DWORD FileService::Delete(const Caller& caller, std::u16string_view share, const std::vector<std::u16string>& path) {
    fs::path file;
    DWORD status = ResolveFile(caller, share, path, file);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    std::error_code error;
    fs::remove(file, error);
    return error ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

} // namespace ntsim::node
