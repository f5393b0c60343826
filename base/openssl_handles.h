#pragma once

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <memory>

namespace Velto::Net {

// Owners for every OpenSSL object the program creates: nothing else frees one.
struct X509Free {
    void operator()(X509* p) const { X509_free(p); }
};
struct X509NameFree {
    void operator()(X509_NAME* p) const { X509_NAME_free(p); }
};
struct X509ExtensionFree {
    void operator()(X509_EXTENSION* p) const { X509_EXTENSION_free(p); }
};
struct X509StackFree {
    void operator()(STACK_OF(X509) * p) const { sk_X509_pop_free(p, X509_free); }
};
struct X509StoreFree {
    void operator()(X509_STORE* p) const { X509_STORE_free(p); }
};
struct X509StoreCtxFree {
    void operator()(X509_STORE_CTX* p) const { X509_STORE_CTX_free(p); }
};
struct EvpPkeyFree {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct EvpPkeyCtxFree {
    void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
};
struct EvpMdFree {
    void operator()(EVP_MD* p) const { EVP_MD_free(p); }
};
struct EvpMdCtxFree {
    void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
};
struct EvpCipherCtxFree {
    void operator()(EVP_CIPHER_CTX* p) const { EVP_CIPHER_CTX_free(p); }
};
struct BignumFree {
    void operator()(BIGNUM* p) const { BN_free(p); }
};
struct Pkcs12Free {
    void operator()(PKCS12* p) const { PKCS12_free(p); }
};
struct BioFree {
    void operator()(BIO* p) const { BIO_free_all(p); }
};
struct SslCtxFree {
    void operator()(SSL_CTX* p) const { SSL_CTX_free(p); }
};
// Also frees the two BIOs the session was given.
struct SslFree {
    void operator()(SSL* p) const { SSL_free(p); }
};
// Bytes OpenSSL allocated for the caller (DER encodings, converted text).
struct OpenSslMemoryFree {
    void operator()(void* p) const { OPENSSL_free(p); }
};

using X509Ptr = std::unique_ptr<X509, X509Free>;
using X509NamePtr = std::unique_ptr<X509_NAME, X509NameFree>;
using X509ExtensionPtr = std::unique_ptr<X509_EXTENSION, X509ExtensionFree>;
using X509StackPtr = std::unique_ptr<STACK_OF(X509), X509StackFree>;
using X509StorePtr = std::unique_ptr<X509_STORE, X509StoreFree>;
using X509StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, X509StoreCtxFree>;
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, EvpPkeyFree>;
using EvpPkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, EvpPkeyCtxFree>;
using EvpMdPtr = std::unique_ptr<EVP_MD, EvpMdFree>;
using EvpMdCtxPtr = std::unique_ptr<EVP_MD_CTX, EvpMdCtxFree>;
using EvpCipherCtxPtr = std::unique_ptr<EVP_CIPHER_CTX, EvpCipherCtxFree>;
using BignumPtr = std::unique_ptr<BIGNUM, BignumFree>;
using Pkcs12Ptr = std::unique_ptr<PKCS12, Pkcs12Free>;
using BioPtr = std::unique_ptr<BIO, BioFree>;
using SslCtxPtr = std::unique_ptr<SSL_CTX, SslCtxFree>;
using SslPtr = std::unique_ptr<SSL, SslFree>;
using OpenSslBytesPtr = std::unique_ptr<unsigned char, OpenSslMemoryFree>;

} // namespace Velto::Net
