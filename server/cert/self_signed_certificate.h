#pragma once

#include "base/clock.h"
#include "base/result.h"
#include "server/cert/cert_store.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// Names given to the server's own certificate and its key.
struct CertificateNames {
    std::u16string keyNamePrefix; // e.g. "VeltoCorvane-Server-"
    std::u16string subject;       // e.g. "CN=VeltoCorvane"
    std::u16string friendlyName;  // e.g. "VeltoCorvane"
};

struct CertificateThumbprints {
    std::u16string sha1;   // 40 lower-case hexadecimal digits
    std::u16string sha256; // 64 lower-case hexadecimal digits
    FileTime notAfter{0};
};

// Lifetime of a new certificate around its creation time, and how long a
// stored one must still be valid to be reused.
constexpr std::int64_t kCertificateBackdateSeconds = 24 * 3600;
constexpr std::int64_t kCertificateLifetimeSeconds = 820LL * 24 * 3600;
constexpr std::int64_t kCertificateRenewalMarginSeconds = 30LL * 24 * 3600;
constexpr int kServerKeyBits = 2048;

// Reuses the stored certificate named by `configuredSha1` while it is valid
// for more than 30 more days and its key is present; otherwise creates a new
// one and deletes the replaced certificate and key. `storeDirectory` is the
// per-user store (certs/ and keys/ inside it).
Result EnsureSelfSignedCertificate(const std::filesystem::path& storeDirectory,
                                   std::u16string_view configuredSha1,
                                   const CertificateNames& names, CertificateThumbprints& result,
                                   FileTime now = NowFileTime());

// A new RSA-2048 key and a certificate for "localhost" (server authentication)
// valid from now - 1 day to now + 820 days, both stored.
Result CreateSelfSignedCertificate(const std::filesystem::path& storeDirectory,
                                   const CertificateNames& names, CertificateThumbprints& result,
                                   FileTime now = NowFileTime());

// The certificate whose SHA-1 is the 40-digit `sha1Text`, or nullopt.
std::optional<Net::StoredCertificate>
FindCertificateByThumbprint(const Net::CertificateStore& store, std::u16string_view sha1Text);

// The name of the stored key behind the certificate; empty when it has none.
std::u16string CertificateKeyName(const Net::StoredCertificate& certificate);

// Both hashes of the certificate's DER encoding and its expiry.
bool ReadThumbprints(const Net::StoredCertificate& certificate, CertificateThumbprints& result);

// Removes the certificate and its key. True when the certificate is not in
// the store afterwards; false when the store cannot be opened or the
// certificate cannot be removed.
bool DeleteCertificateByThumbprint(const std::filesystem::path& storeDirectory,
                                   std::u16string_view sha1Text);

// "ab01..." -> "AB:01:..." (upper case, a colon between digit pairs).
std::u16string FormatFingerprint(std::u16string_view hex);

} // namespace Velto::Corvane
