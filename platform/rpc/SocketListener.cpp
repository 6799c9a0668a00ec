// Listening and connecting over stream sockets, shared by the TCP and local transports.
#include "platform/Clock.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/rpc/SocketTransports.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace rpc {
namespace {

// How long (program time) a connect may take before the server counts as unavailable.
constexpr DWORD kConnectTimeoutMs = 20000;

class SocketListener final : public Listener {
public:
    SocketListener(int fd, std::u16string networkAddress, std::u16string endpoint,
                   std::function<void()> onClose)
        : m_fd(fd), m_networkAddress(std::move(networkAddress)), m_endpoint(std::move(endpoint)),
          m_onClose(std::move(onClose)) {}
    ~SocketListener() override {
        ::close(m_fd);
        if (m_onClose) {
            m_onClose();
        }
    }
    SocketListener(const SocketListener&) = delete;
    SocketListener& operator=(const SocketListener&) = delete;

    RPC_STATUS Accept(int interruptFd, std::unique_ptr<Connection>& connection) override {
        for (;;) {
            int ready = WaitReady(m_fd, POLLIN, interruptFd, -1);
            if (ready == 0) {
                return RPC_S_NOT_LISTENING;
            }
            if (ready < 0) {
                return RPC_S_OUT_OF_RESOURCES;
            }
            int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0) {
                TuneStreamSocket(fd);
                connection = MakeSocketConnection(fd, std::nullopt);
                return RPC_S_OK;
            }
            if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED) {
                return RPC_S_OUT_OF_RESOURCES;
            }
        }
    }

    std::u16string NetworkAddress() const override { return m_networkAddress; }
    std::u16string Endpoint() const override { return m_endpoint; }
    std::string SecondaryAddress() const override { return platform::Utf16ToUtf8(m_endpoint).value_or(""); }

private:
    int m_fd;
    std::u16string m_networkAddress;
    std::u16string m_endpoint;
    std::function<void()> m_onClose;
};

} // namespace

void TuneStreamSocket(int fd) {
    auto set = [fd](int level, int name, int value) { ::setsockopt(fd, level, name, &value, sizeof value); };
    set(IPPROTO_TCP, TCP_NODELAY, 1);
    set(SOL_SOCKET, SO_KEEPALIVE, 1);
    set(IPPROTO_TCP, TCP_KEEPIDLE, 60);
    set(IPPROTO_TCP, TCP_KEEPINTVL, 10);
    set(IPPROTO_TCP, TCP_KEEPCNT, 6);
}

RPC_STATUS ConnectSocket(int fd, const sockaddr* address, unsigned addressLength) {
    int result = ::connect(fd, address, addressLength);
    if (result != 0 && errno == EINPROGRESS) {
        auto timeout = std::chrono::duration_cast<std::chrono::milliseconds>(
            platform::ScaledDuration(kConnectTimeoutMs));
        if (WaitReady(fd, POLLOUT, -1, static_cast<int>(timeout.count()) + 1) == 1) {
            int error = 0;
            socklen_t length = sizeof error;
            result = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0 ? 0 : -1;
        }
    }
    if (result != 0) {
        ::close(fd);
        return RPC_S_SERVER_UNAVAILABLE;
    }
    return RPC_S_OK;
}

std::unique_ptr<Listener> MakeSocketListener(int fd, std::u16string networkAddress, std::u16string endpoint,
                                             std::function<void()> onClose) {
    return std::make_unique<SocketListener>(fd, std::move(networkAddress), std::move(endpoint),
                                            std::move(onClose));
}

} // namespace rpc
