#pragma once
// The kernel objects behind pipe handles: a served instance (CreateNamedPipeW) and an opened
// client end (CreateFileW). Internal to the pipe family.
#include "platform/Handle.h"
#include "platform/PipeEnd.h"
#include "platform/PipeRouterLink.h"
#include "platform/PipeTicket.h"
#include "platform/WinError.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace platform {

// Connects to pipe `name` of `computer` ("." for the own one) as this process's caller identity:
// the connection to the first instance that lets it in. The errors OpenPipeClient reports.
DWORD ConnectToPipe(std::u16string_view computer, std::u16string_view name,
                    std::shared_ptr<pipewire::Socket>& socket);

class PipeObject : public KernelObject {
public:
    explicit PipeObject(bool messageRead) : m_messageRead(messageRead) {}
    void SetMessageRead(bool messageRead) { m_messageRead = messageRead; }

protected:
    std::atomic<bool> m_messageRead;
};

class PipeServerObject final : public PipeObject {
public:
    // Listens, registers the instance with the own computer's router and starts taking clients.
    static DWORD Create(std::u16string_view name, bool messageRead, DWORD maxInstances,
                        std::shared_ptr<PipeServerObject>& out);
    ~PipeServerObject() override;

    DWORD Connect();
    DWORD Disconnect();
    DWORD ClientAccount(std::optional<std::u16string>& account);
    DWORD Read(void* buffer, DWORD size, DWORD& read) override;
    DWORD Write(const void* data, DWORD size, DWORD& written) override;
    DWORD Flush() override;
    void Close() override;

private:
    enum class State { Listening, Connected, Disconnected, Closed };

    PipeServerObject(bool messageRead, std::shared_ptr<pipewire::Socket> listener, const PipeSecret& secret,
                     std::uint64_t registration);
    void TakeClients();
    // Answers one opener: lets it in when the instance is listening.
    void Admit(std::shared_ptr<pipewire::Socket> socket);
    // The connected end, or the error a read or write meets in the present state.
    DWORD ConnectedEnd(std::shared_ptr<PipeEnd>& end);

    std::shared_ptr<pipewire::Socket> m_listener;
    PipeTicketChecker m_tickets;
    std::uint64_t m_registration;
    std::shared_ptr<PipeRouterLink> m_link;
    int m_wake[2] = {-1, -1}; // written to end the accepting thread
    std::mutex m_mutex;
    std::condition_variable m_changed;
    State m_state = State::Listening;
    std::shared_ptr<PipeEnd> m_client;
    PipeOpener m_opener;
    std::thread m_acceptor;
};

class PipeClientObject final : public PipeObject {
public:
    explicit PipeClientObject(std::shared_ptr<pipewire::Socket> socket)
        : PipeObject(false), m_end(std::make_shared<PipeEnd>(std::move(socket))) {}

    DWORD Read(void* buffer, DWORD size, DWORD& read) override { return m_end->Read(buffer, size, read, m_messageRead); }
    DWORD Write(const void* data, DWORD size, DWORD& written) override { return m_end->Write(data, size, written); }
    DWORD Flush() override { return ERROR_SUCCESS; } // every write is on the wire when it returns
    void Close() override { m_end->Shutdown(); }

private:
    std::shared_ptr<PipeEnd> m_end;
};

} // namespace platform
