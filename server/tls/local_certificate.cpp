#include "server/tls/local_certificate.h"

#include "base/clock.h"
#include "base/file_util.h"
#include "base/utf.h"
#include "server/cert/cert_store.h"
#include "server/cert/certificate_builder.h"
#include "server/cert/openssl_library.h"
#include "server/cert/thumbprint.h"
#include "server/tls/tls_log.h"
#include "server/tls/tls_results.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/pkcs12.h>

#include <cerrno>
#include <mutex>

namespace Velto::Net {
namespace {

constexpr std::u16string_view kPersonalStore = u"MY";

bool IsPersonalStore(std::u16string_view name) {
    if (name.size() != kPersonalStore.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t c = name[i] >= u'a' && name[i] <= u'z' ? name[i] - u'a' + u'A' : name[i];
        if (c != kPersonalStore[i])
            return false;
    }
    return true;
}

LocalCertificate LoadPfx(const TlsConfig& config) {
    std::string bytes;
    const Result read = ReadWholeFile(Utf16ToUtf8(config.pfxPath), bytes, kMaxPfxBytes);
    if (Failed(read)) {
        LogFailure("[Tls] open PFX", read);
        return {};
    }
    if (bytes.empty())
        return {};

    std::string password = Utf16ToUtf8(config.pfxPassword);
    LocalCertificate local;
    {
        // PKCS #12 parsing takes no library context; lend it ours so the
        // legacy ciphers of older files are available and no system
        // configuration takes part.
        const ScopedDefaultLibraryContext scope;
        const unsigned char* cursor = reinterpret_cast<const unsigned char*>(bytes.data());
        const Pkcs12Ptr pfx(d2i_PKCS12(nullptr, &cursor, static_cast<long>(bytes.size())));
        LocalCertificate parsed;
        Result code = kFail;
        if (pfx) {
            if (PKCS12_mac_present(pfx.get()) &&
                PKCS12_verify_mac(pfx.get(), password.c_str(), -1) != 1 &&
                !(password.empty() && PKCS12_verify_mac(pfx.get(), nullptr, 0) == 1)) {
                code = kInvalidPassword;
            } else {
                EVP_PKEY* key = nullptr;
                X509* certificate = nullptr;
                STACK_OF(X509)* chain = nullptr;
                if (PKCS12_parse(pfx.get(), password.c_str(), &key, &certificate, &chain) == 1)
                    code = kOk;
                // Owned at once, whatever the parse left behind.
                parsed.key.reset(key);
                parsed.certificate.reset(certificate);
                parsed.chain.reset(chain);
            }
        }
        TakeOpenSslErrors();
        if (Failed(code))
            LogFailure("[Tls] PFXImportCertStore", code);
        else if (parsed.key && parsed.certificate) // only a certificate with its key can serve
            local = std::move(parsed);
    }
    OPENSSL_cleanse(password.data(), password.size());
    return local;
}

LocalCertificate LoadFromStore(const TlsConfig& config) {
    const auto sha1 = ParseThumbprintText(config.thumbprint);
    if (!sha1 || !IsPersonalStore(config.storeName))
        return {};
    const auto store = CertificateStore::Open(config.storeDirectory, false);
    if (!store)
        return {};
    auto stored = store->FindBySha1(*sha1);
    if (!stored)
        return {};
    LocalCertificate local;
    local.key = store->LoadKey(stored->keyName);
    local.certificate = std::move(stored->certificate);
    return local;
}

// Made on first use and kept until the process ends, like the key it uses.
struct AutomaticCertificate {
    std::mutex mutex; // guards certificate and key
    X509Ptr certificate;
    EvpPkeyPtr key;
};

AutomaticCertificate& AutomaticInstance() {
    static AutomaticCertificate* const instance = [] {
        static AutomaticCertificate automatic;
        return &automatic;
    }();
    return *instance;
}

LocalCertificate LoadAutomatic(const TlsConfig& config) {
    if (config.autoKeyName.empty() || config.autoSubject.empty()) {
        LogTls(LogLevel::Error, "automatic server certificate needs a key name and a subject");
        return {};
    }
    AutomaticCertificate& automatic = AutomaticInstance();
    const std::lock_guard lock(automatic.mutex);
    if (!automatic.certificate) {
        const std::string keyName = Utf16ToUtf8(config.autoKeyName);
        const auto store = CertificateStore::Open(config.storeDirectory, true);
        if (!store)
            return {};
        EvpPkeyPtr key = store->LoadKey(keyName);
        if (!key) {
            key = GenerateRsaKey(kAutoCertificateKeyBits);
            if (!key || Failed(store->SaveKey(keyName, key.get())))
                return {};
        }
        const std::string subject = Utf16ToUtf8(config.autoSubject);
        const std::int64_t now = UnixSecondsFromFileTime(NowFileTime());
        Result error = kOk;
        X509Ptr certificate =
            BuildSelfSignedCertificate(key.get(),
                                       {.subject = subject,
                                        .notBeforeUnix = now,
                                        .notAfterUnix = now + kAutoCertificateLifetimeSeconds},
                                       error);
        if (!certificate)
            return {};
        automatic.certificate = std::move(certificate);
        automatic.key = std::move(key);
    }
    LocalCertificate local;
    X509_up_ref(automatic.certificate.get());
    local.certificate.reset(automatic.certificate.get());
    EVP_PKEY_up_ref(automatic.key.get());
    local.key.reset(automatic.key.get());
    return local;
}

} // namespace

LocalCertificate LoadLocalCertificate(const TlsConfig& config) {
    if (!config.pfxPath.empty())
        return LoadPfx(config);
    if (!config.thumbprint.empty())
        return LoadFromStore(config);
    if (config.role == TlsRole::Server && config.autoCertificate)
        return LoadAutomatic(config);
    return {};
}

} // namespace Velto::Net
