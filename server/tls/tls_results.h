#pragma once

#include "base/result.h"

#include <cstdint>

namespace Velto::Net {

// Result codes of the TLS layer, in the form callers and users know them.
constexpr Result kSecUnsupportedFunction = static_cast<Result>(0x80090302u);
constexpr Result kSecNoCredentials = static_cast<Result>(0x8009030Eu);
constexpr Result kSecIllegalMessage = static_cast<Result>(0x80090326u);
constexpr Result kSecDecryptFailure = static_cast<Result>(0x80090330u);
constexpr Result kSecAlgorithmMismatch = static_cast<Result>(0x80090331u);
constexpr Result kSecInternalError = static_cast<Result>(0x80090304u);
constexpr Result kInvalidPassword = static_cast<Result>(0x80070056u);
constexpr Result kConnectionReset = static_cast<Result>(0x80072746u);
constexpr Result kCertExpired = static_cast<Result>(0x800B0101u);
constexpr Result kCertUntrustedRoot = static_cast<Result>(0x800B0109u);
constexpr Result kCertChaining = static_cast<Result>(0x800B010Au);
constexpr Result kCertNameMismatch = static_cast<Result>(0x800B010Fu);
constexpr Result kCertWrongUsage = static_cast<Result>(0x800B0110u);
constexpr Result kCertRevoked = static_cast<Result>(0x80092010u);
constexpr Result kCertBadSignature = static_cast<Result>(0x80096004u);

// Every buffer that grows with what the peer sends stops here.
constexpr std::size_t kTlsBufferCeiling = 131072;
// Ciphertext pulled from the inner connection per receive.
constexpr std::size_t kTlsReadChunk = 16384;

} // namespace Velto::Net
