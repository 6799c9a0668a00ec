#include "platform/rpc/PduStream.h"

#include "platform/Clock.h"
#include "platform/WinError.h"

#include <chrono>

namespace rpc {
namespace {

// How long (program time) the rest of a fragment that has begun may take to arrive.
constexpr DWORD kFragmentRestTimeoutMs = 60000;

FragmentRead FromIo(IoResult result, bool begun) {
    if (result == IoResult::Interrupted && !begun) {
        return FragmentRead::Interrupted;
    }
    return FragmentRead::Closed;
}

} // namespace

FragmentRead ReadFragment(Connection& connection, std::size_t maxFragment, int interruptFd, Bytes& fragment) {
    fragment.resize(pdu::kCommonHeaderSize);
    std::span<std::uint8_t> whole(fragment);
    IoResult result = connection.Read(whole.first(1), interruptFd, -1);
    if (result != IoResult::Ok) {
        return FromIo(result, false);
    }
    int restTimeoutMs = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             platform::ScaledDuration(kFragmentRestTimeoutMs))
                                             .count() +
                                         1);
    result = connection.Read(whole.subspan(1), interruptFd, restTimeoutMs);
    if (result != IoResult::Ok) {
        return FromIo(result, true);
    }
    pdu::CommonHeader header;
    if (pdu::DecodeCommonHeader(fragment, header) != RPC_S_OK || header.fragLength > maxFragment) {
        return FragmentRead::Malformed;
    }
    fragment.resize(header.fragLength);
    result = connection.Read(std::span(fragment).subspan(pdu::kCommonHeaderSize), interruptFd, restTimeoutMs);
    return result == IoResult::Ok ? FragmentRead::Ok : FromIo(result, true);
}

} // namespace rpc
