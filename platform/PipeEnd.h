#pragma once
// One connected end of a named pipe, server's or client's: whole messages on the connection,
// read in message mode (a message at a time, ERROR_MORE_DATA for one larger than the buffer,
// its rest on the next read) or in byte mode (what the buffer holds, messages not merged).
#include "platform/PipeWire.h"
#include "platform/WinTypes.h"

#include <memory>
#include <mutex>
#include <vector>

namespace platform {

class PipeEnd {
public:
    explicit PipeEnd(std::shared_ptr<pipewire::Socket> socket) : m_socket(std::move(socket)) {}

    // ERROR_BROKEN_PIPE once the other end has closed; ERROR_INVALID_DATA for a malformed message.
    DWORD Read(void* buffer, DWORD size, DWORD& read, bool messageMode);
    // ERROR_NO_DATA once the other end has closed.
    DWORD Write(const void* data, DWORD size, DWORD& written);
    // True once the other end has closed its side.
    bool PeerClosed() const;
    // Ends the connection; reads and writes in progress return.
    void Shutdown() { m_socket->Shutdown(); }

private:
    std::shared_ptr<pipewire::Socket> m_socket;
    std::mutex m_readMutex;
    std::mutex m_writeMutex;
    std::vector<std::uint8_t> m_message; // the message being read
    std::size_t m_offset = 0;            // how much of it has been read
    bool m_partial = false;              // part of m_message is still to be read
};

} // namespace platform
