#pragma once
// Reading whole fragments from a connection: the header first, then exactly frag_length bytes,
// after checking frag_length against the largest fragment this side accepts.
#include "platform/rpc/PduHeader.h"
#include "platform/rpc/Transport.h"

namespace rpc {

enum class FragmentRead {
    Ok,
    Closed,      // closed or broken, or a fragment that stopped arriving half-way
    Interrupted, // `interruptFd` became readable first
    Malformed,   // a header that is refused, or a fragment longer than allowed
};

// Reads the next fragment into `fragment` (resized to it). The first byte may be waited for as
// long as it takes; once a fragment has begun, the rest must follow within a bounded time, so
// that a peer stopping half-way holds up nothing but its own connection. When Malformed,
// `fragment` holds the 16 header bytes that were read, so that a bind of another version can
// still be answered.
FragmentRead ReadFragment(Connection& connection, std::size_t maxFragment, int interruptFd, Bytes& fragment);

} // namespace rpc
