#pragma once
// The transports under the RPC run time, one per protocol sequence. A transport makes
// connections (client) and listeners that accept them (server); a connection is a reliable byte
// stream that may carry the identity of an authenticated client (a named pipe's opener). The
// run time installs "ncacn_ip_tcp" and "ncalrpc" itself; the lab installs "ncacn_np".
#include "platform/rpc/Rpc.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace rpc {

// The caller as the transport authenticated it.
struct ClientIdentity {
    std::u16string account; // "DOMAIN\user" or "user"
};

// What a client asks for when it connects (RpcBindingSetAuthInfoW).
struct ClientCredentials {
    ULONG authnLevel = RPC_C_AUTHN_LEVEL_NONE;
    ULONG authnService = RPC_C_AUTHN_NONE;
    RPC_AUTH_IDENTITY_HANDLE identity = nullptr; // null: the caller's own credentials
};

enum class IoResult {
    Ok,
    Closed,      // the peer closed the connection, or it broke
    Interrupted, // the interrupt descriptor became readable, or the time-out passed, first
};

class Connection {
public:
    virtual ~Connection() = default;

    // Reads exactly `buffer.size()` bytes. While waiting, `interruptFd` (when not -1) becoming
    // readable, or `timeoutMs` real milliseconds (when not -1) passing without data, ends the
    // read with Interrupted.
    virtual IoResult Read(std::span<std::uint8_t> buffer, int interruptFd, int timeoutMs) = 0;
    // Writes all of `data`; Closed when the peer is gone or stops reading for too long.
    virtual IoResult Write(ByteView data) = 0;
    // Whether the peer may still be there: false once it has closed its end.
    virtual bool IsOpen() = 0;
    // The authenticated client (server side); nullopt for an anonymous caller.
    virtual const std::optional<ClientIdentity>& Client() const = 0;
};

class Listener {
public:
    virtual ~Listener() = default;

    // Waits for the next connection. RPC_S_OK with `connection` set; RPC_S_NOT_LISTENING when
    // `interruptFd` became readable first; another status when accepting failed.
    virtual RPC_STATUS Accept(int interruptFd, std::unique_ptr<Connection>& connection) = 0;
    // The binding's network address and endpoint as string bindings show them.
    virtual std::u16string NetworkAddress() const = 0;
    virtual std::u16string Endpoint() const = 0;
    // The secondary address a bind_ack names (a TCP port as text, a pipe name, ...).
    virtual std::string SecondaryAddress() const = 0;
};

class Transport {
public:
    virtual ~Transport() = default;

    // Opens a listener on `endpoint`, or on an endpoint the transport chooses when it is empty.
    virtual RPC_STATUS Listen(std::u16string_view endpoint, std::unique_ptr<Listener>& listener) = 0;
    // Connects to `endpoint` on `networkAddress`; RPC_S_SERVER_UNAVAILABLE when nobody answers.
    virtual RPC_STATUS Connect(std::u16string_view networkAddress, std::u16string_view endpoint,
                               const ClientCredentials& credentials,
                               std::unique_ptr<Connection>& connection) = 0;
};

// Installs (or with null removes) the transport of a protocol sequence.
void InstallTransport(std::u16string_view protseq, std::shared_ptr<Transport> transport);

// The transport of `protseq`. RPC_S_PROTSEQ_NOT_SUPPORTED for a protocol sequence without one.
RPC_STATUS FindTransport(std::u16string_view protseq, std::shared_ptr<Transport>& transport);

// A connection over a connected stream socket (TCP, Unix-domain, or a socket the lab's pipe
// router hands over); it owns `fd`.
std::unique_ptr<Connection> MakeSocketConnection(int fd, std::optional<ClientIdentity> client);

} // namespace rpc
