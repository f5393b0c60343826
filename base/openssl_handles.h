#pragma once

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>

namespace Velto::Net {

// Owners for the OpenSSL objects this layer creates.
struct X509Free {
    void operator()(X509* p) const { X509_free(p); }
};
struct EvpPkeyFree {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct BioFree {
    void operator()(BIO* p) const { BIO_free_all(p); }
};
struct SslCtxFree {
    void operator()(SSL_CTX* p) const { SSL_CTX_free(p); }
};
struct X509StackFree {
    void operator()(STACK_OF(X509) * p) const { sk_X509_pop_free(p, X509_free); }
};
struct EvpMdFree {
    void operator()(EVP_MD* p) const { EVP_MD_free(p); }
};

using X509Ptr = std::unique_ptr<X509, X509Free>;
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, EvpPkeyFree>;
using BioPtr = std::unique_ptr<BIO, BioFree>;
using SslCtxPtr = std::unique_ptr<SSL_CTX, SslCtxFree>;
using X509StackPtr = std::unique_ptr<STACK_OF(X509), X509StackFree>;
using EvpMdPtr = std::unique_ptr<EVP_MD, EvpMdFree>;

} // namespace Velto::Net
