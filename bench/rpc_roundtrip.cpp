// Round trips of the RPC runtime over TCP loopback, beside a plain TCP echo of the same byte
// sizes as the floor: calls per second and p50/p99 latency of a call without arguments for 1,
// 16, 256 and 1234 concurrent callers (each on its own binding), then the throughput of a
// 41,240-byte reply. Every level is bounded in calls and in time.
#include "platform/WinError.h"
#include "platform/rpc/Rpc.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr RPC_SYNTAX_IDENTIFIER kBenchInterface = {
    {0x3e0c7b52, 0x11aa, 0x4c5d, {0x8e, 0x01, 0x42, 0x6f, 0x9a, 0x77, 0x10, 0x2b}}, {1, 0}};
constexpr std::size_t kRecordBytes = 41240;
constexpr std::size_t kCallPduBytes = 24; // request or response header without stub data
constexpr int kTotalCallsPerLevel = 20000;
constexpr auto kLevelTimeLimit = std::chrono::seconds(10);

const RPC_SERVER_INTERFACE kServerInterface = {kBenchInterface, NdrTransferSyntax, 2,
                                               [](std::uint32_t opnum, rpc::ByteView, rpc::Bytes& reply) {
                                                   if (opnum == 1) {
                                                       reply.assign(kRecordBytes, 0x5a);
                                                   }
                                                   return RPC_STATUS{RPC_S_OK};
                                               }};
const RPC_CLIENT_INTERFACE kClientInterface = {kBenchInterface, NdrTransferSyntax, 0, {}};

struct Figures {
    double callsPerSecond = 0;
    double p50Us = 0;
    double p99Us = 0;
    long calls = 0;
};

// Runs `callers` threads; each prepares (connects), then all make calls until the level's call
// count or time limit is reached. `call` returns false on failure.
Figures Measure(int callers, const std::function<void*()>& prepare, const std::function<bool(void*)>& call,
                const std::function<void(void*)>& release) {
    int callsEach = std::max(5, kTotalCallsPerLevel / callers);
    std::vector<std::vector<double>> latencies(static_cast<std::size_t>(callers));
    std::atomic<long> failures{0};
    std::barrier start(callers + 1);
    std::barrier done(callers + 1);
    Clock::time_point deadline;
    std::vector<std::thread> threads;
    for (int t = 0; t < callers; ++t) {
        threads.emplace_back([&, t] {
            void* context = prepare();
            if (context == nullptr || !call(context)) { // the first call connects and binds
                ++failures;
            }
            start.arrive_and_wait();
            std::vector<double>& mine = latencies[static_cast<std::size_t>(t)];
            mine.reserve(static_cast<std::size_t>(callsEach));
            for (int i = 0; i < callsEach && context != nullptr && Clock::now() < deadline; ++i) {
                auto begin = Clock::now();
                if (!call(context)) {
                    ++failures;
                    break;
                }
                mine.push_back(std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
            }
            done.arrive_and_wait();
            if (context != nullptr) {
                release(context);
            }
        });
    }
    deadline = Clock::now() + std::chrono::hours(1);
    start.arrive_and_wait();
    auto begin = Clock::now();
    deadline = begin + kLevelTimeLimit;
    done.arrive_and_wait();
    double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::vector<double> all;
    for (const auto& mine : latencies) {
        all.insert(all.end(), mine.begin(), mine.end());
    }
    Figures figures;
    figures.calls = static_cast<long>(all.size());
    if (failures > 0) {
        std::printf("  (%ld callers failed)\n", failures.load());
    }
    if (all.empty()) {
        return figures;
    }
    std::sort(all.begin(), all.end());
    figures.callsPerSecond = static_cast<double>(all.size()) / seconds;
    figures.p50Us = all[all.size() / 2];
    figures.p99Us = all[std::min(all.size() - 1, all.size() * 99 / 100)];
    return figures;
}

// A plain TCP server answering every `requestBytes` received with `replyBytes`.
class EchoServer {
public:
    EchoServer(std::size_t requestBytes, std::size_t replyBytes)
        : m_request(requestBytes), m_reply(replyBytes) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_fd, SOMAXCONN);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        std::thread([this] { AcceptLoop(); }).detach();
    }
    std::uint16_t Port() const { return m_port; }

private:
    void AcceptLoop() {
        for (;;) {
            int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                continue;
            }
            std::thread([this, client] { Serve(client); }).detach();
        }
    }
    void Serve(int client) {
        int one = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::vector<std::uint8_t> in(m_request);
        std::vector<std::uint8_t> out(m_reply, 0x5a);
        while (ReadAll(client, in.data(), in.size()) && WriteAll(client, out.data(), out.size())) {
        }
        ::close(client);
    }

    std::size_t m_request;
    std::size_t m_reply;
    int m_fd = -1;
    std::uint16_t m_port = 0;

public:
    static bool ReadAll(int fd, std::uint8_t* data, std::size_t size) {
        for (std::size_t done = 0; done < size;) {
            ssize_t got = ::recv(fd, data + done, size - done, 0);
            if (got <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(got);
        }
        return true;
    }
    static bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
        for (std::size_t done = 0; done < size;) {
            ssize_t sent = ::send(fd, data + done, size - done, MSG_NOSIGNAL);
            if (sent <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(sent);
        }
        return true;
    }
};

