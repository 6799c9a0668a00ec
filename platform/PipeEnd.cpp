#include "platform/PipeEnd.h"

#include "platform/WinError.h"

#include <algorithm>
#include <cstring>
#include <poll.h>

namespace platform {

DWORD PipeEnd::Read(void* buffer, DWORD size, DWORD& read, bool messageMode) {
    read = 0;
    std::lock_guard lock(m_readMutex);
    if (!m_partial) {
        switch (pipewire::ReadMessage(m_socket->Fd(), m_message)) {
        case pipewire::ReadResult::Message: break;
        case pipewire::ReadResult::Closed: return ERROR_BROKEN_PIPE;
        case pipewire::ReadResult::Malformed: m_socket->Shutdown(); return ERROR_INVALID_DATA;
        }
        m_offset = 0;
        m_partial = true;
    }
    std::size_t left = m_message.size() - m_offset;
    std::size_t take = std::min<std::size_t>(left, size);
    if (take > 0) {
        std::memcpy(buffer, m_message.data() + m_offset, take);
    }
    m_offset += take;
    read = static_cast<DWORD>(take);
    m_partial = m_offset < m_message.size();
    return messageMode && m_partial ? ERROR_MORE_DATA : ERROR_SUCCESS;
}

bool PipeEnd::PeerClosed() const {
    pollfd entry{m_socket->Fd(), POLLRDHUP, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

DWORD PipeEnd::Write(const void* data, DWORD size, DWORD& written) {
    written = 0;
    if (size > pipewire::kMaxMessage) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(m_writeMutex);
    // The ends never half-close: once the other end has closed, nothing written can be read.
    if (PeerClosed() || !pipewire::WriteMessage(m_socket->Fd(), {static_cast<const std::uint8_t*>(data), size})) {
        return ERROR_NO_DATA;
    }
    written = size;
    return ERROR_SUCCESS;
}

} // namespace platform
