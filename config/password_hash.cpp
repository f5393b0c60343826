#include "config/password_hash.h"

#include "base/hex.h"
#include "base/system_random.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <array>
#include <charconv>

namespace Velto::Corvane {
namespace {

constexpr std::string_view kScheme = "pbkdf2-sha256";
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kKeyBytes = 32;
constexpr char kSeparator = '$';

using Key = std::array<unsigned char, kKeyBytes>;

bool DeriveKey(std::string_view password, std::string_view salt, std::uint32_t iterations,
               Key& key) {
    return PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                             reinterpret_cast<const unsigned char*>(salt.data()),
                             static_cast<int>(salt.size()), static_cast<int>(iterations),
                             EVP_sha256(), static_cast<int>(key.size()), key.data()) == 1;
}

// A non-empty run of decimal digits that fits 32 bits.
bool ParseIterations(std::string_view text, std::uint32_t& value) {
    if (text.empty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace

std::string HashPassword(std::string_view password, std::uint32_t iterations) {
    // A count outside what verification accepts would store a hash that never matches.
    if (iterations == 0 || iterations > kMaxPasswordIterations)
        return {};
    std::string salt(kSaltBytes, '\0');
    if (!FillRandom(salt.data(), salt.size()))
        return {};
    Key key{};
    if (!DeriveKey(password, salt, iterations, key))
        return {};
    std::string text(kScheme);
    text += kSeparator;
    text += std::to_string(iterations);
    text += kSeparator;
    text += HexEncode(salt);
    text += kSeparator;
    text += HexEncode(std::string_view(reinterpret_cast<const char*>(key.data()), key.size()));
    OPENSSL_cleanse(key.data(), key.size());
    return text;
}

bool VerifyPassword(std::string_view hash, std::string_view password) {
    std::string_view fields[4];
    std::string_view rest = hash;
    for (int i = 0; i < 3; ++i) {
        const std::size_t sep = rest.find(kSeparator);
        if (sep == std::string_view::npos)
            return false;
        fields[i] = rest.substr(0, sep);
        rest.remove_prefix(sep + 1);
    }
    fields[3] = rest;
    if (fields[0] != kScheme)
        return false;
    std::uint32_t iterations = 0;
    if (!ParseIterations(fields[1], iterations) || iterations < 1 ||
        iterations > kMaxPasswordIterations)
        return false;
    const auto salt = HexDecode(fields[2]);
    const auto stored = HexDecode(fields[3]);
    if (!salt || salt->empty() || !stored || stored->size() != kKeyBytes)
        return false;
    Key derived{};
    if (!DeriveKey(password, *salt, iterations, derived))
        return false;
    // Constant time: how long the comparison takes does not tell where the keys differ.
    const bool same = CRYPTO_memcmp(derived.data(), stored->data(), kKeyBytes) == 0;
    OPENSSL_cleanse(derived.data(), derived.size());
    return same;
}

} // namespace Velto::Corvane
