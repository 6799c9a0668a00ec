#include "tests/agent/TestTransports.h"

#include "platform/WinError.h"
#include "platform/rpc/SocketTransports.h"

namespace agenttest {
namespace {

// A local-socket connection that carries the pipe opener's identity.
class AuthenticatedConnection final : public rpc::Connection {
public:
    explicit AuthenticatedConnection(std::unique_ptr<rpc::Connection> inner)
        : m_inner(std::move(inner)), m_client(rpc::ClientIdentity{kPipeAccount}) {}

    rpc::IoResult Read(std::span<std::uint8_t> buffer, int interruptFd, int timeoutMs) override {
        return m_inner->Read(buffer, interruptFd, timeoutMs);
    }
    rpc::IoResult Write(rpc::ByteView data) override { return m_inner->Write(data); }
    bool IsOpen() override { return m_inner->IsOpen(); }
    const std::optional<rpc::ClientIdentity>& Client() const override { return m_client; }

private:
    std::unique_ptr<rpc::Connection> m_inner;
    std::optional<rpc::ClientIdentity> m_client;
};

class AuthenticatingListener final : public rpc::Listener {
public:
    explicit AuthenticatingListener(std::unique_ptr<rpc::Listener> inner) : m_inner(std::move(inner)) {}

    RPC_STATUS Accept(int interruptFd, std::unique_ptr<rpc::Connection>& connection) override {
        std::unique_ptr<rpc::Connection> accepted;
        RPC_STATUS status = m_inner->Accept(interruptFd, accepted);
        if (status == RPC_S_OK) {
            connection = std::make_unique<AuthenticatedConnection>(std::move(accepted));
        }
        return status;
    }
    std::u16string NetworkAddress() const override { return m_inner->NetworkAddress(); }
    std::u16string Endpoint() const override { return m_inner->Endpoint(); }
    std::string SecondaryAddress() const override { return m_inner->SecondaryAddress(); }

private:
    std::unique_ptr<rpc::Listener> m_inner;
};

class AuthenticatedPipes final : public rpc::Transport {
public:
    RPC_STATUS Listen(std::u16string_view endpoint, std::unique_ptr<rpc::Listener>& listener) override {
        std::unique_ptr<rpc::Listener> inner;
        RPC_STATUS status = m_local->Listen(endpoint, inner);
        if (status == RPC_S_OK) {
            listener = std::make_unique<AuthenticatingListener>(std::move(inner));
        }
        return status;
    }
    RPC_STATUS Connect(std::u16string_view networkAddress, std::u16string_view endpoint,
                       const rpc::ClientCredentials& credentials,
                       std::unique_ptr<rpc::Connection>& connection) override {
        return m_local->Connect(networkAddress, endpoint, credentials, connection);
    }

private:
    std::shared_ptr<rpc::Transport> m_local = rpc::MakeLocalTransport();
};

} // namespace

void InstallAuthenticatedPipes() {
    rpc::InstallTransport(u"ncacn_np", std::make_shared<AuthenticatedPipes>());
}

WithoutTransports::WithoutTransports(std::initializer_list<std::u16string_view> protseqs) {
    for (std::u16string_view protseq : protseqs) {
        rpc::InstallTransport(protseq, nullptr);
    }
}

WithoutTransports::~WithoutTransports() {
    rpc::InstallTransport(u"ncacn_ip_tcp", rpc::MakeTcpTransport());
    rpc::InstallTransport(u"ncalrpc", rpc::MakeLocalTransport());
    InstallAuthenticatedPipes();
}

} // namespace agenttest
