// A Connection over a connected stream socket.
#include "platform/Clock.h"
#include "platform/rpc/SocketTransports.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace rpc {
namespace {

// How long (program time) a peer may leave a write unread before the connection counts as broken.
constexpr DWORD kWriteStallMs = 60000;
constexpr std::size_t kInputBufferSize = 64 * 1024;

class SocketConnection final : public Connection {
public:
    SocketConnection(int fd, std::optional<ClientIdentity> client) : m_fd(fd), m_client(std::move(client)) {}
    ~SocketConnection() override { ::close(m_fd); }
    SocketConnection(const SocketConnection&) = delete;
    SocketConnection& operator=(const SocketConnection&) = delete;

    IoResult Read(std::span<std::uint8_t> buffer, int interruptFd, int timeoutMs) override {
        std::size_t done = 0;
        while (done < buffer.size()) {
            if (m_begin == m_end) {
                IoResult filled = Fill(interruptFd, timeoutMs);
                if (filled != IoResult::Ok) {
                    return filled;
                }
            }
            std::size_t count = std::min(buffer.size() - done, m_end - m_begin);
            std::copy_n(m_input.get() + m_begin, count, buffer.begin() + static_cast<std::ptrdiff_t>(done));
            m_begin += count;
            done += count;
        }
        return IoResult::Ok;
    }

    IoResult Write(ByteView data) override {
        std::size_t done = 0;
        int stallMs = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(platform::ScaledDuration(kWriteStallMs))
                .count());
        while (done < data.size()) {
            ssize_t sent = ::send(m_fd, data.data() + done, data.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent > 0) {
                done += static_cast<std::size_t>(sent);
                continue;
            }
            if (sent < 0 && errno == EINTR) {
                continue;
            }
            if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (WaitReady(m_fd, POLLOUT, -1, stallMs + 1) == 1) {
                    continue;
                }
            }
            return IoResult::Closed;
        }
        return IoResult::Ok;
    }

    bool IsOpen() override {
        // Between calls nothing may arrive: a readable socket means the peer closed it (or
        // sent something unasked), and either way it cannot carry a new call.
        pollfd entry{m_fd, POLLIN, 0};
        return m_begin == m_end && ::poll(&entry, 1, 0) == 0;
    }

    const std::optional<ClientIdentity>& Client() const override { return m_client; }

private:
    // Reads what the socket holds into the empty input buffer, waiting when it holds nothing:
    // a fragment usually arrives whole, so header and body come from one receive.
    IoResult Fill(int interruptFd, int timeoutMs) {
        m_begin = 0;
        m_end = 0;
        for (;;) {
            ssize_t got = ::recv(m_fd, m_input.get(), kInputBufferSize, MSG_DONTWAIT);
            if (got > 0) {
                m_end = static_cast<std::size_t>(got);
                return IoResult::Ok;
            }
            if (got == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
                return IoResult::Closed;
            }
            if (errno != EINTR) {
                int ready = WaitReady(m_fd, POLLIN, interruptFd, timeoutMs);
                if (ready == 0) {
                    return IoResult::Interrupted;
                }
                if (ready < 0) {
                    return IoResult::Closed;
                }
            }
        }
    }

    int m_fd;
    std::optional<ClientIdentity> m_client;
    // Left uninitialised: the pages of an idle connection's buffer are never touched.
    std::unique_ptr<std::uint8_t[]> m_input{new std::uint8_t[kInputBufferSize]};
    std::size_t m_begin = 0; // unread input: m_input[m_begin, m_end)
    std::size_t m_end = 0;
};

} // namespace

int WaitReady(int fd, short events, int interruptFd, int timeoutMs) {
    pollfd entries[2] = {{fd, events, 0}, {interruptFd, POLLIN, 0}};
    nfds_t count = interruptFd >= 0 ? 2 : 1;
    for (;;) {
        int ready = ::poll(entries, count, timeoutMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return -1;
        }
        if (ready == 0 || (count == 2 && (entries[1].revents & POLLIN))) {
            return 0;
        }
        return 1; // readable, writable, or hung up: the next recv/send tells which
    }
}

std::unique_ptr<Connection> MakeSocketConnection(int fd, std::optional<ClientIdentity> client) {
    return std::make_unique<SocketConnection>(fd, std::move(client));
}

} // namespace rpc
