#include "platform/rpc/ServerRuntime.h"

#include "platform/Clock.h"
#include "platform/WinError.h"
#include "platform/rpc/BindingHandle.h"
#include "platform/rpc/SocketTransports.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

namespace rpc {
namespace {

// Connections served at once, idle ones included; a connection beyond is closed at once.
constexpr unsigned kMaxConnectionThreads = 4096;
// Pause after a failed accept (out of descriptors) before the next try.
constexpr DWORD kAcceptRetryMs = 50;

void DrainStopEvent(int fd) {
    std::uint64_t value = 0;
    while (::read(fd, &value, sizeof value) == sizeof value) {
    }
}

} // namespace

ServerRuntime& ServerRuntime::Instance() {
    static ServerRuntime* server = new ServerRuntime; // detached threads may use it until the process ends
    return *server;
}

ServerRuntime::ServerRuntime() : m_stopFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

RPC_STATUS ServerRuntime::UseProtseq(std::u16string_view protseq, std::u16string_view endpoint) {
    std::shared_ptr<Transport> transport;
    RPC_STATUS status = FindTransport(protseq, transport);
    if (status != RPC_S_OK) {
        return status;
    }
    std::unique_ptr<Listener> listener;
    status = transport->Listen(endpoint, listener);
    if (status != RPC_S_OK) {
        return status;
    }
    std::lock_guard lock(m_registrationMutex);
    m_endpoints.push_back(
        {std::u16string(protseq), listener->NetworkAddress(), listener->Endpoint(), std::move(listener)});
    if (m_listening) {
        StartAcceptor(*m_endpoints.back().listener);
    }
    return RPC_S_OK;
}

RPC_STATUS ServerRuntime::InquireBindings(RPC_BINDING_VECTOR** bindings) {
    if (bindings == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *bindings = nullptr;
    std::shared_lock lock(m_registrationMutex);
    if (m_endpoints.empty()) {
        return RPC_S_NO_BINDINGS;
    }
    std::size_t count = m_endpoints.size();
    void* block = ::operator new(sizeof(RPC_BINDING_VECTOR) + (count - 1) * sizeof(RPC_BINDING_HANDLE));
    auto* vector = static_cast<RPC_BINDING_VECTOR*>(block);
    vector->Count = static_cast<ULONG>(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Endpoint& endpoint = m_endpoints[i];
        StringBindingParts parts;
        parts.protseq = endpoint.protseq;
        parts.networkAddress = endpoint.networkAddress;
        parts.endpoint = endpoint.name;
        vector->BindingH[i] = NewBinding(std::move(parts), true);
    }
    *bindings = vector;
    return RPC_S_OK;
}

RPC_STATUS ServerRuntime::RegisterInterface(const RPC_SERVER_INTERFACE* serverInterface) {
    if (serverInterface == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (serverInterface->TransferSyntax != NdrTransferSyntax) {
        return RPC_S_UNSUPPORTED_TRANS_SYN;
    }
    std::lock_guard lock(m_registrationMutex);
    for (const RPC_SERVER_INTERFACE* registered : m_interfaces) {
        if (registered == serverInterface) {
            return RPC_S_OK;
        }
        if (registered->InterfaceId == serverInterface->InterfaceId) {
            return RPC_S_TYPE_ALREADY_REGISTERED;
        }
    }
    m_interfaces.push_back(serverInterface);
    return RPC_S_OK;
}

RPC_STATUS ServerRuntime::UnregisterInterface(const RPC_SERVER_INTERFACE* serverInterface) {
    std::lock_guard lock(m_registrationMutex);
    auto found = std::find(m_interfaces.begin(), m_interfaces.end(), serverInterface);
    if (found == m_interfaces.end()) {
        return RPC_S_UNKNOWN_IF;
    }
    m_interfaces.erase(found);
    return RPC_S_OK;
}

RPC_STATUS ServerRuntime::RegisterAuthInfo(ULONG authnService) {
    // Callers are authenticated by the transport (a named pipe's opener); the service only has
    // to be one this run time knows.
    if (authnService != RPC_C_AUTHN_WINNT && authnService != RPC_C_AUTHN_NONE) {
        return RPC_S_UNKNOWN_AUTHN_SERVICE;
    }
    std::lock_guard lock(m_registrationMutex);
    if (std::find(m_authnServices.begin(), m_authnServices.end(), authnService) == m_authnServices.end()) {
        m_authnServices.push_back(authnService);
    }
    return RPC_S_OK;
}

bool ServerRuntime::FindInterface(const RPC_SYNTAX_IDENTIFIER& abstractSyntax,
                                  RPC_SERVER_INTERFACE& found) const {
    std::shared_lock lock(m_registrationMutex);
    for (const RPC_SERVER_INTERFACE* registered : m_interfaces) {
        const RPC_SYNTAX_IDENTIFIER& id = registered->InterfaceId;
        if (id.SyntaxGUID == abstractSyntax.SyntaxGUID &&
            id.SyntaxVersion.MajorVersion == abstractSyntax.SyntaxVersion.MajorVersion &&
            abstractSyntax.SyntaxVersion.MinorVersion <= id.SyntaxVersion.MinorVersion) {
            found = *registered;
            return true;
        }
    }
    return false;
}

bool ServerRuntime::BeginCall() {
    if (m_activeCalls.fetch_add(1) >= m_maximumCalls.load()) {
        m_activeCalls.fetch_sub(1);
        return false;
    }
    return true;
}

void ServerRuntime::EndCall() {
    m_activeCalls.fetch_sub(1);
}

RPC_STATUS ServerRuntime::Listen(unsigned minimumThreads, unsigned maximumCalls, bool dontWait) {
    {
        std::lock_guard registration(m_registrationMutex);
        if (m_endpoints.empty()) {
            return RPC_S_NO_PROTSEQS_REGISTERED;
        }
        if (maximumCalls == 0 || minimumThreads > maximumCalls) {
            return RPC_S_MAX_CALLS_TOO_SMALL;
        }
        if (m_listening) {
            return RPC_S_ALREADY_LISTENING;
        }
        if (m_stopFd < 0) {
            return RPC_S_OUT_OF_RESOURCES;
        }
        RPC_STATUS reopened = ReopenEndpoints();
        if (reopened != RPC_S_OK) {
            return reopened;
        }
        DrainStopEvent(m_stopFd);
        {
            std::lock_guard pool(m_poolMutex);
            m_stopping = false;
            m_minimumThreads = std::min(minimumThreads, kMaxConnectionThreads);
            ++m_listenGeneration;
            for (unsigned i = 0; i < m_minimumThreads; ++i) {
                StartWorker();
            }
        }
        m_maximumCalls = maximumCalls;
        m_listening = true;
        for (Endpoint& endpoint : m_endpoints) {
            if (endpoint.listener) {
                StartAcceptor(*endpoint.listener);
            }
        }
    }
    return dontWait ? RPC_S_OK : WaitListen();
}

RPC_STATUS ServerRuntime::StopListening() {
    if (!m_listening.load()) {
        return RPC_S_NOT_LISTENING;
    }
    std::uint64_t one = 1;
    ssize_t written = ::write(m_stopFd, &one, sizeof one);
    (void)written; // a full counter is still a pending stop
    return RPC_S_OK;
}

RPC_STATUS ServerRuntime::WaitListen() {
    std::uint64_t generation = 0;
    {
        std::lock_guard pool(m_poolMutex);
        generation = m_listenGeneration;
    }
    if (!m_listening) {
        return RPC_S_NOT_LISTENING;
    }
    std::lock_guard waiting(m_waitMutex);
    {
        std::lock_guard pool(m_poolMutex);
        if (generation != m_listenGeneration || !m_listening) {
            return RPC_S_OK; // another waiter saw this listening period end
        }
    }
    WaitReady(m_stopFd, POLLIN, -1, -1);
    BeginStopping();
    std::unique_lock pool(m_poolMutex);
    m_poolChanged.wait(pool, [this] { return m_threads == 0 && m_acceptors == 0; });
    m_queue.clear();
    pool.unlock();
    {
        // No acceptor uses the listeners any more.
        std::lock_guard registration(m_registrationMutex);
        for (Endpoint& endpoint : m_endpoints) {
            endpoint.listener.reset();
        }
    }
    m_listening = false;
    return RPC_S_OK;
}

// Called with the registration lock held. Fails only when no endpoint can be opened.
RPC_STATUS ServerRuntime::ReopenEndpoints() {
    RPC_STATUS firstFailure = RPC_S_OK;
    bool anyOpen = false;
    for (Endpoint& endpoint : m_endpoints) {
        if (!endpoint.listener) {
            std::shared_ptr<Transport> transport;
            RPC_STATUS status = FindTransport(endpoint.protseq, transport);
            if (status == RPC_S_OK) {
                status = transport->Listen(endpoint.name, endpoint.listener);
            }
            if (status != RPC_S_OK && firstFailure == RPC_S_OK) {
                firstFailure = status;
            }
        }
        anyOpen = anyOpen || endpoint.listener != nullptr;
    }
    return anyOpen ? RPC_S_OK : firstFailure;
}

void ServerRuntime::BeginStopping() {
    std::lock_guard pool(m_poolMutex);
    m_stopping = true;
    m_poolChanged.notify_all();
}

void ServerRuntime::StartAcceptor(Listener& listener) {
    {
        std::lock_guard pool(m_poolMutex);
        ++m_acceptors;
    }
    std::thread([this, &listener] { AcceptLoop(listener); }).detach();
}

void ServerRuntime::AcceptLoop(Listener& listener) {
    for (;;) {
        std::unique_ptr<Connection> connection;
        RPC_STATUS status = listener.Accept(m_stopFd, connection);
        if (status == RPC_S_OK) {
            Enqueue({std::move(connection), listener.SecondaryAddress()});
        } else if (status == RPC_S_NOT_LISTENING) {
            break;
        } else {
            Sleep(kAcceptRetryMs);
        }
    }
    BeginStopping();
    std::lock_guard pool(m_poolMutex);
    --m_acceptors;
    m_poolChanged.notify_all();
}

void ServerRuntime::Enqueue(PendingConnection pending) {
    std::lock_guard pool(m_poolMutex);
    if (m_stopping) {
        return;
    }
    if (m_queue.size() >= m_idle) {
        if (m_threads >= kMaxConnectionThreads) {
            return; // closing the connection tells its client at once
        }
        StartWorker();
    }
    m_queue.push_back(std::move(pending));
    m_poolChanged.notify_all();
}

void ServerRuntime::StartWorker() {
    ++m_threads;
    std::thread([this] { WorkerLoop(); }).detach();
}

void ServerRuntime::WorkerLoop() {
    std::unique_lock pool(m_poolMutex);
    for (;;) {
        ++m_idle;
        m_poolChanged.wait(pool, [this] { return !m_queue.empty() || m_stopping; });
        --m_idle;
        if (m_queue.empty()) {
            break; // stopping
        }
        PendingConnection pending = std::move(m_queue.front());
        m_queue.pop_front();
        pool.unlock();
        ServeConnection(*this, *pending.connection, pending.secondaryAddress);
        pending.connection.reset();
        pool.lock();
        if (m_idle >= m_minimumThreads) {
            break; // enough threads are ready without this one
        }
    }
    --m_threads;
    m_poolChanged.notify_all();
}

} // namespace rpc

RPC_STATUS RpcServerUseProtseqW(RPC_WSTR Protseq, unsigned int, void*) {
    if (Protseq == nullptr) {
        return RPC_S_INVALID_RPC_PROTSEQ;
    }
    return rpc::ServerRuntime::Instance().UseProtseq(Protseq, u"");
}

RPC_STATUS RpcServerUseProtseqEpW(RPC_WSTR Protseq, unsigned int, RPC_WSTR Endpoint, void*) {
    if (Protseq == nullptr) {
        return RPC_S_INVALID_RPC_PROTSEQ;
    }
    if (Endpoint == nullptr || *Endpoint == 0) {
        return RPC_S_INVALID_ENDPOINT_FORMAT;
    }
    return rpc::ServerRuntime::Instance().UseProtseq(Protseq, Endpoint);
}

RPC_STATUS RpcServerInqBindings(RPC_BINDING_VECTOR** BindingVector) {
    return rpc::ServerRuntime::Instance().InquireBindings(BindingVector);
}

RPC_STATUS RpcBindingVectorFree(RPC_BINDING_VECTOR** BindingVector) {
    if (BindingVector == nullptr || *BindingVector == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    RPC_BINDING_VECTOR* vector = *BindingVector;
    for (ULONG i = 0; i < vector->Count; ++i) {
        RpcBindingFree(&vector->BindingH[i]);
    }
    ::operator delete(vector);
    *BindingVector = nullptr;
    return RPC_S_OK;
}

RPC_STATUS RpcServerRegisterIf(RPC_IF_HANDLE IfSpec, UUID* MgrTypeUuid, RPC_MGR_EPV* MgrEpv) {
    if (MgrTypeUuid != nullptr || MgrEpv != nullptr) {
        return RPC_S_UNKNOWN_MGR_TYPE; // only the interface's default entry points exist
    }
    return rpc::ServerRuntime::Instance().RegisterInterface(static_cast<const RPC_SERVER_INTERFACE*>(IfSpec));
}

RPC_STATUS RpcServerUnregisterIf(RPC_IF_HANDLE IfSpec, UUID*, unsigned int) {
    return rpc::ServerRuntime::Instance().UnregisterInterface(
        static_cast<const RPC_SERVER_INTERFACE*>(IfSpec));
}

RPC_STATUS RpcServerRegisterAuthInfoW(RPC_WSTR, ULONG AuthnSvc, RPC_AUTH_KEY_RETRIEVAL_FN, void*) {
    return rpc::ServerRuntime::Instance().RegisterAuthInfo(AuthnSvc);
}

RPC_STATUS RpcServerListen(unsigned int MinimumCallThreads, unsigned int MaxCalls, unsigned int DontWait) {
    return rpc::ServerRuntime::Instance().Listen(MinimumCallThreads, MaxCalls, DontWait != 0);
}

RPC_STATUS RpcMgmtStopServerListening(RPC_BINDING_HANDLE Binding) {
    if (Binding != nullptr) {
        return RPC_S_CANNOT_SUPPORT; // stopping another process's server is not offered
    }
    return rpc::ServerRuntime::Instance().StopListening();
}

RPC_STATUS RpcMgmtWaitServerListen() {
    return rpc::ServerRuntime::Instance().WaitListen();
}
