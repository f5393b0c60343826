#pragma once

#include <openssl/types.h>

namespace Velto::Net {

// The library context every TLS and certificate operation of ours runs in.
// It never reads the system's OpenSSL configuration and has the "default" and
// "legacy" providers loaded (PFX files exported elsewhere use RC2 and 3DES).
// Built once, then only read.
OSSL_LIB_CTX* TlsLibraryContext();

// Makes TlsLibraryContext() the current thread's default for the scope, for
// OpenSSL calls that take no library context (PKCS #12 parsing).
class ScopedDefaultLibraryContext {
public:
    ScopedDefaultLibraryContext();
    ~ScopedDefaultLibraryContext();
    ScopedDefaultLibraryContext(const ScopedDefaultLibraryContext&) = delete;
    ScopedDefaultLibraryContext& operator=(const ScopedDefaultLibraryContext&) = delete;

private:
    OSSL_LIB_CTX* m_previous{nullptr};
};

} // namespace Velto::Net