struct EchoClient {
    int fd;
    std::vector<std::uint8_t> request;
    std::vector<std::uint8_t> reply;
};

Figures MeasureEcho(int callers, std::size_t requestBytes, std::size_t replyBytes) {
    static std::vector<std::unique_ptr<EchoServer>> servers; // they serve until the program ends
    servers.push_back(std::make_unique<EchoServer>(requestBytes, replyBytes));
    std::uint16_t port = servers.back()->Port();
    return Measure(
        callers,
        [&]() -> void* {
            int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(port);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                ::close(fd);
                return nullptr;
            }
            int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            return new EchoClient{fd, std::vector<std::uint8_t>(requestBytes),
                                  std::vector<std::uint8_t>(replyBytes)};
        },
        [](void* context) {
            auto* client = static_cast<EchoClient*>(context);
            return EchoServer::WriteAll(client->fd, client->request.data(), client->request.size()) &&
                   EchoServer::ReadAll(client->fd, client->reply.data(), client->reply.size());
        },
        [](void* context) {
            auto* client = static_cast<EchoClient*>(context);
            ::close(client->fd);
            delete client;
        });
}

Figures MeasureRpc(int callers, const std::u16string& binding, std::uint32_t opnum) {
    return Measure(
        callers,
        [&]() -> void* {
            std::u16string text = binding;
            RPC_BINDING_HANDLE handle = nullptr;
            return RpcBindingFromStringBindingW(text.data(), &handle) == RPC_S_OK ? handle : nullptr;
        },
        [opnum](void* handle) {
            rpc::Bytes reply;
            return NdrClientCall(handle, &kClientInterface, opnum, {}, reply) == RPC_S_OK;
        },
        [](void* handle) { RpcBindingFree(&handle); });
}

std::u16string ServerBinding() {
    RPC_BINDING_VECTOR* bindings = nullptr;
    RPC_WSTR text = nullptr;
    std::u16string binding;
    if (RpcServerInqBindings(&bindings) == RPC_S_OK &&
        RpcBindingToStringBindingW(bindings->BindingH[0], &text) == RPC_S_OK) {
        binding = text;
        RpcStringFreeW(&text);
    }
    if (bindings != nullptr) {
        RpcBindingVectorFree(&bindings);
    }
    return binding;
}

} // namespace

int main() {
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &files);

    std::u16string tcp = u"ncacn_ip_tcp";
    if (RpcServerUseProtseqW(tcp.data(), RPC_C_PROTSEQ_MAX_REQS_DEFAULT, nullptr) != RPC_S_OK ||
        RpcServerRegisterIf(&kServerInterface, nullptr, nullptr) != RPC_S_OK ||
        RpcServerListen(3, RPC_C_LISTEN_MAX_CALLS_DEFAULT, TRUE) != RPC_S_OK) {
        std::fprintf(stderr, "the benchmark server could not start\n");
        return 1;
    }
    std::u16string binding = ServerBinding();

    std::printf("no-argument call over ncacn_ip_tcp loopback vs. TCP echo of %zu + %zu bytes\n",
                kCallPduBytes, kCallPduBytes);
    std::printf("%8s %12s %10s %10s %12s %10s %10s %8s %8s\n", "callers", "rpc calls/s", "p50 us", "p99 us",
                "echo rt/s", "p50 us", "p99 us", "rate", "p50");
    for (int callers : {1, 16, 256, 1234}) {
        Figures rpcFigures = MeasureRpc(callers, binding, 0);
        Figures echo = MeasureEcho(callers, kCallPduBytes, kCallPduBytes);
        std::printf("%8d %12.0f %10.1f %10.1f %12.0f %10.1f %10.1f %7.2fx %7.2fx\n", callers,
                    rpcFigures.callsPerSecond, rpcFigures.p50Us, rpcFigures.p99Us, echo.callsPerSecond,
                    echo.p50Us, echo.p99Us, echo.callsPerSecond / std::max(rpcFigures.callsPerSecond, 1.0),
                    rpcFigures.p50Us / std::max(echo.p50Us, 0.001));
    }
    std::printf("(rate: echo round trips per RPC call; p50: RPC latency over echo latency)\n\n");

    // One caller, many 41,240-byte replies (8 fragments of 5840 bytes each).
    Figures large = MeasureRpc(1, binding, 1);
    Figures largeEcho = MeasureEcho(1, kCallPduBytes, kRecordBytes + 8 * kCallPduBytes);
    double rpcMBs = large.callsPerSecond * kRecordBytes / 1e6;
    double echoMBs = largeEcho.callsPerSecond * kRecordBytes / 1e6;
    std::printf(
        "41,240-byte reply, one caller: rpc %.0f calls/s (%.1f MB/s, p50 %.1f us), echo %.0f/s (%.1f MB/s, "
        "p50 %.1f us), ratio %.2fx\n",
        large.callsPerSecond, rpcMBs, large.p50Us, largeEcho.callsPerSecond, echoMBs, largeEcho.p50Us,
        echoMBs / std::max(rpcMBs, 0.001));
    RpcMgmtStopServerListening(nullptr);
    RpcMgmtWaitServerListen();
    return 0;
}
