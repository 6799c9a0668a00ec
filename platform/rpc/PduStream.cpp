#include "platform/rpc/PduStream.h"

#include "platform/WinError.h"

namespace rpc {
namespace {

FragmentRead FromIo(IoResult result) {
    return result == IoResult::Interrupted ? FragmentRead::Interrupted : FragmentRead::Closed;
}

} // namespace

FragmentRead ReadFragment(Connection& connection, std::size_t maxFragment, int interruptFd, int timeoutMs,
                          Bytes& fragment) {
    fragment.resize(pdu::kCommonHeaderSize);
    IoResult result = connection.Read(fragment, interruptFd, timeoutMs);
    if (result != IoResult::Ok) {
        return FromIo(result);
    }
    pdu::CommonHeader header;
    if (pdu::DecodeCommonHeader(fragment, header) != RPC_S_OK || header.fragLength > maxFragment) {
        return FragmentRead::Malformed;
    }
    fragment.resize(header.fragLength);
    result = connection.Read(std::span(fragment).subspan(pdu::kCommonHeaderSize), interruptFd, timeoutMs);
    return result == IoResult::Ok ? FragmentRead::Ok : FromIo(result);
}

} // namespace rpc
