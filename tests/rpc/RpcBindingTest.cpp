// String bindings, protocol sequences, the named-pipe transport hook and the client identity
// a transport carries into RpcImpersonateClient.
#include "platform/PipeTransport.h"
#include "platform/Utf16.h"
#include "platform/rpc/ServerCall.h"
#include "platform/rpc/Transport.h"
#include "tests/rpc/support/ServerFixture.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <deque>
#include <map>
#include <mutex>

namespace {

using rpctest::ClientBinding;

struct BindingCase {
    const char16_t* uuid;
    const char16_t* protseq;
    const char16_t* address;
    const char16_t* endpoint;
    const char16_t* options;
    std::u16string_view text;
};

RPC_WSTR Arg(const char16_t* text) {
    return const_cast<RPC_WSTR>(text);
}

std::u16string Take(RPC_WSTR& text) {
    std::u16string value = text != nullptr ? text : u"";
    RpcStringFreeW(&text);
    return value;
}

TEST(RpcStringBinding, ComposesAndParsesBackEveryPart) {
    const BindingCase cases[] = {
        {u"df34bdae-f157-11d0-95da-00805fe6d053", u"ncacn_np", u"NODE1", u"\\pipe\\tarn", u"",
         u"df34bdae-f157-11d0-95da-00805fe6d053@ncacn_np:NODE1[\\pipe\\tarn]"},
        {u"", u"ncacn_np", u"NODE1", u"", u"", u"ncacn_np:NODE1"},
        {u"", u"ncacn_ip_tcp", u"::1", u"135", u"", u"ncacn_ip_tcp:::1[135]"},
        {u"", u"ncacn_ip_tcp", u"host", u"", u"Security=Anonymous",
         u"ncacn_ip_tcp:host[,Security=Anonymous]"},
        {u"", u"ncalrpc", u"", u"LRPC-1", u"", u"ncalrpc:[LRPC-1]"},
    };
    for (const BindingCase& c : cases) {
        RPC_WSTR composed = nullptr;
        ASSERT_EQ(RpcStringBindingComposeW(Arg(c.uuid), Arg(c.protseq), Arg(c.address), Arg(c.endpoint),
                                           Arg(c.options), &composed),
                  RPC_S_OK);
        std::u16string text = Take(composed);
        EXPECT_EQ(text, c.text);
        RPC_WSTR parts[5] = {};
        ASSERT_EQ(RpcStringBindingParseW(text.data(), &parts[0], &parts[1], &parts[2], &parts[3], &parts[4]),
                  RPC_S_OK);
        EXPECT_EQ(Take(parts[0]), c.uuid);
        EXPECT_EQ(Take(parts[1]), c.protseq);
        EXPECT_EQ(Take(parts[2]), c.address);
        EXPECT_EQ(Take(parts[3]), c.endpoint);
        EXPECT_EQ(Take(parts[4]), c.options);
    }
}

TEST(RpcStringBinding, RefusesTextThatIsNotOne) {
    const std::pair<std::u16string, RPC_STATUS> cases[] = {
        {u"no colon at all", RPC_S_INVALID_STRING_BINDING},
        {u":host[1]", RPC_S_INVALID_STRING_BINDING},
        {u"ncacn_ip_tcp:host[80", RPC_S_INVALID_STRING_BINDING},
        {u"ncacn_ip_tcp:host[80]tail", RPC_S_INVALID_STRING_BINDING},
        {u"not-a-uuid@ncacn_ip_tcp:host", RPC_S_INVALID_STRING_UUID},
        {u"ncadg_ip_udp:host[135]", RPC_S_PROTSEQ_NOT_SUPPORTED},
    };
    for (auto [text, expected] : cases) {
        RPC_BINDING_HANDLE binding = reinterpret_cast<RPC_BINDING_HANDLE>(1);
        EXPECT_EQ(RpcBindingFromStringBindingW(text.data(), &binding), expected) << platform::ToUtf8(text);
        EXPECT_EQ(binding, nullptr);
    }
}

class RpcBinding : public rpctest::ServerFixture {};

TEST_F(RpcBinding, ServerBindingsNameTheEndpointsTheRuntimeAssigned) {
    std::u16string tcp = ServerBinding(u"ncacn_ip_tcp");
    EXPECT_TRUE(tcp.starts_with(u"ncacn_ip_tcp:127.0.0.1[")) << platform::ToUtf8(tcp);
    std::u16string local = ServerBinding(u"ncalrpc");
    ASSERT_TRUE(local.starts_with(u"ncalrpc:[")) << platform::ToUtf8(local);
    std::string endpoint = platform::ToUtf8(local.substr(9, local.size() - 10));
    EXPECT_TRUE(std::filesystem::exists(ComputerFolder() / "rpc" / endpoint));

    std::u16string udp = u"ncadg_ip_udp";
    std::u16string pipe = u"ncacn_np";
    EXPECT_EQ(RpcServerUseProtseqW(udp.data(), 3, nullptr), RPC_S_PROTSEQ_NOT_SUPPORTED);
    // The lab's pipes need a computer of a lab to serve them, which this process is not.
    EXPECT_EQ(RpcServerUseProtseqW(pipe.data(), 3, nullptr), RPC_S_CANT_CREATE_ENDPOINT);
    EXPECT_EQ(RpcServerListen(1, 10, TRUE), RPC_S_ALREADY_LISTENING);
}

TEST_F(RpcBinding, ServersThatAreNotThereAreUnavailable) {
    const std::u16string cases[] = {
        u"ncacn_ip_tcp:127.0.0.1[1]",
        u"ncalrpc:[LRPC-nobody-listens-here]",
    };
    for (const std::u16string& text : cases) {
        ClientBinding binding(text);
        rpc::Bytes reply;
        EXPECT_EQ(binding.Call(rpctest::Ping, {}, reply), RPC_S_SERVER_UNAVAILABLE) << platform::ToUtf8(text);
    }
    ClientBinding escaping(u"ncalrpc:[../../etc]");
    rpc::Bytes reply;
    EXPECT_EQ(escaping.Call(rpctest::Ping, {}, reply), RPC_S_INVALID_ENDPOINT_FORMAT);
}

// A stand-in for the lab's named pipes: connections are socket pairs, and a caller who asks for
// NT LAN Manager authentication arrives as the account "LAB\operator".
class TestPipeTransport final : public rpc::Transport {
public:
    RPC_STATUS Listen(std::u16string_view endpoint, std::unique_ptr<rpc::Listener>& listener) override {
        auto queue = std::make_shared<Queue>();
        std::u16string name = endpoint.empty() ? u"\\pipe\\test" : std::u16string(endpoint);
        std::lock_guard lock(m_mutex);
        m_queues[name] = queue;
        listener = std::make_unique<PipeListener>(queue, name);
        return RPC_S_OK;
    }

