#pragma once

#include "base/openssl_handles.h"
#include "base/result.h"
#include "server/tls/tls_config.h"

#include <memory>
#include <string>

namespace Velto::Net {

// Acquired once per server run and shared, read-only, by every connection.
class TlsCredentials {
public:
    TlsCredentials(const TlsCredentials&) = delete;
    TlsCredentials& operator=(const TlsCredentials&) = delete;

    const TlsConfig& Config() const { return m_config; }
    // The local certificate, or null in the client role without one.
    X509* LocalCertificate() const { return m_localCert.get(); }
    SSL_CTX* Context() const { return m_cred.get(); }

private:
    friend Result AcquireSchannelCreds(const TlsConfig& config,
                                       std::shared_ptr<const TlsCredentials>& credentials);

protected:
    TlsCredentials() = default;

private:
    TlsConfig m_config;
    X509Ptr m_localCert;
    SslCtxPtr m_cred;
};

// Builds the credentials for `config`: the local certificate (PFX, store or
// automatic) and a TLS 1.2/1.3 context. A server without a usable certificate
// gives 0x8009030E.
Result AcquireSchannelCreds(const TlsConfig& config,
                            std::shared_ptr<const TlsCredentials>& credentials);

struct CertificateInfo {
    bool ok{false};
    std::u16string sha256;  // 64 lower-case hexadecimal digits
    std::u16string subject; // simple display name (the common name)
};

// Looks the local certificate of `config` up the way credentials would and
// describes it.
CertificateInfo ReadCertificateInfo(const TlsConfig& config);

} // namespace Velto::Net
