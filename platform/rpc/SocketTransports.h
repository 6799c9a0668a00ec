#pragma once
// The run time's own transports, "ncacn_ip_tcp" and "ncalrpc" (Unix-domain sockets), and the
// socket plumbing they share.
#include "platform/rpc/Transport.h"

#include <functional>

struct sockaddr;

namespace rpc {

std::shared_ptr<Transport> MakeTcpTransport();
std::shared_ptr<Transport> MakeLocalTransport();

// Waits until `fd` is ready for `events` (POLLIN / POLLOUT) or `interruptFd` (when not -1) is
// readable, for at most `timeoutMs` real milliseconds (-1: no limit). 1 ready, 0 interrupted or
// timed out, -1 failed.
int WaitReady(int fd, short events, int interruptFd, int timeoutMs);

// Connects the non-blocking stream socket `fd` to `address`, waiting at most the run time's
// connect time-out. RPC_S_OK, or RPC_S_SERVER_UNAVAILABLE (fd is then closed).
RPC_STATUS ConnectSocket(int fd, const sockaddr* address, unsigned addressLength);

// Settings of every TCP connection of the run time: no delay for small request/reply exchanges,
// and keepalive probes so that a peer that vanished without closing (a host gone from the
// network) is noticed within minutes instead of never. Harmless on other sockets.
void TuneStreamSocket(int fd);

// A listener over the listening socket `fd` (owned); `onClose` runs when it is destroyed.
std::unique_ptr<Listener> MakeSocketListener(int fd, std::u16string networkAddress, std::u16string endpoint,
                                             std::function<void()> onClose = {});

} // namespace rpc
