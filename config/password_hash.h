#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// The iteration count every new hash uses.
constexpr std::uint32_t kPasswordIterations = 600000;
// Verification refuses larger counts, which bounds the cost of one check.
constexpr std::uint32_t kMaxPasswordIterations = 10000000;

// "pbkdf2-sha256$<iterations>$<salt hex>$<key hex>" with a fresh 16-byte salt and a
// 32-byte PBKDF2-HMAC-SHA256 key; empty on failure.
std::string HashPassword(std::string_view password, std::uint32_t iterations);

// True only for a well-formed hash text whose key the password derives to.
bool VerifyPassword(std::string_view hash, std::string_view password);

} // namespace Velto::Corvane
