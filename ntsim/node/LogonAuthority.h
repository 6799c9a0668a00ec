#pragma once
// A computer's logon authority: it issues one-time challenges, checks the answers against the
// lab's accounts (and the computer's own SYSTEM account), and says whether the caller may
// administer this computer. The server sides of the families ask it about every caller: the
// service control manager and the pipe router of the computer, its registry, shares, files and
// event log.
#include "platform/LogonProof.h"
#include "platform/lab/LabNetwork.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace ntsim::node {

struct Caller {
    enum class Kind { Anonymous, Account, System };
    Kind kind = Kind::Anonymous;
    std::string account;        // the lab account's name (empty for anonymous and SYSTEM)
    bool administrator = false; // may administer this computer
};

// What the families demand of a caller: ERROR_SUCCESS, or ERROR_ACCESS_DENIED.
DWORD RequireSignedIn(const Caller& caller);      // anyone but an anonymous caller
DWORD RequireAdministrator(const Caller& caller); // an administrator of this computer

class LogonAuthority {
public:
    // `machineKey`: the key of the computer's SYSTEM account.
    LogonAuthority(const platform::lab::LabNetwork& network, std::string computer, platform::logon::Digest machineKey);

    // ERROR_NOT_ENOUGH_MEMORY only when the system has no random numbers to give.
    DWORD IssueChallenge(platform::logon::Challenge& out);

    // A null session (empty account) is an anonymous caller. Otherwise the challenge must be
    // one this authority issued, not used before and not older than kChallengeLifetime; the
    // account must exist and the response match its password: else ERROR_LOGON_FAILURE.
    DWORD Authenticate(const platform::logon::Proof& proof, Caller& out);

    bool IsAdministrator(std::string_view account) const;

    static constexpr DWORD kChallengeLifetime = 60000; // program milliseconds
    static constexpr std::size_t kMaxOutstanding = 1024;

private:
    struct Outstanding {
        platform::logon::Nonce nonce;
        DWORD issuedAt;
    };

    const platform::lab::LabNetwork& m_network;
    std::string m_computer;
    platform::logon::Digest m_machineKey;
    std::mutex m_mutex;
    std::uint64_t m_nextId;
    std::map<std::uint64_t, Outstanding> m_outstanding;
};

} // namespace ntsim::node
