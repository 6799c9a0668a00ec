#pragma once
// What travels on the connection between the two ends of a named pipe: a TCP connection from
// the opener straight to the serving process. The opener first sends its ticket ("TPIP", the
// ticket's length, the ticket) and the server answers with one Win32 status (0: connected,
// ERROR_PIPE_BUSY: its instance is taken, ERROR_ACCESS_DENIED: the ticket is refused). An empty
// ticket only asks whether the instance would take a client (0 or ERROR_PIPE_BUSY). Then each
// message travels as its length (32 bits, little-endian) and its bytes.
#include "platform/WinTypes.h"

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace platform::pipewire {

// The largest message either end accepts.
inline constexpr std::uint32_t kMaxMessage = 1u << 20;
// Real milliseconds the two ends give each other for the opening exchange.
inline constexpr int kHandshakeTimeoutMs = 10000;

// A connected or listening socket that closes with its last owner.
class Socket {
public:
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    int Fd() const { return m_fd; }
    // Ends reads and writes in progress on other threads; the descriptor stays until the end.
    void Shutdown();
    // Hands the descriptor over to the caller, who closes it.
    int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// A TCP connection to host:port; -1 when nobody answers.
int ConnectTcp(const std::string& host, std::uint16_t port);
// A listening TCP socket on `host` with a port the system chooses; -1 on failure.
int ListenTcp(const std::string& host, std::uint16_t& port);

// Reads exactly `size` bytes; false on end of stream, error or (timeoutMs >= 0) time-out.
bool ReadExact(int fd, void* buffer, std::size_t size, int timeoutMs = -1);
bool WriteAll(int fd, const void* data, std::size_t size);

bool SendOpenRequest(int fd, std::span<const std::uint8_t> ticket);
// False for anything but a well-formed request with a ticket of at most kMaxPipeTicket bytes.
bool ReadOpenRequest(int fd, std::vector<std::uint8_t>& ticket);
bool SendOpenReply(int fd, DWORD status);
bool ReadOpenReply(int fd, DWORD& status);

bool WriteMessage(int fd, std::span<const std::uint8_t> message);

enum class ReadResult { Message, Closed, Malformed };
// One whole message; Malformed for a length beyond kMaxMessage.
ReadResult ReadMessage(int fd, std::vector<std::uint8_t>& message);

} // namespace platform::pipewire
