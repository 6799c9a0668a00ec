// Calls through the runtime in one process: bodies both ways, faults as statuses, callbacks,
// many callers at once, the concurrency limit, and stopping with calls in flight.
#include "platform/rpc/Rpc.h"
#include "tests/rpc/support/ServerFixture.h"

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using rpctest::ClientBinding;
using namespace rpctest;

constexpr std::size_t kRecordBytes = 41240; // a 20,620-character record buffer

class RpcCall : public ServerFixture {};

TEST_F(RpcCall, FullSizeBodiesTravelBothWaysOverTcpAndLocal) {
    for (std::u16string_view protseq : {u"ncacn_ip_tcp", u"ncalrpc"}) {
        SCOPED_TRACE(std::string(protseq.begin(), protseq.end()));
        ClientBinding binding(ServerBinding(protseq));
        ASSERT_EQ(binding.Status(), RPC_S_OK);
        rpc::Bytes reply = {1, 2, 3};
        ASSERT_EQ(binding.Call(Ping, {}, reply), RPC_S_OK);
        EXPECT_TRUE(reply.empty());

        rpc::Bytes record = Pattern(kRecordBytes);
        ASSERT_EQ(binding.Call(Echo, record, reply), RPC_S_OK);
        EXPECT_EQ(reply, record);
        ASSERT_EQ(binding.Call(Fill, U32(kRecordBytes), reply), RPC_S_OK);
        EXPECT_EQ(reply, record);
    }
}

TEST_F(RpcCall, ServerFailuresComeBackAsTheCallsStatus) {
    ClientBinding binding(ServerBinding(u"ncacn_ip_tcp"));
    struct Case {
        const char* name;
        std::uint32_t opnum;
        rpc::Bytes request;
        RPC_STATUS expected;
    };
    const Case cases[] = {
        {"procedure out of range", kProcedureCount, {}, RPC_S_PROCNUM_OUT_OF_RANGE},
        {"routine throws", Throw, {}, RPC_S_INTERNAL_ERROR},
        {"routine raises a status", Raise, U32(1234), 1234},
        {"routine raises access denied", Raise, U32(ERROR_ACCESS_DENIED), ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        rpc::Bytes reply;
        EXPECT_EQ(binding.Call(c.opnum, c.request, reply), c.expected) << c.name;
        // A fault ends the call, not the association.
        EXPECT_EQ(binding.Call(Ping, {}, reply), RPC_S_OK) << c.name;
    }
}

TEST_F(RpcCall, InterfacesAreNegotiatedPerBinding) {
    ClientBinding binding(ServerBinding(u"ncacn_ip_tcp"));
    RPC_CLIENT_INTERFACE unknown = TestClientInterface();
    unknown.InterfaceId.SyntaxGUID.Data1 ^= 1;
    RPC_CLIENT_INTERFACE newerMinor = TestClientInterface();
    newerMinor.InterfaceId.SyntaxVersion.MinorVersion = 1;
    rpc::Bytes reply;
    EXPECT_EQ(binding.Call(Ping, {}, reply, unknown), RPC_S_UNKNOWN_IF);
    EXPECT_EQ(binding.Call(Ping, {}, reply, newerMinor), RPC_S_UNKNOWN_IF);
    EXPECT_EQ(binding.Call(Ping, {}, reply), RPC_S_OK); // a further context on the same connection
}

// The client side of Relay: a mailbox of one message, empty for the first two fetches.
struct Mailbox {
    std::thread::id servedOn;
    rpc::Bytes message;
    int fetches = 0;

    RPC_STATUS Serve(std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
        servedOn = std::this_thread::get_id();
        if (opnum == Post) {
            message.assign(request.begin(), request.end());
            reply = U32(0);
            return RPC_S_OK;
        }
        if (++fetches <= 2) {
            reply = U32(RPC_S_OUT_OF_RESOURCES);
            return RPC_S_OK;
        }
        reply = U32(0);
        reply.insert(reply.end(), message.rbegin(), message.rend());
        return RPC_S_OK;
    }
};

TEST_F(RpcCall, ServerRoutinePostsThenFetchesThroughCallbacksOnTheCallingThread) {
    Mailbox mailbox;
    RPC_CLIENT_INTERFACE withCallbacks =
        TestClientInterface([&mailbox](std::uint32_t opnum, rpc::ByteView request, rpc::Bytes& reply) {
            return mailbox.Serve(opnum, request, reply);
        });
    ClientBinding binding(ServerBinding(u"ncacn_ip_tcp"));
    rpc::Bytes message = Pattern(kRecordBytes); // large enough to be fragmented both ways
    rpc::Bytes reply;
    ASSERT_EQ(binding.Call(Relay, message, reply, withCallbacks), RPC_S_OK);
    EXPECT_EQ(mailbox.message, message);
    EXPECT_EQ(mailbox.fetches, 3);
    EXPECT_EQ(reply, rpc::Bytes(message.rbegin(), message.rend()));
    EXPECT_EQ(mailbox.servedOn, std::this_thread::get_id());

    // A client without callbacks refuses them; the server routine sees the refusal as status.
    EXPECT_EQ(binding.Call(Relay, message, reply), RPC_S_PROCNUM_OUT_OF_RANGE);
    EXPECT_EQ(NdrServerCallback(Post, {}, reply), RPC_S_NO_CALL_ACTIVE);
}

TEST_F(RpcCall, ManyThreadsCallAtOnceOnOwnAndSharedBindings) {
    constexpr int kThreads = 48;
    constexpr int kCallsEach = 20;
    ClientBinding shared(ServerBinding(u"ncacn_ip_tcp"));
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Every third thread shares one binding; calls on it are made one at a time.
            std::optional<ClientBinding> own;
            if (t % 3 != 0) {
                own.emplace(ServerBinding(t % 2 == 0 ? u"ncalrpc" : u"ncacn_ip_tcp"));
            }
            ClientBinding& binding = own ? *own : shared;
            for (int i = 0; i < kCallsEach; ++i) {
                rpc::Bytes request = Pattern(static_cast<std::size_t>(t * 97 + i * 13));
                rpc::Bytes reply;
                if (binding.Call(Echo, request, reply) != RPC_S_OK || reply != request) {
                    ++failures;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, 0);
}

// Holds Block calls until released; counts the calls that entered and that finished.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    int entered = 0;
    int finished = 0;
    bool open = false;

    void Hold() {
        std::unique_lock lock(mutex);
        ++entered;
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
        ++finished;
    }
    void WaitEntered(int count) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return entered >= count; });
    }
    void Open() {
        std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
};