    RPC_STATUS Connect(std::u16string_view, std::u16string_view endpoint,
                       const rpc::ClientCredentials& credentials,
                       std::unique_ptr<rpc::Connection>& connection) override {
        std::shared_ptr<Queue> queue;
        {
            std::lock_guard lock(m_mutex);
            auto found = m_queues.find(std::u16string(endpoint));
            if (found == m_queues.end()) {
                return RPC_S_SERVER_UNAVAILABLE;
            }
            queue = found->second;
        }
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0) {
            return RPC_S_OUT_OF_RESOURCES;
        }
        std::optional<rpc::ClientIdentity> identity;
        if (credentials.authnService == RPC_C_AUTHN_WINNT) {
            identity = rpc::ClientIdentity{u"LAB\\operator"};
        }
        queue->Push(rpc::MakeSocketConnection(ends[0], identity));
        connection = rpc::MakeSocketConnection(ends[1], std::nullopt);
        return RPC_S_OK;
    }

private:
    struct Queue {
        std::mutex mutex;
        std::deque<std::unique_ptr<rpc::Connection>> pending;
        int event = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        ~Queue() { ::close(event); }
        void Push(std::unique_ptr<rpc::Connection> connection) {
            std::lock_guard lock(mutex);
            pending.push_back(std::move(connection));
            std::uint64_t one = 1;
            EXPECT_EQ(::write(event, &one, sizeof one), 8);
        }
    };

