#pragma once
// The process's RPC server: its endpoints, interfaces and authentication services, and while it
// listens the threads that accept connections and serve them (one thread per connection, at
// least the minimum number kept ready, calls counted against the maximum).
//
// Stopping is a write to an event descriptor that every wait between calls watches, so that
// RpcMgmtStopServerListening is safe from a signal handler; calls in progress run to their end.
// While the server does not listen after a stop, its endpoints are closed (a caller learns at
// once that the server is unavailable) and listening again reopens them under the same names.
#include "platform/rpc/Rpc.h"
#include "platform/rpc/Transport.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace rpc {

class ServerRuntime {
public:
    static ServerRuntime& Instance();

    RPC_STATUS UseProtseq(std::u16string_view protseq, std::u16string_view endpoint);
    RPC_STATUS InquireBindings(RPC_BINDING_VECTOR** bindings);
    RPC_STATUS RegisterInterface(const RPC_SERVER_INTERFACE* serverInterface);
    RPC_STATUS UnregisterInterface(const RPC_SERVER_INTERFACE* serverInterface);
    RPC_STATUS RegisterAuthInfo(ULONG authnService);
    RPC_STATUS Listen(unsigned minimumThreads, unsigned maximumCalls, bool dontWait);
    RPC_STATUS StopListening(); // async-signal-safe
    RPC_STATUS WaitListen();

    // For the connections being served.
    // The registered interface a bind names (same UUID and major version, minor not above the
    // server's); a copy, so that unregistering does not pull it from under a call.
    bool FindInterface(const RPC_SYNTAX_IDENTIFIER& abstractSyntax, RPC_SERVER_INTERFACE& found) const;
    bool BeginCall(); // false when the maximum number of concurrent calls is reached
    void EndCall();
    int StopFd() const { return m_stopFd; }
    std::uint32_t NewAssociationGroup() { return m_nextAssociationGroup.fetch_add(1); }

private:
    ServerRuntime();

    struct Endpoint {
        std::u16string protseq;
        std::u16string networkAddress;
        std::u16string name;                // as the transport assigned it
        std::unique_ptr<Listener> listener; // null while closed between listening periods
    };
    struct PendingConnection {
        std::unique_ptr<Connection> connection;
        std::string secondaryAddress;
    };

    RPC_STATUS ReopenEndpoints();
    void StartAcceptor(Listener& listener);
    void AcceptLoop(Listener& listener);
    void Enqueue(PendingConnection pending);
    void StartWorker();
    void WorkerLoop();
    void BeginStopping();

    const int m_stopFd; // eventfd, lives as long as the process

    mutable std::shared_mutex m_registrationMutex;
    std::vector<Endpoint> m_endpoints;
    std::vector<const RPC_SERVER_INTERFACE*> m_interfaces;
    std::vector<ULONG> m_authnServices;

    std::atomic<bool> m_listening{false};
    std::atomic<unsigned> m_activeCalls{0};
    std::atomic<unsigned> m_maximumCalls{0};
    std::atomic<std::uint32_t> m_nextAssociationGroup{0x1000};

    std::mutex m_waitMutex; // one RpcMgmtWaitServerListen at a time
    std::mutex m_poolMutex;
    std::condition_variable m_poolChanged;
    std::deque<PendingConnection> m_queue;
    unsigned m_minimumThreads = 0;
    unsigned m_threads = 0; // connection threads alive
    unsigned m_idle = 0;    // of which waiting for a connection
    unsigned m_acceptors = 0;
    bool m_stopping = false;
    std::uint64_t m_listenGeneration = 0;
};

// Serves one connection until it closes, breaks or the server stops listening.
void ServeConnection(ServerRuntime& server, Connection& connection, const std::string& secondaryAddress);

} // namespace rpc
