#pragma once
// The lab's logon: challenge and response over an account's password hash. A caller asks a
// computer for a challenge (a one-time number and a random nonce), answers it with
// HMAC-SHA-256 keyed with its password hash over the challenge, its account name and the
// computer's name, and sends the account name and that answer; the password itself never
// crosses the wire. Both the computer (ntnode) and the callers (the platform) use this file.
#include "platform/WinTypes.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform::logon {

inline constexpr std::size_t kDigestSize = 32;
using Digest = std::array<std::uint8_t, kDigestSize>;
using Nonce = std::array<std::uint8_t, kDigestSize>;

// The account of a computer's own processes: its key is the computer's machine key.
inline constexpr std::u16string_view kSystemAccount = u"SYSTEM";

struct Challenge {
    std::uint64_t id = 0;
    Nonce nonce{};

    static void Fields(auto& self, auto& visit) {
        visit(self.id);
        visit(self.nonce);
    }
};

// What a caller presents. An empty account is a null session (no credentials at all).
struct Proof {
    std::u16string account;
    std::uint64_t challengeId = 0;
    Digest response{};

    static void Fields(auto& self, auto& visit) {
        visit(self.account);
        visit(self.challengeId);
        visit(self.response);
    }
};

// SHA-256 over the password as UTF-16LE.
Digest PasswordHash(std::u16string_view password);

// HMAC-SHA-256 keyed with `key` over the challenge id (little-endian), the nonce, the account
// name and the computer name (both upper case, UTF-16LE, each closed by a NUL).
Digest ComputeResponse(const Digest& key, const Challenge& challenge, std::u16string_view account,
                       std::u16string_view computer);

// Comparison that takes the same time whatever the contents.
bool DigestsEqual(const Digest& a, const Digest& b);

// Random bytes from the system's generator (false when it fails).
bool RandomBytes(std::uint8_t* out, std::size_t size);

} // namespace platform::logon
