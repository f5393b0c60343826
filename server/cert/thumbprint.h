#pragma once

#include <openssl/x509.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Net {

constexpr std::size_t kSha1Size = 20;
constexpr std::size_t kSha256Size = 32;

// Hexadecimal thumbprint text to bytes. Spaces, tabs and colons are dropped;
// the rest must be a non-empty, even-length run of hexadecimal digits.
std::optional<std::vector<std::uint8_t>> ParseThumbprintText(std::u16string_view text);

// Hash of the certificate's DER encoding ("SHA1" or "SHA256").
std::optional<std::vector<std::uint8_t>> CertificateHash(X509* certificate, const char* digest);

// Lower-case hexadecimal SHA-256 of the certificate; empty when it cannot be read.
std::u16string Sha256Text(X509* certificate);

} // namespace Velto::Net
