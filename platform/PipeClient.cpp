#include "platform/Pipe.h"
#include "platform/PipeName.h"
#include "platform/PipeObjects.h"

#include "platform/Clock.h"
#include "platform/LastError.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"

#include <chrono>

namespace platform {
namespace {

constexpr DWORD kDefaultPipeWait = 5000;
constexpr DWORD kPipeWaitPoll = 100;

// Connects to one offered instance and presents `ticket` (empty: only asks whether it is free).
DWORD Knock(const std::string& host, const PipeOffer& offer, std::span<const std::uint8_t> ticket,
            std::shared_ptr<pipewire::Socket>& socket) {
    int fd = pipewire::ConnectTcp(host, offer.port);
    if (fd < 0) {
        return ERROR_FILE_NOT_FOUND; // its server has gone since the router last saw it
    }
    socket = std::make_shared<pipewire::Socket>(fd);
    DWORD status = ERROR_FILE_NOT_FOUND;
    if (!pipewire::SendOpenRequest(fd, ticket) || !pipewire::ReadOpenReply(fd, status)) {
        return ERROR_FILE_NOT_FOUND;
    }
    return status;
}

// The outcome over all instances: the first that let the client in, else busy when one was.
DWORD Combine(DWORD sofar, DWORD next) {
    if (sofar == ERROR_PIPE_BUSY || next == ERROR_PIPE_BUSY) {
        return ERROR_PIPE_BUSY;
    }
    return sofar == ERROR_FILE_NOT_FOUND ? next : sofar;
}

} // namespace

DWORD ConnectToPipe(std::u16string_view computer, std::u16string_view name,
                    std::shared_ptr<pipewire::Socket>& socket) {
    std::string host;
    std::vector<PipeOffer> offers;
    DWORD status = CurrentPipeRouterLink()->Open(computer, name, host, offers);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    DWORD outcome = ERROR_FILE_NOT_FOUND;
    for (const PipeOffer& offer : offers) {
        DWORD answer = Knock(host, offer, offer.ticket, socket);
        if (answer == ERROR_SUCCESS) {
            return ERROR_SUCCESS;
        }
        outcome = Combine(outcome, answer);
    }
    socket.reset();
    return outcome;
}

DWORD OpenPipeClient(std::u16string_view pathText, DWORD, HANDLE& out) {
    out = INVALID_HANDLE_VALUE;
    PipePath path;
    if (!ParsePipePath(pathText, path)) {
        return ERROR_INVALID_NAME;
    }
    std::shared_ptr<pipewire::Socket> socket;
    DWORD status = ConnectToPipe(path.server, path.name, socket);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    HANDLE handle = InsertHandle(std::make_shared<PipeClientObject>(std::move(socket)));
    if (handle == nullptr) {
        return ERROR_TOO_MANY_OPEN_FILES;
    }
    out = handle;
    return ERROR_SUCCESS;
}

} // namespace platform

BOOL WaitNamedPipeW(LPCWSTR lpNamedPipeName, DWORD nTimeOut) {
    platform::PipePath path;
    if (lpNamedPipeName == nullptr || !platform::ParsePipePath(platform::WideView(lpNamedPipeName), path)) {
        SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    auto deadline = platform::DeadlineAfter(nTimeOut == NMPWAIT_USE_DEFAULT_WAIT ? platform::kDefaultPipeWait : nTimeOut);
    for (;;) {
        std::string host;
        std::vector<platform::PipeOffer> offers;
        DWORD status = platform::CurrentPipeRouterLink()->Open(path.server, path.name, host, offers);
        if (status != ERROR_SUCCESS) {
            SetLastError(status);
            return FALSE;
        }
        DWORD outcome = ERROR_FILE_NOT_FOUND;
        for (const platform::PipeOffer& offer : offers) {
            std::shared_ptr<platform::pipewire::Socket> socket;
            DWORD answer = platform::Knock(host, offer, {}, socket);
            if (answer == ERROR_SUCCESS) {
                SetLastError(ERROR_SUCCESS);
                return TRUE;
            }
            outcome = platform::Combine(outcome, answer);
        }
        if (outcome != ERROR_PIPE_BUSY) {
            SetLastError(outcome);
            return FALSE;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            SetLastError(ERROR_SEM_TIMEOUT);
            return FALSE;
        }
        Sleep(platform::kPipeWaitPoll);
    }
}