    class PipeListener final : public rpc::Listener {
    public:
        PipeListener(std::shared_ptr<Queue> queue, std::u16string name)
            : m_queue(std::move(queue)), m_name(name) {}
        RPC_STATUS Accept(int interruptFd, std::unique_ptr<rpc::Connection>& connection) override {
            for (;;) {
                {
                    std::lock_guard lock(m_queue->mutex);
                    if (!m_queue->pending.empty()) {
                        connection = std::move(m_queue->pending.front());
                        m_queue->pending.pop_front();
                        return RPC_S_OK;
                    }
                    std::uint64_t count = 0;
                    [[maybe_unused]] ssize_t drained = ::read(m_queue->event, &count, sizeof count);
                }
                pollfd entries[2] = {{m_queue->event, POLLIN, 0}, {interruptFd, POLLIN, 0}};
                ::poll(entries, 2, -1);
                if (entries[1].revents & POLLIN) {
                    return RPC_S_NOT_LISTENING;
                }
            }
        }
        std::u16string NetworkAddress() const override { return u"NODE1"; }
        std::u16string Endpoint() const override { return m_name; }
        std::string SecondaryAddress() const override { return "\\PIPE\\test"; }

    private:
        std::shared_ptr<Queue> m_queue;
        std::u16string m_name;
    };

    std::mutex m_mutex;
    std::map<std::u16string, std::shared_ptr<Queue>> m_queues;
};

std::pair<RPC_STATUS, std::string> CheckAccess(ClientBinding& binding) {
    rpc::Bytes reply;
    RPC_STATUS status = binding.Call(rpctest::CheckAccess, {}, reply);
    if (status != RPC_S_OK) {
        return {status, ""};
    }
    return {static_cast<RPC_STATUS>(rpctest::ReadU32(reply)), std::string(reply.begin() + 4, reply.end())};
}

TEST_F(RpcBinding, OnlyCallersTheTransportAuthenticatedCanBeImpersonated) {
    EXPECT_EQ(RpcImpersonateClient(nullptr), RPC_S_NO_CALL_ACTIVE);
    EXPECT_EQ(RpcRevertToSelf(), RPC_S_NO_CALL_ACTIVE);
    EXPECT_EQ(rpc::CallingClient(), nullptr);

    ClientBinding tcp(ServerBinding(u"ncacn_ip_tcp"));
    EXPECT_EQ(CheckAccess(tcp), std::make_pair(RPC_STATUS{RPC_S_NO_CONTEXT_AVAILABLE}, std::string()));

    rpc::InstallTransport(u"ncacn_np", std::make_shared<TestPipeTransport>());
    std::u16string pipe = u"ncacn_np";
    ASSERT_EQ(RpcServerUseProtseqW(pipe.data(), 3, nullptr), RPC_S_OK);
    std::u16string binding = ServerBinding(u"ncacn_np");
    EXPECT_EQ(binding, u"ncacn_np:NODE1[\\pipe\\test]");

    ClientBinding anonymous(binding);
    EXPECT_EQ(CheckAccess(anonymous).first, RPC_S_NO_CONTEXT_AVAILABLE);

    ClientBinding authenticated(binding);
    ASSERT_EQ(RpcBindingSetAuthInfoW(authenticated.Handle(), nullptr, RPC_C_AUTHN_LEVEL_NONE,
                                     RPC_C_AUTHN_WINNT, nullptr, RPC_C_AUTHZ_NONE),
              RPC_S_OK);
    EXPECT_EQ(CheckAccess(authenticated), std::make_pair(RPC_STATUS{RPC_S_OK}, std::string("LAB\\operator")));
    EXPECT_EQ(RpcBindingSetAuthInfoW(authenticated.Handle(), nullptr, 7, RPC_C_AUTHN_WINNT, nullptr, 0),
              RPC_S_UNKNOWN_AUTHN_LEVEL);
    EXPECT_EQ(RpcBindingSetAuthInfoW(authenticated.Handle(), nullptr, RPC_C_AUTHN_LEVEL_NONE, 99, nullptr, 0),
              RPC_S_UNKNOWN_AUTHN_SERVICE);
    rpc::InstallTransport(u"ncacn_np", platform::MakeNamedPipeTransport()); // the lab's again
}

} // namespace
