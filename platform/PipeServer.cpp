#include "platform/Pipe.h"
#include "platform/PipeName.h"
#include "platform/PipeObjects.h"

#include "platform/LastError.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

PipeServerObject::PipeServerObject(bool messageRead, std::shared_ptr<pipewire::Socket> listener,
                                   const PipeSecret& secret, std::uint64_t registration)
    : PipeObject(messageRead), m_listener(std::move(listener)), m_tickets(secret, registration),
      m_registration(registration) {}

DWORD PipeServerObject::Create(std::u16string_view name, bool messageRead, DWORD maxInstances,
                               std::shared_ptr<PipeServerObject>& out) {
    std::shared_ptr<PipeRouterLink> link = CurrentPipeRouterLink();
    std::string host;
    DWORD status = link->ServingHost(host);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    PipeRegistration registration;
    registration.name = std::u16string(name);
    registration.maxInstances = maxInstances;
    registration.pid = static_cast<std::int32_t>(::getpid());
    if (!logon::RandomBytes(registration.secret.data(), registration.secret.size())) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    int fd = pipewire::ListenTcp(host, registration.port);
    if (fd < 0) {
        return ERROR_NO_SYSTEM_RESOURCES;
    }
    auto listener = std::make_shared<pipewire::Socket>(fd);
    std::uint64_t id = 0;
    status = link->Register(registration, id);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    std::shared_ptr<PipeServerObject> server(new PipeServerObject(messageRead, listener, registration.secret, id));
    server->m_link = link;
    if (::pipe2(server->m_wake, O_CLOEXEC) != 0) {
        link->Unregister(id);
        return ERROR_NO_SYSTEM_RESOURCES;
    }
    server->m_acceptor = std::thread([raw = server.get()] { raw->TakeClients(); });
    out = std::move(server);
    return ERROR_SUCCESS;
}

