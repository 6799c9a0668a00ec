// "ncacn_ip_tcp": endpoints are TCP port numbers. A server listens on 127.0.0.1 unless
// VTARN_RPC_LISTEN_ADDRESS names another address (0.0.0.0 or :: for all interfaces). In a lab a
// client's network address may be a computer's name: the lab's name directory gives its host.
#include "platform/LabDirectory.h"
#include "platform/LabEnvironment.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/rpc/SocketTransports.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace rpc {
namespace {

constexpr const char* kListenAddressVariable = "VTARN_RPC_LISTEN_ADDRESS";
constexpr const char* kDefaultAddress = "127.0.0.1";

// A port number 1..65535 in decimal; nullopt for anything else.
std::optional<std::string> PortText(std::u16string_view endpoint) {
    if (endpoint.empty() || endpoint.size() > 5) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (char16_t c : endpoint) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - u'0');
    }
    if (value == 0 || value > 65535) {
        return std::nullopt;
    }
    return std::to_string(value);
}

// The host to connect to for `networkAddress`: the host of the lab's computer of that name, as
// a name service would answer, else the address itself.
std::optional<std::string> HostOf(std::u16string_view networkAddress) {
    if (networkAddress.empty()) {
        return kDefaultAddress;
    }
    platform::lab::ComputerAddress computer;
    if (platform::lab::FindComputer(networkAddress, computer) == ERROR_SUCCESS) {
        return computer.host;
    }
    return platform::Utf16ToUtf8(networkAddress);
}

struct AddressList {
    addrinfo* head = nullptr;
    ~AddressList() {
        if (head != nullptr) {
            ::freeaddrinfo(head);
        }
    }
};

std::u16string ListenerNetworkAddress(const std::string& listenAddress) {
    if (listenAddress == "0.0.0.0" || listenAddress == "::") {
        char host[256] = {};
        if (::gethostname(host, sizeof host - 1) == 0) {
            return platform::Utf8ToUtf16(host).value_or(u"localhost");
        }
    }
    return platform::Utf8ToUtf16(listenAddress).value_or(u"");
}

class TcpTransport final : public Transport {
public:
    RPC_STATUS Listen(std::u16string_view endpoint, std::unique_ptr<Listener>& listener) override {
        std::string port = "0";
        if (!endpoint.empty()) {
            auto text = PortText(endpoint);
            if (!text) {
                return RPC_S_INVALID_ENDPOINT_FORMAT;
            }
            port = *text;
        }
        std::string listenAddress =
            platform::lab::EnvironmentValue(kListenAddressVariable).value_or(kDefaultAddress);
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
        AddressList addresses;
        if (::getaddrinfo(listenAddress.c_str(), port.c_str(), &hints, &addresses.head) != 0) {
            return RPC_S_CANT_CREATE_ENDPOINT;
        }
        const addrinfo* address = addresses.head;
        int fd = ::socket(address->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            return RPC_S_CANT_CREATE_ENDPOINT;
        }
        int reuse = 1; // a restarted server gets its well-known port back at once
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
        if (::bind(fd, address->ai_addr, address->ai_addrlen) != 0) {
            RPC_STATUS status = errno == EADDRINUSE ? RPC_S_DUPLICATE_ENDPOINT : RPC_S_CANT_CREATE_ENDPOINT;
            ::close(fd);
            return status;
        }
        sockaddr_storage bound{};
        socklen_t boundLength = sizeof bound;
        if (::listen(fd, SOMAXCONN) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundLength) != 0) {
            ::close(fd);
            return RPC_S_CANT_CREATE_ENDPOINT;
        }
        unsigned boundPort = bound.ss_family == AF_INET6
                                 ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                                 : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
        auto endpointText = platform::Utf8ToUtf16(std::to_string(boundPort)).value_or(u"");
        listener = MakeSocketListener(fd, ListenerNetworkAddress(listenAddress), endpointText);
        return RPC_S_OK;
    }

    RPC_STATUS Connect(std::u16string_view networkAddress, std::u16string_view endpoint,
                       const ClientCredentials&, std::unique_ptr<Connection>& connection) override {
        auto port = PortText(endpoint);
        if (!port) {
            return RPC_S_INVALID_ENDPOINT_FORMAT;
        }
        std::optional<std::string> host = HostOf(networkAddress);
        if (!host) {
            return RPC_S_INVALID_NET_ADDR;
        }
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICSERV;
        AddressList addresses;
        if (::getaddrinfo(host->c_str(), port->c_str(), &hints, &addresses.head) != 0) {
            return RPC_S_SERVER_UNAVAILABLE;
        }
        for (const addrinfo* address = addresses.head; address != nullptr; address = address->ai_next) {
            int fd = ::socket(address->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            if (fd < 0) {
                continue;
            }
            if (ConnectSocket(fd, address->ai_addr, address->ai_addrlen) == RPC_S_OK) {
                TuneStreamSocket(fd);
                connection = MakeSocketConnection(fd, std::nullopt);
                return RPC_S_OK;
            }
        }
        return RPC_S_SERVER_UNAVAILABLE;
    }
};

} // namespace

std::shared_ptr<Transport> MakeTcpTransport() {
    return std::make_shared<TcpTransport>();
}

} // namespace rpc
