#include "server/tls/peer_validation.h"

#include "base/openssl_handles.h"
#include "base/utf.h"
#include "server/cert/openssl_library.h"
#include "server/cert/thumbprint.h"
#include "server/tls/tls_log.h"
#include "server/tls/tls_results.h"

#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <algorithm>

namespace Velto::Net {
namespace {

Result FromVerifyError(int error) {
    switch (error) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return kCertExpired;
    case X509_V_ERR_HOSTNAME_MISMATCH:
        return kCertNameMismatch;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_CERT_UNTRUSTED:
        return kCertUntrustedRoot;
    case X509_V_ERR_INVALID_PURPOSE:
        return kCertWrongUsage;
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
        return kCertBadSignature;
    case X509_V_ERR_CERT_REVOKED:
        return kCertRevoked;
    default:
        return kCertChaining;
    }
}

Result ValidateAgainstPin(const TlsConfig& config, X509* peer) {
    const auto pin = ParseThumbprintText(config.pin);
    if (!pin) {
        LogTls(LogLevel::Error, "certificate pin is not valid hex");
        return kInvalidArg;
    }
    if (pin->size() != kSha256Size) {
        LogTls(LogLevel::Error,
               "certificate pin must be a full SHA-256 thumbprint (32 bytes / 64 hex digits)");
        return kInvalidArg;
    }
    const auto actual = CertificateHash(peer, "SHA256");
    if (!actual)
        return kFail;
    if (!std::equal(actual->begin(), actual->end(), pin->begin(), pin->end())) {
        LogTls(LogLevel::Error, "peer cert thumbprint did not match pin");
        return kCertUntrustedRoot;
    }
    return kOk;
}

} // namespace

Result ValidatePeerCertificate(const TlsConfig& config, bool localIsServer, X509* peer,
                               STACK_OF(X509) * untrusted) {
    if (peer == nullptr) {
        LogTls(LogLevel::Error, "peer presented no certificate");
        return kSecNoCredentials;
    }
    if (!config.pin.empty())
        return ValidateAgainstPin(config, peer);
    if (!localIsServer && config.TargetName.empty()) {
        LogTls(LogLevel::Error, "chain validation needs a server name (TlsConfig::TargetName)");
        return kInvalidArg;
    }

    OSSL_LIB_CTX* library = TlsLibraryContext();
    // The context refers to the store, so it is declared after it and freed first.
    const X509StorePtr trust(X509_STORE_new());
    const X509StoreCtxPtr verify(X509_STORE_CTX_new_ex(library, nullptr));
    Result result = kFail;
    bool ready =
        trust && verify && X509_STORE_set_default_paths_ex(trust.get(), library, nullptr) == 1;
    if (ready && !config.trustedCaFile.empty())
        ready = X509_STORE_load_file_ex(trust.get(), config.trustedCaFile.c_str(), library,
                                        nullptr) == 1;
    if (ready)
        ready = X509_STORE_CTX_init(verify.get(), trust.get(), peer, untrusted) == 1;
    if (ready) {
        X509_STORE_CTX_set_purpose(verify.get(), localIsServer ? X509_PURPOSE_SSL_CLIENT
                                                               : X509_PURPOSE_SSL_SERVER);
        if (!localIsServer) {
            const std::string host = Utf16ToUtf8(config.TargetName);
            X509_VERIFY_PARAM_set1_host(X509_STORE_CTX_get0_param(verify.get()), host.c_str(),
                                        host.size());
        }
        // Revocation lists are not consulted: nothing on this system provides
        // them, which is the situation the offline fallback accepts.
        if (X509_verify_cert(verify.get()) == 1) {
            result = kOk;
        } else {
            const int error = X509_STORE_CTX_get_error(verify.get());
            result = FromVerifyError(error);
            LogTls(LogLevel::Debug, X509_verify_cert_error_string(error));
            LogFailure("[Tls] peer chain validation failed", result);
        }
    } else {
        LogFailure("[Tls] peer chain validation failed", result);
    }
    TakeOpenSslErrors();
    return result;
}

} // namespace Velto::Net
