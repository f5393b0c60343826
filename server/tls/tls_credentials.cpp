#include "server/tls/tls_credentials.h"

#include "base/utf.h"
#include "server/cert/openssl_library.h"
#include "server/cert/thumbprint.h"
#include "server/tls/local_certificate.h"
#include "server/tls/tls_log.h"
#include "server/tls/tls_results.h"

#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace Velto::Net {
namespace {

constexpr int kSecurityLevel = 2;
// TLS 1.2 suites: forward secrecy and AEAD only. TLS 1.3 keeps its defaults.
constexpr const char* kTls12Ciphers =
    "ECDHE+AESGCM:ECDHE+CHACHA20:DHE+AESGCM:DHE+CHACHA20:!aNULL:!eNULL:!PSK:!SRP";
constexpr std::size_t kMaxCertificateList = kTlsBufferCeiling;

// The peer's certificate is checked once the handshake is done (with the
// pin or the chain rules of this layer), so the engine accepts it as is.
int AcceptAnyPeerCertificate(int, X509_STORE_CTX*) {
    return 1;
}

SslCtxPtr NewContext(const TlsConfig& config, const LocalCertificate& local) {
    const bool server = config.role == TlsRole::Server;
    SslCtxPtr context(SSL_CTX_new_ex(TlsLibraryContext(), nullptr,
                                     server ? TLS_server_method() : TLS_client_method()));
    if (!context)
        return nullptr;
    SSL_CTX* ctx = context.get();
    // Everything the system's configuration could have changed is set here.
    if (SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION) != 1 ||
        SSL_CTX_set_max_proto_version(ctx, TLS1_3_VERSION) != 1)
        return nullptr;
    SSL_CTX_set_security_level(ctx, kSecurityLevel);
    SSL_CTX_set_options(ctx, SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_COMPRESSION |
                                 SSL_OP_CIPHER_SERVER_PREFERENCE);
    SSL_CTX_clear_options(ctx, SSL_OP_LEGACY_SERVER_CONNECT |
                                   SSL_OP_ALLOW_UNSAFE_LEGACY_RENEGOTIATION |
                                   SSL_OP_ALLOW_CLIENT_RENEGOTIATION);
    if (SSL_CTX_set_cipher_list(ctx, kTls12Ciphers) != 1)
        return nullptr;
    SSL_CTX_set_dh_auto(ctx, 1);
    SSL_CTX_set_max_cert_list(ctx, static_cast<long>(kMaxCertificateList));
    // We present exactly the certificate and the chain we were given; no
    // chain building against an empty store on every handshake.
    SSL_CTX_set_mode(ctx, SSL_MODE_NO_AUTO_CHAIN);

    if (local.certificate && local.key) {
        if (SSL_CTX_use_certificate(ctx, local.certificate.get()) != 1 ||
            SSL_CTX_use_PrivateKey(ctx, local.key.get()) != 1 ||
            SSL_CTX_check_private_key(ctx) != 1)
            return nullptr;
        if (local.chain) {
            for (int i = 0; i < sk_X509_num(local.chain.get()); ++i)
                if (SSL_CTX_add1_chain_cert(ctx, sk_X509_value(local.chain.get(), i)) != 1)
                    return nullptr;
        }
    }
    if (server && config.requireClientCertificate)
        SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER | SSL_VERIFY_CLIENT_ONCE, AcceptAnyPeerCertificate);
    else
        SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    return context;
}

// The common name, else the first organisational entry, else the first entry.
std::u16string SimpleDisplayName(X509* certificate) {
    const X509_NAME* subject = X509_get_subject_name(certificate);
    if (subject == nullptr || X509_NAME_entry_count(subject) == 0)
        return {};
    int index = -1;
    for (const int nid : {NID_commonName, NID_organizationalUnitName, NID_organizationName}) {
        index = X509_NAME_get_index_by_NID(subject, nid, -1);
        if (index >= 0)
            break;
    }
    if (index < 0)
        index = 0;
    const ASN1_STRING* value = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, index));
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, value);
    const OpenSslBytesPtr owned(utf8);
    if (length < 0)
        return {};
    return Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(owned.get()),
                                        static_cast<std::size_t>(length)));
}

} // namespace

Result AcquireSchannelCreds(const TlsConfig& config,
                            std::shared_ptr<const TlsCredentials>& credentials) {
    credentials.reset();
    LocalCertificate local = LoadLocalCertificate(config);
    const bool server = config.role == TlsRole::Server;
    if (server && (!local.certificate || !local.key)) {
        LogTls(LogLevel::Error, "server has no usable certificate (thumbprint/PFX)");
        return kSecNoCredentials;
    }
    SslCtxPtr context = NewContext(config, local);
    if (!context) {
        // A certificate the engine refuses (a key too weak for the security
        // level, a key that does not belong to it) is no usable certificate.
        const std::string errors = TakeOpenSslErrors();
        LogTls(LogLevel::Debug, errors);
        const Result code = local.certificate ? kSecNoCredentials : kSecInternalError;
        LogFailure("[Tls] AcquireCredentialsHandle", code);
        return code;
    }
    struct Constructible : TlsCredentials {};
    std::shared_ptr<TlsCredentials> created = std::make_shared<Constructible>();
    created->m_config = config;
    // The password is not needed after loading; the copy must not keep it.
    created->m_config.pfxPassword.assign(created->m_config.pfxPassword.size(), u'\0');
    created->m_config.pfxPassword.clear();
    created->m_localCert = std::move(local.certificate);
    created->m_cred = std::move(context);
    credentials = std::move(created);
    return kOk;
}

CertificateInfo ReadCertificateInfo(const TlsConfig& config) {
    const LocalCertificate local = LoadLocalCertificate(config);
    CertificateInfo info;
    if (!local.certificate)
        return info;
    info.sha256 = Sha256Text(local.certificate.get());
    info.ok = !info.sha256.empty();
    info.subject = SimpleDisplayName(local.certificate.get());
    return info;
}

} // namespace Velto::Net
