#pragma once
// The ticket with which a client enters a named pipe. The pipe's server gives its computer's
// ntnode a secret when it registers the pipe; ntnode, having checked who opens the pipe, hands
// the opener a ticket naming that identity and sealed with HMAC-SHA-256 under the secret. The
// server checks the seal, so that the identity it learns is the one ntnode authenticated and
// not one the opener claims. Each ticket carries a random nonce and enters once.
#include "platform/LogonProof.h"
#include "platform/WinTypes.h"

#include <array>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace platform {

using PipeSecret = logon::Digest;

// The opener as ntnode authenticated it: an account, or nobody (a null session).
struct PipeOpener {
    std::optional<std::u16string> account;
    friend bool operator==(const PipeOpener&, const PipeOpener&) = default;
};

inline constexpr std::size_t kMaxPipeTicket = 1024;

// The ticket for `opener` to pipe registration `registration`; empty when the system has no
// random numbers or the account name is too long for a ticket.
std::vector<std::uint8_t> MakePipeTicket(const PipeSecret& secret, std::uint64_t registration,
                                         const PipeOpener& opener);

// Checks tickets for one registration and remembers the nonces it has let in.
class PipeTicketChecker {
public:
    PipeTicketChecker(const PipeSecret& secret, std::uint64_t registration)
        : m_secret(secret), m_registration(registration) {}

    // True (with `opener` set) for a well-formed ticket of this registration whose seal holds
    // and whose nonce has not entered before.
    bool Check(std::span<const std::uint8_t> ticket, PipeOpener& opener);

private:
    static constexpr std::size_t kRememberedNonces = 4096;
    using Nonce = std::array<std::uint8_t, 16>;

    PipeSecret m_secret;
    std::uint64_t m_registration;
    std::mutex m_mutex;
    std::set<Nonce> m_seen;
    std::deque<Nonce> m_order;
};

} // namespace platform
