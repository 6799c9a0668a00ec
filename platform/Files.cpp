#include "platform/Files.h"

#include "platform/FilesProtocol.h"
#include "platform/LastError.h"
#include "platform/NodeConnection.h"
#include "platform/NtPath.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <memory>
#include <system_error>

namespace {

namespace fs = std::filesystem;
namespace filewire = platform::filewire;
using platform::NtPathParts;
using platform::lab::NodeConnection;

const RPC_CLIENT_INTERFACE& FileInterface() {
    static const RPC_CLIENT_INTERFACE clientInterface = platform::lab::ClientInterface(filewire::kInterfaceId);
    return clientInterface;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// A path of this computer's drives (or the host drive) as a Linux path.
DWORD LocalFile(std::u16string_view ntPath, NtPathParts& parts, fs::path& file) {
    DWORD status = platform::DriveMap::ForThisProcess().ResolveLocal(ntPath, parts, file);
    return status == ERROR_INVALID_DRIVE ? ERROR_PATH_NOT_FOUND : status;
}

DWORD FromTransport(DWORD status) { return platform::lab::IsUnreachable(status) ? ERROR_BAD_NETPATH : status; }

// The server of a UNC path, with this process's proof for it.
DWORD Connect(const NtPathParts& unc, NodeConnection& connection, platform::logon::Proof& proof) {
    DWORD status = connection.Open(unc.server);
    if (status == ERROR_SUCCESS) {
        status = static_cast<DWORD>(connection.Prove(proof));
    }
    return FromTransport(status);
}

// Where a copy's bytes come from: a local file or a file below another computer's share.
class Source {
public:
    virtual ~Source() = default;
    // The next piece (empty at the end).
    virtual DWORD Next(std::vector<std::uint8_t>& piece) = 0;
    bool Executable() const { return m_executable; }

protected:
    bool m_executable = false;
};

class LocalSource : public Source {
public:
    DWORD Open(const fs::path& file) {
        std::error_code error;
        fs::file_status status = fs::status(file, error);
        if (!fs::exists(status)) {
            return fs::is_directory(file.parent_path(), error) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
        }
        if (fs::is_directory(status)) {
            return ERROR_ACCESS_DENIED;
        }
        m_executable = (status.permissions() & fs::perms::owner_exec) != fs::perms::none;
        m_in.open(file, std::ios::binary);
        return m_in ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    }

    DWORD Next(std::vector<std::uint8_t>& piece) override {
        piece.resize(filewire::kChunkBytes);
        m_in.read(reinterpret_cast<char*>(piece.data()), static_cast<std::streamsize>(piece.size()));
        piece.resize(static_cast<std::size_t>(m_in.gcount()));
        return m_in.bad() ? ERROR_READ_FAULT : ERROR_SUCCESS;
    }

private:
    std::ifstream m_in;
};

class RemoteSource : public Source {
public:
    DWORD Open(const NtPathParts& unc) {
        m_request.share = unc.share;
        m_request.path = unc.components;
        m_request.maxBytes = filewire::kChunkBytes;
        DWORD status = Connect(unc, m_connection, m_request.proof);
        if (status == ERROR_SUCCESS) {
            status = Fetch(); // the first piece also tells whether the file is there and may be run
        }
        m_executable = m_reply.executable;
        return status;
    }

    DWORD Next(std::vector<std::uint8_t>& piece) override {
        if (!m_fetched) {
            if (m_request.offset >= m_reply.size) {
                piece.clear();
                return ERROR_SUCCESS;
            }
            // A challenge answers one call: each piece needs a fresh proof.
            DWORD status = FromTransport(static_cast<DWORD>(m_connection.Prove(m_request.proof)));
            if (status == ERROR_SUCCESS) {
                status = Fetch();
            }
            if (status != ERROR_SUCCESS) {
                return status;
            }
        }
        m_fetched = false;
        piece = std::move(m_reply.data);
        return ERROR_SUCCESS;
    }

private:
    DWORD Fetch() {
        DWORD status = FromTransport(
            static_cast<DWORD>(m_connection.Call(FileInterface(), filewire::kRead, m_request, m_reply)));
        if (status == ERROR_SUCCESS) {
            status = m_reply.status;
        }
        if (status == ERROR_SUCCESS && m_reply.data.empty() && m_request.offset < m_reply.size) {
            status = ERROR_READ_FAULT; // the file shrank while it was copied
        }
        if (status == ERROR_SUCCESS) {
            m_request.offset += m_reply.data.size();
            m_fetched = true;
        }
        return status;
    }

    NodeConnection m_connection;
    filewire::ReadRequest m_request;
    filewire::ReadReply m_reply;
    bool m_fetched = false; // m_reply holds a piece Next has not given out yet
};

// Where a copy's bytes go; nothing appears at the destination before Commit.
class Destination {
public:
    virtual ~Destination() = default;
    virtual DWORD Write(const std::vector<std::uint8_t>& piece) = 0;
    virtual DWORD Commit() = 0;
};

class LocalDestination : public Destination {
public:
    ~LocalDestination() override {
        if (!m_temporary.empty()) {
            std::error_code error;
            fs::remove(m_temporary, error);
        }
    }

    DWORD Open(const fs::path& file, bool failIfExists, bool executable) {
        std::error_code error;
        if (!fs::is_directory(file.parent_path(), error)) {
            return ERROR_PATH_NOT_FOUND;
        }
        if (fs::is_directory(file, error)) {
            return ERROR_ACCESS_DENIED;
        }
        if (failIfExists && fs::exists(fs::symlink_status(file, error))) {
            return ERROR_FILE_EXISTS;
        }
        m_file = file;
        m_failIfExists = failIfExists;
        m_executable = executable;
        m_temporary = file.parent_path() / (".~" + file.filename().string() + ".copy");
        m_out.open(m_temporary, std::ios::binary | std::ios::trunc);
        return m_out ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    }

    DWORD Write(const std::vector<std::uint8_t>& piece) override {
        m_out.write(reinterpret_cast<const char*>(piece.data()), static_cast<std::streamsize>(piece.size()));
        return m_out ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
    }

    DWORD Commit() override {
        m_out.close();
        std::error_code error;
        if (m_out.fail()) {
            return ERROR_WRITE_FAULT;
        }
        if (m_failIfExists && fs::exists(fs::symlink_status(m_file, error))) {
            return ERROR_FILE_EXISTS;
        }
        fs::permissions(m_temporary, m_executable ? fs::perms(0755) : fs::perms(0644), error);
        fs::rename(m_temporary, m_file, error);
        if (error) {
            return ERROR_ACCESS_DENIED;
        }
        m_temporary.clear();
        return ERROR_SUCCESS;
    }

private:
    fs::path m_file;
    fs::path m_temporary;
    bool m_failIfExists = false;
    bool m_executable = false;
    std::ofstream m_out;
};

class RemoteDestination : public Destination {
public:
    ~RemoteDestination() override {
        if (m_transfer != 0) {
            filewire::EndWriteRequest abandon{m_transfer, false};
            platform::wire::StatusReply ignored;
            m_connection.Call(FileInterface(), filewire::kEndWrite, abandon, ignored);
        }
    }

    DWORD Open(const NtPathParts& unc, bool failIfExists, bool executable) {
        filewire::BeginWriteRequest request;
        request.share = unc.share;
        request.path = unc.components;
        request.failIfExists = failIfExists;
        request.executable = executable;
        DWORD status = Connect(unc, m_connection, request.proof);
        filewire::BeginWriteReply reply;
        if (status == ERROR_SUCCESS) {
            status = FromTransport(static_cast<DWORD>(
                m_connection.Call(FileInterface(), filewire::kBeginWrite, request, reply)));
        }
        if (status == ERROR_SUCCESS && reply.status == ERROR_SUCCESS) {
            m_transfer = reply.transfer;
        }
        return status != ERROR_SUCCESS ? status : reply.status;
    }

    DWORD Write(const std::vector<std::uint8_t>& piece) override {
        filewire::WriteRequest request{m_transfer, m_offset, piece};
        return Finish(m_connection.Call(FileInterface(), filewire::kWrite, request, m_reply), piece.size());
    }

    DWORD Commit() override {
        filewire::EndWriteRequest request{m_transfer, true};
        DWORD status = Finish(m_connection.Call(FileInterface(), filewire::kEndWrite, request, m_reply), 0);
        m_transfer = 0; // ended, whatever the answer
        return status;
    }

private:
    DWORD Finish(RPC_STATUS call, std::size_t written) {
        DWORD status = FromTransport(static_cast<DWORD>(call));
        if (status == ERROR_SUCCESS) {
            status = m_reply.status;
        }
        if (status == ERROR_SUCCESS) {
            m_offset += written;
        }
        return status;
    }

    NodeConnection m_connection;
    std::uint64_t m_transfer = 0;
    std::uint64_t m_offset = 0;
    platform::wire::StatusReply m_reply;
};

DWORD OpenSource(std::u16string_view path, std::unique_ptr<Source>& source) {
    NtPathParts parts;
    fs::path file;
    if (DWORD status = LocalFile(path, parts, file); status != ERROR_SUCCESS) {
        return status;
    }
    DWORD status = ERROR_SUCCESS;
    if (parts.kind == NtPathParts::Kind::Unc) {
        auto remote = std::make_unique<RemoteSource>();
        status = remote->Open(parts);
        source = std::move(remote);
    } else {
        auto local = std::make_unique<LocalSource>();
        status = local->Open(file);
        source = std::move(local);
    }
    return status;
}

DWORD OpenDestination(std::u16string_view path, bool failIfExists, bool executable,
                      std::unique_ptr<Destination>& destination) {
    NtPathParts parts;
    fs::path file;
    DWORD status = LocalFile(path, parts, file);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (parts.kind == NtPathParts::Kind::Unc) {
        auto remote = std::make_unique<RemoteDestination>();
        status = remote->Open(parts, failIfExists, executable);
        destination = std::move(remote);
    } else if (parts.components.empty()) {
        status = ERROR_ACCESS_DENIED; // a drive's root is not a file
    } else {
        auto local = std::make_unique<LocalDestination>();
        status = local->Open(file, failIfExists, executable);
        destination = std::move(local);
    }
    return status;
}

std::atomic<UINT> g_errorMode{0};

} // namespace

BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists) {
    if (existingFileName == nullptr || newFileName == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::unique_ptr<Source> source;
    DWORD status = OpenSource(platform::WideView(existingFileName), source);
    std::unique_ptr<Destination> destination;
    if (status == ERROR_SUCCESS) {
        status = OpenDestination(platform::WideView(newFileName), failIfExists != FALSE, source->Executable(),
                                 destination);
    }
    std::vector<std::uint8_t> piece;
    while (status == ERROR_SUCCESS) {
        status = source->Next(piece);
        if (status != ERROR_SUCCESS || piece.empty()) {
            break;
        }
        status = destination->Write(piece);
    }
    if (status == ERROR_SUCCESS) {
        status = destination->Commit();
    }
    return status == ERROR_SUCCESS ? TRUE : Fail(status);
}

BOOL DeleteFileW(LPCWSTR fileName) {
    if (fileName == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    NtPathParts parts;
    fs::path file;
    DWORD status = LocalFile(platform::WideView(fileName), parts, file);
    if (status == ERROR_SUCCESS && parts.kind == NtPathParts::Kind::Unc) {
        filewire::PathRequest request;
        request.share = parts.share;
        request.path = parts.components;
        platform::wire::StatusReply reply;
        status = FromTransport(
            platform::lab::CallAsThisProcess(parts.server, FileInterface(), filewire::kDelete, request, reply));
        status = status != ERROR_SUCCESS ? status : reply.status;
    } else if (status == ERROR_SUCCESS) {
        std::error_code error;
        fs::file_status found = fs::symlink_status(file, error);
        if (!fs::exists(found)) {
            status = fs::is_directory(file.parent_path(), error) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
        } else if (fs::is_directory(found) || !fs::remove(file, error)) {
            status = ERROR_ACCESS_DENIED;
        }
    }
    return status == ERROR_SUCCESS ? TRUE : Fail(status);
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
    if (module != nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::error_code error;
    fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    std::u16string path = platform::DriveMap::ForThisProcess().ToNt(program);
    if (fileName == nullptr || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::size_t copied = std::min<std::size_t>(path.size(), size - 1);
    std::copy_n(path.begin(), copied, fileName);
    fileName[copied] = u'\0';
    if (copied < path.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(copied);
}

UINT SetErrorMode(UINT mode) { return g_errorMode.exchange(mode); }
