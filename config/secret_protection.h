#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// Protects a secret that must be recovered later (the certificate file's
// password) with AES-256-GCM under the per-user key file (SecretKeyFilePath),
// created on first use. The protected form is the lower-case hex of
// magic, version, nonce, ciphertext and tag. Nothing on failure.
std::optional<std::string> ProtectSecret(std::string_view bytes);

// The clear bytes, or nothing when the text is not hexadecimal, not ours, was
// made under another key, or was altered.
std::optional<std::string> UnprotectSecret(std::string_view text);

// The same with an explicit key file.
std::optional<std::string> ProtectSecretWithKey(const std::string& keyFile, std::string_view bytes);
std::optional<std::string> UnprotectSecretWithKey(const std::string& keyFile,
                                                  std::string_view text);

} // namespace Velto::Corvane
