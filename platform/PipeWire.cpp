#include "platform/PipeWire.h"

#include "platform/PipeTicket.h"
#include "platform/WinError.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform::pipewire {
namespace {

constexpr std::uint8_t kMagic[4] = {'T', 'P', 'I', 'P'};

void PutLong(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t GetLong(const std::uint8_t* in) {
    return static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8) |
           (static_cast<std::uint32_t>(in[2]) << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
}

bool ResolveHost(const std::string& host, std::uint16_t port, sockaddr_in& address) {
    address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) == 1) {
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    address.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

} // namespace

Socket::~Socket() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void Socket::Shutdown() {
    if (m_fd >= 0) {
        ::shutdown(m_fd, SHUT_RDWR);
    }
}

int ConnectTcp(const std::string& host, std::uint16_t port) {
    sockaddr_in address;
    if (!ResolveHost(host, port, address)) {
        return -1;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

int ListenTcp(const std::string& host, std::uint16_t& port) {
    sockaddr_in address;
    if (!ResolveHost(host, 0, address)) {
        return -1;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

bool ReadExact(int fd, void* buffer, std::size_t size, int timeoutMs) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    std::size_t done = 0;
    while (done < size) {
        if (timeoutMs >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd entry{fd, POLLIN, 0};
            int ready = left.count() > 0 ? ::poll(&entry, 1, static_cast<int>(left.count())) : 0;
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                return false;
            }
        }
        ssize_t got = ::recv(fd, out + done, size - done, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    const auto* in = static_cast<const std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < size) {
        ssize_t sent = ::send(fd, in + done, size - done, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

bool SendOpenRequest(int fd, std::span<const std::uint8_t> ticket) {
    std::vector<std::uint8_t> request(kMagic, kMagic + 4);
    request.resize(8);
    PutLong(request.data() + 4, static_cast<std::uint32_t>(ticket.size()));
    request.insert(request.end(), ticket.begin(), ticket.end());
    return WriteAll(fd, request.data(), request.size());
}

bool ReadOpenRequest(int fd, std::vector<std::uint8_t>& ticket) {
    std::uint8_t header[8];
    if (!ReadExact(fd, header, sizeof header, kHandshakeTimeoutMs) || !std::equal(kMagic, kMagic + 4, header)) {
        return false;
    }
    std::uint32_t size = GetLong(header + 4);
    if (size > kMaxPipeTicket) {
        return false;
    }
    ticket.assign(size, 0);
    return ReadExact(fd, ticket.data(), size, kHandshakeTimeoutMs);
}

bool SendOpenReply(int fd, DWORD status) {
    std::uint8_t reply[4];
    PutLong(reply, status);
    return WriteAll(fd, reply, sizeof reply);
}

bool ReadOpenReply(int fd, DWORD& status) {
    std::uint8_t reply[4];
    if (!ReadExact(fd, reply, sizeof reply, kHandshakeTimeoutMs)) {
        return false;
    }
    status = GetLong(reply);
    return true;
}

bool WriteMessage(int fd, std::span<const std::uint8_t> message) {
    if (message.size() > kMaxMessage) {
        return false;
    }
    std::vector<std::uint8_t> frame(4 + message.size());
    PutLong(frame.data(), static_cast<std::uint32_t>(message.size()));
    std::copy(message.begin(), message.end(), frame.begin() + 4);
    return WriteAll(fd, frame.data(), frame.size());
}

ReadResult ReadMessage(int fd, std::vector<std::uint8_t>& message) {
    std::uint8_t header[4];
    if (!ReadExact(fd, header, sizeof header)) {
        return ReadResult::Closed;
    }
    std::uint32_t size = GetLong(header);
    if (size > kMaxMessage) {
        return ReadResult::Malformed;
    }
    message.assign(size, 0);
    return ReadExact(fd, message.data(), size) ? ReadResult::Message : ReadResult::Closed;
}

} // namespace platform::pipewire
