#pragma once
// Reading whole fragments from a connection: the header first, then exactly frag_length bytes,
// after checking frag_length against the largest fragment this side accepts.
#include "platform/rpc/PduHeader.h"
#include "platform/rpc/Transport.h"

namespace rpc {

enum class FragmentRead {
    Ok,
    Closed,
    Interrupted,
    Malformed, // a header that is refused, or a fragment longer than allowed
};

// Reads the next fragment into `fragment` (resized to it); `interruptFd` and `timeoutMs` as for
// Connection::Read. When Malformed, `fragment` holds the 16 header bytes that were read, so
// that a bind of another version can still be answered.
FragmentRead ReadFragment(Connection& connection, std::size_t maxFragment, int interruptFd, int timeoutMs,
                          Bytes& fragment);

} // namespace rpc
