#include "ntsim/node/LogonAuthority.h"

#include "platform/AsciiCase.h"
#include "platform/Clock.h"
#include "platform/Utf16.h"
#include "platform/WinError.h"

namespace ntsim::node {

namespace logon = platform::logon;

DWORD RequireSignedIn(const Caller& caller) {
    return caller.kind == Caller::Kind::Anonymous ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

DWORD RequireAdministrator(const Caller& caller) {
    return caller.administrator ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LogonAuthority::LogonAuthority(const platform::lab::LabNetwork& network, std::string computer, logon::Digest machineKey)
    : m_network(network), m_computer(std::move(computer)), m_machineKey(machineKey), m_nextId(0) {
    // Start the ids at a random point so that a restarted ntnode does not accept answers to
    // challenges of its earlier run.
    std::uint8_t seed[8];
    if (logon::RandomBytes(seed, sizeof seed)) {
        for (std::uint8_t byte : seed) {
            m_nextId = (m_nextId << 8) | byte;
        }
    }
}

DWORD LogonAuthority::IssueChallenge(logon::Challenge& out) {
    logon::Challenge challenge;
    if (!logon::RandomBytes(challenge.nonce.data(), challenge.nonce.size())) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    std::lock_guard lock(m_mutex);
    DWORD now = GetTickCount();
    while (!m_outstanding.empty() &&
           (m_outstanding.size() >= kMaxOutstanding || now - m_outstanding.begin()->second.issuedAt > kChallengeLifetime)) {
        m_outstanding.erase(m_outstanding.begin()); // the oldest goes first
    }
    challenge.id = ++m_nextId;
    m_outstanding[challenge.id] = {challenge.nonce, now};
    out = challenge;
    return ERROR_SUCCESS;
}

DWORD LogonAuthority::Authenticate(const logon::Proof& proof, Caller& out) {
    if (proof.account.empty()) {
        out = Caller{};
        return ERROR_SUCCESS;
    }
    logon::Challenge challenge;
    {
        std::lock_guard lock(m_mutex);
        auto found = m_outstanding.find(proof.challengeId);
        if (found == m_outstanding.end()) {
            return ERROR_LOGON_FAILURE;
        }
        bool expired = GetTickCount() - found->second.issuedAt > kChallengeLifetime;
        challenge = {found->first, found->second.nonce};
        m_outstanding.erase(found); // one answer per challenge, right or wrong
        if (expired) {
            return ERROR_LOGON_FAILURE;
        }
    }
    std::u16string computer = platform::ToUtf16(m_computer);
    if (platform::EqualsIgnoreCase(proof.account, logon::kSystemAccount)) {
        if (!logon::DigestsEqual(proof.response, logon::ComputeResponse(m_machineKey, challenge, proof.account, computer))) {
            return ERROR_LOGON_FAILURE;
        }
        out = Caller{Caller::Kind::System, "", true};
        return ERROR_SUCCESS;
    }
    std::optional<std::string> name = platform::Utf16ToUtf8(proof.account);
    const platform::lab::AccountDef* account = name ? m_network.FindAccount(*name) : nullptr;
    if (account == nullptr) {
        return ERROR_LOGON_FAILURE;
    }
    logon::Digest key = logon::PasswordHash(platform::ToUtf16(account->password));
    if (!logon::DigestsEqual(proof.response, logon::ComputeResponse(key, challenge, proof.account, computer))) {
        return ERROR_LOGON_FAILURE;
    }
    out = Caller{Caller::Kind::Account, account->name, m_network.Administers(*account, m_computer)};
    return ERROR_SUCCESS;
}

bool LogonAuthority::IsAdministrator(std::string_view account) const {
    if (platform::EqualsIgnoreCase(account, "SYSTEM")) {
        return true;
    }
    const platform::lab::AccountDef* found = m_network.FindAccount(account);
    return found != nullptr && m_network.Administers(*found, m_computer);
}

} // namespace ntsim::node
