#pragma once

#include "base/result.h"
#include "base/openssl_handles.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace Velto::Net {

// The key storage cannot be used (a key cannot be made or kept).
constexpr Result kKeyProviderUnavailable = static_cast<Result>(0x8009001Eu);

// A certificate from the per-user store with the names kept beside it.
struct StoredCertificate {
    X509Ptr certificate;
    std::string friendlyName; // UTF-8
    std::string keyName;      // UTF-8; names a file in keys/
};

// The user's personal certificate store: one PEM file per certificate in
// certs/ (named by its SHA-1, with the friendly and key names in header
// lines), one PEM private key per key name in keys/. Both folders are 0700,
// every file 0600, and files are replaced atomically.
class CertificateStore {
public:
    // The store in `root`; nullopt when it does not exist (and `create` is
    // false) or cannot be created.
    static std::optional<CertificateStore> Open(const std::filesystem::path& root, bool create);

    std::optional<StoredCertificate> FindBySha1(std::span<const std::uint8_t> sha1) const;
    Result Add(X509* certificate, std::string_view friendlyName, std::string_view keyName) const;
    // True when the certificate is gone afterwards (also when it never existed).
    bool Remove(std::span<const std::uint8_t> sha1) const;

    // The private key stored under `keyName`, or null.
    EvpPkeyPtr LoadKey(std::string_view keyName) const;
    Result SaveKey(std::string_view keyName, EVP_PKEY* key) const;
    bool DeleteKey(std::string_view keyName) const;

    const std::filesystem::path& Root() const { return m_root; }

private:
    explicit CertificateStore(std::filesystem::path root) : m_root(std::move(root)) {}

    std::filesystem::path m_root;
};

// Key names become file names: 1..128 characters of [A-Za-z0-9._-], not
// starting with a dot.
bool IsValidKeyName(std::string_view keyName);

} // namespace Velto::Net
