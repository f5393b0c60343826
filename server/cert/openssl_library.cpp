#include "server/cert/openssl_library.h"

#include "base/diag_log.h"

#include <openssl/crypto.h>
#include <openssl/provider.h>
#include <openssl/ssl.h>

namespace Velto::Net {

OSSL_LIB_CTX* TlsLibraryContext() {
    // Providers stay loaded for the life of the process; the context is only
    // read after this point, which OpenSSL allows from any thread.
    static OSSL_LIB_CTX* const context = [] {
        OPENSSL_init_ssl(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr);
        OSSL_LIB_CTX* created = OSSL_LIB_CTX_new();
        if (created == nullptr)
            return created;
        if (OSSL_PROVIDER_load(created, "default") == nullptr)
            DiagLog::Instance().Log(LogLevel::Error, u"Tls",
                                    std::string_view("OpenSSL default provider unavailable"));
        if (OSSL_PROVIDER_load(created, "legacy") == nullptr)
            DiagLog::Instance().Log(
                LogLevel::Warning, u"Tls",
                std::string_view(
                    "OpenSSL legacy provider unavailable; old PFX files will not load"));
        return created;
    }();
    return context;
}

ScopedDefaultLibraryContext::ScopedDefaultLibraryContext()
    : m_previous(OSSL_LIB_CTX_set0_default(TlsLibraryContext())) {}

ScopedDefaultLibraryContext::~ScopedDefaultLibraryContext() {
    OSSL_LIB_CTX_set0_default(m_previous);
}

} // namespace Velto::Net
