#include "platform/PipeTransport.h"

#include "platform/AsciiCase.h"
#include "platform/LabDirectory.h"
#include "platform/Pipe.h"
#include "platform/PipeName.h"
#include "platform/PipeObjects.h"
#include "platform/PipeRouterLink.h"
#include "platform/PipeTicket.h"
#include "platform/PipeWire.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"
#include "platform/rpc/SocketTransports.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr std::u16string_view kPipePrefix = u"\\pipe\\";

// The pipe's own name in an endpoint "\pipe\NAME" (any case); nullopt for another form.
std::optional<std::u16string> PipeNameOf(std::u16string_view endpoint) {
    if (endpoint.size() <= kPipePrefix.size() || !EqualsIgnoreCase(endpoint.substr(0, kPipePrefix.size()), kPipePrefix)) {
        return std::nullopt;
    }
    std::u16string_view name = endpoint.substr(kPipePrefix.size());
    if (name.size() > kMaxPipeName || name.find(u'\0') != std::u16string_view::npos) {
        return std::nullopt;
    }
    return std::u16string(name);
}

std::optional<std::u16string> NewPipeName() {
    std::uint8_t bytes[8];
    if (!logon::RandomBytes(bytes, sizeof bytes)) {
        return std::nullopt;
    }
    std::u16string name = u"tarnrpc_";
    for (std::uint8_t byte : bytes) {
        name.push_back(u"0123456789abcdef"[byte >> 4]);
        name.push_back(u"0123456789abcdef"[byte & 15]);
    }
    return name;
}

class PipeListener final : public rpc::Listener {
public:
    PipeListener(int fd, std::u16string name, const PipeSecret& secret, std::uint64_t registration,
                 std::shared_ptr<PipeRouterLink> link)
        : m_fd(fd), m_name(std::move(name)), m_tickets(secret, registration), m_registration(registration),
          m_link(std::move(link)) {}

    ~PipeListener() override {
        m_link->Unregister(m_registration);
        ::close(m_fd);
    }

    RPC_STATUS Accept(int interruptFd, std::unique_ptr<rpc::Connection>& connection) override {
        for (;;) {
            int ready = rpc::WaitReady(m_fd, POLLIN, interruptFd, -1);
            if (ready == 0) {
                return RPC_S_NOT_LISTENING;
            }
            if (ready < 0) {
                return RPC_S_OUT_OF_RESOURCES;
            }
            int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            std::optional<rpc::ClientIdentity> client;
            if (Admit(fd, client)) {
                connection = rpc::MakeSocketConnection(fd, std::move(client));
                return RPC_S_OK;
            }
            ::close(fd);
        }
    }

    std::u16string NetworkAddress() const override { return lab::OwnComputer(); }
    std::u16string Endpoint() const override { return std::u16string(kPipePrefix) + m_name; }
    std::string SecondaryAddress() const override { return "\\PIPE\\" + ToUtf8(m_name); }

private:
    // The opening exchange: any number of clients are let in, each with the identity its ticket names.
    bool Admit(int fd, std::optional<rpc::ClientIdentity>& client) {
        std::vector<std::uint8_t> ticket;
        if (!pipewire::ReadOpenRequest(fd, ticket)) {
            return false;
        }
        if (ticket.empty()) {
            pipewire::SendOpenReply(fd, ERROR_SUCCESS); // WaitNamedPipeW: there is always room
            return false;
        }
        PipeOpener opener;
        if (!m_tickets.Check(ticket, opener)) {
            pipewire::SendOpenReply(fd, ERROR_ACCESS_DENIED);
            return false;
        }
        if (!pipewire::SendOpenReply(fd, ERROR_SUCCESS)) {
            return false;
        }
        if (opener.account) {
            client = rpc::ClientIdentity{*opener.account};
        }
        return true;
    }

    int m_fd;
    std::u16string m_name;
    PipeTicketChecker m_tickets;
    std::uint64_t m_registration;
    std::shared_ptr<PipeRouterLink> m_link;
};

RPC_STATUS RpcStatusOf(DWORD pipeStatus) {
    switch (pipeStatus) {
    case ERROR_PIPE_BUSY: return RPC_S_SERVER_TOO_BUSY;
    case ERROR_ACCESS_DENIED: return static_cast<RPC_STATUS>(ERROR_ACCESS_DENIED);
    default: return RPC_S_SERVER_UNAVAILABLE; // nobody serves the pipe, or no such computer
    }
}

class NamedPipeTransport final : public rpc::Transport {
public:
    RPC_STATUS Listen(std::u16string_view endpoint, std::unique_ptr<rpc::Listener>& listener) override {
        std::optional<std::u16string> name = endpoint.empty() ? NewPipeName() : PipeNameOf(endpoint);
        if (!name) {
            return endpoint.empty() ? RPC_S_OUT_OF_RESOURCES : RPC_S_INVALID_ENDPOINT_FORMAT;
        }
        std::shared_ptr<PipeRouterLink> link = CurrentPipeRouterLink();
        PipeRegistration registration;
        registration.name = *name;
        registration.maxInstances = PIPE_UNLIMITED_INSTANCES;
        registration.pid = static_cast<std::int32_t>(::getpid());
        std::string host;
        if (link->ServingHost(host) != ERROR_SUCCESS ||
            !logon::RandomBytes(registration.secret.data(), registration.secret.size())) {
            return RPC_S_CANT_CREATE_ENDPOINT;
        }
        int fd = pipewire::ListenTcp(host, registration.port);
        if (fd < 0) {
            return RPC_S_CANT_CREATE_ENDPOINT;
        }
        std::uint64_t id = 0;
        DWORD status = link->Register(registration, id);
        if (status != ERROR_SUCCESS) {
            ::close(fd);
            return status == ERROR_PIPE_BUSY || status == ERROR_ACCESS_DENIED ? RPC_S_DUPLICATE_ENDPOINT
                                                                                : RPC_S_CANT_CREATE_ENDPOINT;
        }
        listener = std::make_unique<PipeListener>(fd, *name, registration.secret, id, std::move(link));
        return RPC_S_OK;
    }

    RPC_STATUS Connect(std::u16string_view networkAddress, std::u16string_view endpoint,
                       const rpc::ClientCredentials&, std::unique_ptr<rpc::Connection>& connection) override {
        std::optional<std::u16string> name = PipeNameOf(endpoint);
        if (!name) {
            return RPC_S_INVALID_ENDPOINT_FORMAT;
        }
        // Who opens is this process's identity towards the computer (the lab's logon), whatever
        // credentials the binding names.
        std::shared_ptr<pipewire::Socket> socket;
        DWORD status = ConnectToPipe(networkAddress.empty() ? u"." : networkAddress, *name, socket);
        if (status != ERROR_SUCCESS) {
            return RpcStatusOf(status);
        }
        connection = rpc::MakeSocketConnection(socket->Release(), std::nullopt);
        return RPC_S_OK;
    }
};

} // namespace

std::shared_ptr<rpc::Transport> MakeNamedPipeTransport() { return std::make_shared<NamedPipeTransport>(); }

} // namespace platform