TEST_F(RpcCall, CallsBeyondTheMaximumAreRefusedAsBusy) {
    RpcMgmtStopServerListening(nullptr);
    RpcMgmtWaitServerListen();
    ASSERT_EQ(RpcServerListen(1, 1, TRUE), RPC_S_OK);
    Gate gate;
    SetBlockHandler([&gate] { gate.Hold(); });
    RPC_STATUS heldStatus = -1;
    std::thread held([&] {
        ClientBinding binding(ServerBinding(u"ncacn_ip_tcp"));
        rpc::Bytes reply;
        heldStatus = binding.Call(Block, {}, reply);
    });
    gate.WaitEntered(1);
    ClientBinding other(ServerBinding(u"ncacn_ip_tcp"));
    rpc::Bytes reply;
    EXPECT_EQ(other.Call(Ping, {}, reply), RPC_S_SERVER_TOO_BUSY);
    gate.Open();
    held.join();
    EXPECT_EQ(heldStatus, RPC_S_OK);
    EXPECT_EQ(other.Call(Ping, {}, reply), RPC_S_OK);
}

void StopFromSignal(int) {
    RpcMgmtStopServerListening(nullptr);
}

TEST_F(RpcCall, StopFromASignalLetsCallsInFlightFinishBeforeTheWaitReturns) {
    constexpr int kCalls = 4;
    Gate gate;
    SetBlockHandler([&gate] { gate.Hold(); });
    std::vector<RPC_STATUS> statuses(kCalls, -1);
    std::vector<std::thread> callers;
    for (int i = 0; i < kCalls; ++i) {
        callers.emplace_back([&statuses, i] {
            ClientBinding binding(ServerBinding(i % 2 == 0 ? u"ncacn_ip_tcp" : u"ncalrpc"));
            rpc::Bytes reply;
            statuses[static_cast<std::size_t>(i)] = binding.Call(Block, {}, reply);
        });
    }
    gate.WaitEntered(kCalls);

    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = StopFromSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, &previous);
    std::raise(SIGUSR1);
    sigaction(SIGUSR1, &previous, nullptr);

    std::atomic<int> finishedWhenWaitReturned{-1};
    std::thread waiter([&] {
        EXPECT_EQ(RpcMgmtWaitServerListen(), RPC_S_OK);
        std::lock_guard lock(gate.mutex);
        finishedWhenWaitReturned = gate.finished;
    });
    Sleep(5000); // give the waiter time to block before the calls are let go
    gate.Open();
    waiter.join();
    for (std::thread& caller : callers) {
        caller.join();
    }
    EXPECT_EQ(finishedWhenWaitReturned, kCalls);
    for (RPC_STATUS status : statuses) {
        EXPECT_EQ(status, RPC_S_OK);
    }
    EXPECT_EQ(RpcMgmtStopServerListening(nullptr), RPC_S_NOT_LISTENING);
    // A server that does not listen is not there for its callers.
    for (std::u16string_view protseq : {u"ncacn_ip_tcp", u"ncalrpc"}) {
        ClientBinding late(ServerBinding(protseq));
        rpc::Bytes reply;
        EXPECT_EQ(late.Call(Ping, {}, reply), RPC_S_SERVER_UNAVAILABLE);
    }
    // Listening again serves on the same endpoints.
    ASSERT_EQ(RpcServerListen(1, 10, TRUE), RPC_S_OK);
    ClientBinding binding(ServerBinding(u"ncacn_ip_tcp"));
    rpc::Bytes reply;
    EXPECT_EQ(binding.Call(Ping, {}, reply), RPC_S_OK);
}

} // namespace