PipeServerObject::~PipeServerObject() {
    Close();
    if (m_acceptor.joinable()) {
        m_acceptor.join();
    }
    for (int fd : m_wake) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void PipeServerObject::TakeClients() {
    for (;;) {
        pollfd entries[2] = {{m_listener->Fd(), POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (entries[1].revents != 0) {
            return;
        }
        int fd = ::accept4(m_listener->Fd(), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            Admit(std::make_shared<pipewire::Socket>(fd));
        }
    }
}

void PipeServerObject::Admit(std::shared_ptr<pipewire::Socket> socket) {
    std::vector<std::uint8_t> ticket;
    PipeOpener opener;
    if (!pipewire::ReadOpenRequest(socket->Fd(), ticket)) {
        return;
    }
    if (ticket.empty()) { // WaitNamedPipeW asks whether the instance would take a client
        std::lock_guard lock(m_mutex);
        pipewire::SendOpenReply(socket->Fd(), m_state == State::Listening ? ERROR_SUCCESS : ERROR_PIPE_BUSY);
        return;
    }
    if (!m_tickets.Check(ticket, opener)) {
        pipewire::SendOpenReply(socket->Fd(), ERROR_ACCESS_DENIED);
        return;
    }
    std::lock_guard lock(m_mutex);
    if (m_state != State::Listening) {
        pipewire::SendOpenReply(socket->Fd(), ERROR_PIPE_BUSY);
        return;
    }
    if (!pipewire::SendOpenReply(socket->Fd(), ERROR_SUCCESS)) {
        return; // the opener went away before it was let in
    }
    m_client = std::make_shared<PipeEnd>(std::move(socket));
    m_opener = std::move(opener);
    m_state = State::Connected;
    m_changed.notify_all();
}

DWORD PipeServerObject::Connect() {
    std::unique_lock lock(m_mutex);
    if (m_state == State::Connected) {
        return m_client->PeerClosed() ? ERROR_NO_DATA : ERROR_PIPE_CONNECTED;
    }
    if (m_state == State::Disconnected) {
        m_state = State::Listening;
    }
    m_changed.wait(lock, [&] { return m_state != State::Listening; });
    return m_state == State::Connected ? ERROR_SUCCESS : ERROR_OPERATION_ABORTED;
}

DWORD PipeServerObject::Disconnect() {
    std::shared_ptr<PipeEnd> client;
    {
        std::lock_guard lock(m_mutex);
        if (m_state == State::Closed) {
            return ERROR_INVALID_HANDLE;
        }
        client = std::move(m_client);
        m_opener = PipeOpener{};
        m_state = State::Disconnected;
        m_changed.notify_all();
    }
    if (client) {
        client->Shutdown();
    }
    return ERROR_SUCCESS;
}

DWORD PipeServerObject::ClientAccount(std::optional<std::u16string>& account) {
    std::lock_guard lock(m_mutex);
    if (m_state != State::Connected) {
        return ERROR_PIPE_NOT_CONNECTED;
    }
    account = m_opener.account;
    return ERROR_SUCCESS;
}

DWORD PipeServerObject::ConnectedEnd(std::shared_ptr<PipeEnd>& end) {
    std::lock_guard lock(m_mutex);
    switch (m_state) {
    case State::Connected: end = m_client; return ERROR_SUCCESS;
    case State::Listening: return ERROR_PIPE_LISTENING;
    case State::Disconnected: return ERROR_PIPE_NOT_CONNECTED;
    case State::Closed: return ERROR_INVALID_HANDLE;
    }
    return ERROR_INVALID_HANDLE;
}

DWORD PipeServerObject::Read(void* buffer, DWORD size, DWORD& read) {
    read = 0;
    std::shared_ptr<PipeEnd> end;
    DWORD status = ConnectedEnd(end);
    return status == ERROR_SUCCESS ? end->Read(buffer, size, read, m_messageRead) : status;
}

DWORD PipeServerObject::Write(const void* data, DWORD size, DWORD& written) {
    written = 0;
    std::shared_ptr<PipeEnd> end;
    DWORD status = ConnectedEnd(end);
    return status == ERROR_SUCCESS ? end->Write(data, size, written) : status;
}

DWORD PipeServerObject::Flush() {
    std::shared_ptr<PipeEnd> end;
    DWORD status = ConnectedEnd(end);
    return status == ERROR_PIPE_LISTENING ? ERROR_SUCCESS : status; // writes are on the wire when they return
}

void PipeServerObject::Close() {
    std::shared_ptr<PipeEnd> client;
    {
        std::lock_guard lock(m_mutex);
        if (m_state == State::Closed) {
            return;
        }
        client = std::move(m_client);
        m_state = State::Closed;
        m_changed.notify_all();
    }
    if (client) {
        client->Shutdown();
    }
    char wake = 1;
    [[maybe_unused]] ssize_t ignored = ::write(m_wake[1], &wake, 1);
    m_link->Unregister(m_registration);
}

} // namespace platform

HANDLE CreateNamedPipeW(LPCWSTR lpName, DWORD dwOpenMode, DWORD dwPipeMode, DWORD nMaxInstances, DWORD, DWORD, DWORD,
                        LPSECURITY_ATTRIBUTES) {
    platform::PipePath path;
    DWORD access = dwOpenMode & PIPE_ACCESS_DUPLEX;
    DWORD knownOpen = PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_WRITE_THROUGH;
    DWORD knownMode = PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE;
    if (lpName == nullptr || !platform::ParsePipePath(platform::WideView(lpName), path) ||
        !platform::IsOwnComputer(path.server)) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    bool messageType = (dwPipeMode & PIPE_TYPE_MESSAGE) != 0;
    bool messageRead = (dwPipeMode & PIPE_READMODE_MESSAGE) != 0;
    if (access == 0 || (dwOpenMode & ~knownOpen) != 0 || (dwPipeMode & ~knownMode) != 0 ||
        (messageRead && !messageType) || nMaxInstances == 0 || nMaxInstances > PIPE_UNLIMITED_INSTANCES) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::shared_ptr<platform::PipeServerObject> server;
    DWORD status = platform::PipeServerObject::Create(path.name, messageRead, nMaxInstances, server);
    HANDLE handle = status == ERROR_SUCCESS ? platform::InsertHandle(server) : nullptr;
    if (status == ERROR_SUCCESS && handle == nullptr) {
        status = ERROR_TOO_MANY_OPEN_FILES;
        server->Close();
    }
    SetLastError(status);
    return status == ERROR_SUCCESS ? handle : INVALID_HANDLE_VALUE;
}

BOOL ConnectNamedPipe(HANDLE hNamedPipe, LPOVERLAPPED lpOverlapped) {
    auto server = platform::ObjectAs<platform::PipeServerObject>(hNamedPipe);
    DWORD status = !server ? ERROR_INVALID_HANDLE : lpOverlapped != nullptr ? ERROR_INVALID_PARAMETER : server->Connect();
    SetLastError(status);
    return status == ERROR_SUCCESS ? TRUE : FALSE;
}

BOOL DisconnectNamedPipe(HANDLE hNamedPipe) {
    auto server = platform::ObjectAs<platform::PipeServerObject>(hNamedPipe);
    DWORD status = server ? server->Disconnect() : ERROR_INVALID_HANDLE;
    SetLastError(status);
    return status == ERROR_SUCCESS ? TRUE : FALSE;
}

BOOL SetNamedPipeHandleState(HANDLE hNamedPipe, LPDWORD lpMode, LPDWORD lpMaxCollectionCount,
                             LPDWORD lpCollectDataTimeout) {
    auto pipe = platform::ObjectAs<platform::PipeObject>(hNamedPipe);
    DWORD status = ERROR_SUCCESS;
    if (!pipe) {
        status = ERROR_INVALID_HANDLE;
    } else if (lpMaxCollectionCount != nullptr || lpCollectDataTimeout != nullptr ||
               (lpMode != nullptr && (*lpMode & ~PIPE_READMODE_MESSAGE) != 0)) {
        status = ERROR_INVALID_PARAMETER;
    } else if (lpMode != nullptr) {
        pipe->SetMessageRead((*lpMode & PIPE_READMODE_MESSAGE) != 0);
    }
    SetLastError(status);
    return status == ERROR_SUCCESS ? TRUE : FALSE;
}

namespace platform {

DWORD PipeClientAccount(HANDLE serverEnd, std::optional<std::u16string>& account) {
    auto server = ObjectAs<PipeServerObject>(serverEnd);
    return server ? server->ClientAccount(account) : ERROR_INVALID_HANDLE;
}

} // namespace platform
