#pragma once

#include "base/openssl_handles.h"
#include "server/tls/tls_config.h"

namespace Velto::Net {

// The certificate (and its key, when there is one) a TLS endpoint presents.
struct LocalCertificate {
    X509Ptr certificate;
    EvpPkeyPtr key;
    X509StackPtr chain; // further certificates from a PFX
};

// The biggest PFX file that is read.
constexpr std::size_t kMaxPfxBytes = 64u << 20;
constexpr int kAutoCertificateKeyBits = 2048;
constexpr std::int64_t kAutoCertificateLifetimeSeconds = 365LL * 24 * 3600;

// Looks the local certificate up: the PFX file, else the stored certificate
// with the thumbprint, else (server role) the automatic certificate. The
// certificate is null when none is found.
LocalCertificate LoadLocalCertificate(const TlsConfig& config);

} // namespace Velto::Net
