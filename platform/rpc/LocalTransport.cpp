// "ncalrpc": endpoints are Unix-domain sockets in the computer's folder (VTARN_COMPUTER_DIR,
// sub-folder "rpc"), or in a private runtime folder of the user when the process belongs to no
// computer. Endpoint names are plain names (letters, digits, '.', '_', '-'), never paths.
#include "platform/LabEnvironment.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/rpc/SocketTransports.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>

namespace rpc {
namespace {

constexpr std::size_t kMaxEndpointLength = 64;

std::optional<std::string> EndpointName(std::u16string_view endpoint) {
    if (endpoint.empty() || endpoint.size() > kMaxEndpointLength || endpoint[0] == u'.') {
        return std::nullopt;
    }
    std::string name;
    for (char16_t c : endpoint) {
        bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                     c == u'.' || c == u'_' || c == u'-';
        if (!plain) {
            return std::nullopt;
        }
        name.push_back(static_cast<char>(c));
    }
    return name;
}

// The folder of this computer's local endpoints, created when missing; nullopt when it cannot be
// made or (in the shared temporary folder) is not a private folder of this user.
std::optional<std::filesystem::path> EndpointFolder() {
    std::filesystem::path folder;
    std::optional<std::filesystem::path> computerFolder = platform::lab::ComputerFolder();
    std::optional<std::string> runtimeDir = platform::lab::EnvironmentValue("XDG_RUNTIME_DIR");
    if (computerFolder) {
        folder = *computerFolder / "rpc";
    } else if (runtimeDir) {
        folder = std::filesystem::path(*runtimeDir) / "tarn-rpc";
    } else {
        folder = std::filesystem::temp_directory_path() / ("tarn-rpc-" + std::to_string(::getuid()));
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
        return std::nullopt;
    }
    if (!computerFolder) {
        ::chmod(folder.c_str(), 0700);
    }
    return folder;
}

// The socket address of `name`; false when the path does not fit sun_path.
bool SocketAddress(const std::filesystem::path& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    const std::string& text = path.native();
    if (text.size() >= sizeof address.sun_path) {
        return false;
    }
    text.copy(address.sun_path, text.size());
    return true;
}

std::string NewEndpointName() {
    static constexpr char kHex[] = "0123456789abcdef";
    std::random_device random;
    std::string name = "LRPC-";
    for (int i = 0; i < 16; ++i) {
        name.push_back(kHex[random() % 16]);
    }
    return name;
}

// Socket files of this process's listeners; removed when a listener closes or the process exits.
class SocketFiles {
public:
    static SocketFiles& Instance() {
        static SocketFiles* files = new SocketFiles; // used from an exit handler: never destroyed
        return *files;
    }
    void Add(const std::string& path) {
        std::lock_guard lock(m_mutex);
        if (!m_exitHandlerInstalled) {
            std::atexit([] { Instance().RemoveAll(); });
            m_exitHandlerInstalled = true;
        }
        m_paths.insert(path);
    }
    void Remove(const std::string& path) {
        std::lock_guard lock(m_mutex);
        if (m_paths.erase(path) > 0) {
            ::unlink(path.c_str());
        }
    }

private:
    void RemoveAll() {
        std::lock_guard lock(m_mutex);
        for (const std::string& path : m_paths) {
            ::unlink(path.c_str());
        }
        m_paths.clear();
    }

    std::mutex m_mutex;
    std::set<std::string> m_paths;
    bool m_exitHandlerInstalled = false;
};

int NewSocket() {
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

// Whether a server answers at `address` (a socket file left by a process that died does not).
bool Answers(const sockaddr_un& address) {
    int fd = NewSocket();
    return fd >= 0 &&
           ConnectSocket(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == RPC_S_OK &&
           ::close(fd) == 0;
}

class LocalTransport final : public Transport {
public:
    RPC_STATUS Listen(std::u16string_view endpoint, std::unique_ptr<Listener>& listener) override {
        std::optional<std::string> name = endpoint.empty() ? NewEndpointName() : EndpointName(endpoint);
        if (!name) {
            return RPC_S_INVALID_ENDPOINT_FORMAT;
        }
        auto folder = EndpointFolder();
        sockaddr_un address;
        if (!folder || !SocketAddress(*folder / *name, address)) {
            return RPC_S_CANT_CREATE_ENDPOINT;
        }
        int fd = NewSocket();
        if (fd < 0) {
            return RPC_S_CANT_CREATE_ENDPOINT;
        }
        const sockaddr* socketAddress = reinterpret_cast<const sockaddr*>(&address);
        int bound = ::bind(fd, socketAddress, sizeof address);
        if (bound != 0 && errno == EADDRINUSE && !Answers(address)) {
            ::unlink(address.sun_path);
            bound = ::bind(fd, socketAddress, sizeof address);
        }
        if (bound != 0) {
            RPC_STATUS status = errno == EADDRINUSE ? RPC_S_DUPLICATE_ENDPOINT : RPC_S_CANT_CREATE_ENDPOINT;
            ::close(fd);
            return status;
        }
        if (::listen(fd, SOMAXCONN) != 0) {
            ::close(fd);
            ::unlink(address.sun_path);
            return RPC_S_CANT_CREATE_ENDPOINT;
        }
        std::string path = address.sun_path;
        SocketFiles::Instance().Add(path);
        listener = MakeSocketListener(fd, u"", platform::Utf8ToUtf16(*name).value_or(u""),
                                      [path] { SocketFiles::Instance().Remove(path); });
        return RPC_S_OK;
    }

    RPC_STATUS Connect(std::u16string_view, std::u16string_view endpoint, const ClientCredentials&,
                       std::unique_ptr<Connection>& connection) override {
        auto name = EndpointName(endpoint);
        if (!name) {
            return RPC_S_INVALID_ENDPOINT_FORMAT;
        }
        auto folder = EndpointFolder();
        sockaddr_un address;
        if (!folder || !SocketAddress(*folder / *name, address)) {
            return RPC_S_SERVER_UNAVAILABLE;
        }
        int fd = NewSocket();
        if (fd < 0) {
            return RPC_S_OUT_OF_RESOURCES;
        }
        RPC_STATUS status = ConnectSocket(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        if (status == RPC_S_OK) {
            connection = MakeSocketConnection(fd, std::nullopt);
        }
        return status;
    }
};

} // namespace

std::shared_ptr<Transport> MakeLocalTransport() {
    return std::make_shared<LocalTransport>();
}

} // namespace rpc
