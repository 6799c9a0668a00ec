#include "platform/PipeTicket.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>

namespace platform {
namespace {

// registration (8, little-endian) | nonce (16) | has account (1) | account length in
// characters (2) | account, UTF-16LE | HMAC-SHA-256 over everything before it (32)
constexpr std::size_t kFixedPart = 8 + 16 + 1 + 2;
constexpr std::size_t kMacSize = 32;
constexpr std::size_t kMaxAccount = (kMaxPipeTicket - kFixedPart - kMacSize) / 2;

logon::Digest Seal(const PipeSecret& secret, std::span<const std::uint8_t> body) {
    logon::Digest mac{};
    unsigned int length = 0;
    HMAC(EVP_sha256(), secret.data(), static_cast<int>(secret.size()), body.data(), body.size(), mac.data(), &length);
    return mac;
}

} // namespace

std::vector<std::uint8_t> MakePipeTicket(const PipeSecret& secret, std::uint64_t registration,
                                         const PipeOpener& opener) {
    std::u16string account = opener.account.value_or(u"");
    if (account.size() > kMaxAccount) {
        return {};
    }
    std::vector<std::uint8_t> ticket;
    for (int i = 0; i < 8; ++i) {
        ticket.push_back(static_cast<std::uint8_t>(registration >> (8 * i)));
    }
    std::uint8_t nonce[16];
    if (!logon::RandomBytes(nonce, sizeof nonce)) {
        return {};
    }
    ticket.insert(ticket.end(), nonce, nonce + sizeof nonce);
    ticket.push_back(opener.account ? 1 : 0);
    ticket.push_back(static_cast<std::uint8_t>(account.size()));
    ticket.push_back(static_cast<std::uint8_t>(account.size() >> 8));
    for (char16_t c : account) {
        ticket.push_back(static_cast<std::uint8_t>(c));
        ticket.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    logon::Digest mac = Seal(secret, ticket);
    ticket.insert(ticket.end(), mac.begin(), mac.end());
    return ticket;
}

bool PipeTicketChecker::Check(std::span<const std::uint8_t> ticket, PipeOpener& opener) {
    if (ticket.size() < kFixedPart + kMacSize || ticket.size() > kMaxPipeTicket) {
        return false;
    }
    std::size_t accountLength = ticket[25] | (static_cast<std::size_t>(ticket[26]) << 8);
    if (ticket.size() != kFixedPart + 2 * accountLength + kMacSize || ticket[24] > 1) {
        return false;
    }
    std::span<const std::uint8_t> body = ticket.first(ticket.size() - kMacSize);
    logon::Digest mac = Seal(m_secret, body);
    if (CRYPTO_memcmp(mac.data(), ticket.data() + body.size(), kMacSize) != 0) {
        return false;
    }
    std::uint64_t registration = 0;
    for (int i = 0; i < 8; ++i) {
        registration |= static_cast<std::uint64_t>(ticket[i]) << (8 * i);
    }
    if (registration != m_registration) {
        return false;
    }
    Nonce nonce;
    std::copy_n(ticket.begin() + 8, nonce.size(), nonce.begin());
    {
        std::lock_guard lock(m_mutex);
        if (!m_seen.insert(nonce).second) {
            return false;
        }
        m_order.push_back(nonce);
        if (m_order.size() > kRememberedNonces) {
            m_seen.erase(m_order.front());
            m_order.pop_front();
        }
    }
    opener.account.reset();
    if (ticket[24] == 1) {
        std::u16string account(accountLength, u'\0');
        for (std::size_t i = 0; i < accountLength; ++i) {
            account[i] = static_cast<char16_t>(ticket[kFixedPart + 2 * i] | (ticket[kFixedPart + 2 * i + 1] << 8));
        }
        opener.account = std::move(account);
    }
    return true;
}

} // namespace platform
