#include "platform/LogonProof.h"

#include "platform/AsciiCase.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <vector>

namespace platform::logon {
namespace {

void AppendUtf16Le(std::vector<std::uint8_t>& out, std::u16string_view text) {
    for (char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
}

} // namespace

Digest PasswordHash(std::u16string_view password) {
    std::vector<std::uint8_t> bytes;
    AppendUtf16Le(bytes, password);
    Digest digest{};
    SHA256(bytes.data(), bytes.size(), digest.data());
    return digest;
}

Digest ComputeResponse(const Digest& key, const Challenge& challenge, std::u16string_view account,
                       std::u16string_view computer) {
    std::vector<std::uint8_t> message;
    for (int i = 0; i < 8; ++i) {
        message.push_back(static_cast<std::uint8_t>(challenge.id >> (8 * i)));
    }
    message.insert(message.end(), challenge.nonce.begin(), challenge.nonce.end());
    AppendUtf16Le(message, ToUpper(account));
    message.insert(message.end(), {0, 0});
    AppendUtf16Le(message, ToUpper(computer));
    message.insert(message.end(), {0, 0});
    Digest digest{};
    unsigned int length = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), message.data(), message.size(), digest.data(), &length);
    return digest;
}

bool DigestsEqual(const Digest& a, const Digest& b) { return CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0; }

bool RandomBytes(std::uint8_t* out, std::size_t size) { return RAND_bytes(out, static_cast<int>(size)) == 1; }

} // namespace platform::logon
