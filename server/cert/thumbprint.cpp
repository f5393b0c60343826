#include "server/cert/thumbprint.h"

#include "base/hex.h"
#include "base/openssl_handles.h"
#include "base/utf.h"
#include "server/cert/openssl_library.h"

#include <openssl/evp.h>

namespace Velto::Net {
std::optional<std::vector<std::uint8_t>> ParseThumbprintText(std::u16string_view text) {
    std::string digits;
    digits.reserve(text.size());
    for (const char16_t c : text) {
        if (c == u' ' || c == u'\t' || c == u':')
            continue;
        if (c >= 0x80)
            return std::nullopt;
        digits.push_back(static_cast<char>(c));
    }
    const auto bytes = HexDecode(digits);
    if (!bytes || bytes->empty())
        return std::nullopt;
    return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
}

std::optional<std::vector<std::uint8_t>> CertificateHash(X509* certificate, const char* digest) {
    if (certificate == nullptr)
        return std::nullopt;
    const EvpMdPtr md(EVP_MD_fetch(TlsLibraryContext(), digest, nullptr));
    if (!md)
        return std::nullopt;
    unsigned char* der = nullptr;
    const int derLength = i2d_X509(certificate, &der);
    const OpenSslBytesPtr ownedDer(der);
    if (derLength <= 0)
        return std::nullopt;
    std::vector<std::uint8_t> hash(static_cast<std::size_t>(EVP_MD_get_size(md.get())));
    unsigned int hashLength = 0;
    const int ok = EVP_Digest(der, static_cast<std::size_t>(derLength), hash.data(), &hashLength,
                              md.get(), nullptr);
    if (ok != 1 || hashLength != hash.size())
        return std::nullopt;
    return hash;
}

std::u16string Sha256Text(X509* certificate) {
    const auto hash = CertificateHash(certificate, "SHA256");
    if (!hash || hash->size() != kSha256Size)
        return {};
    return Utf8ToUtf16(HexEncode(*hash));
}

} // namespace Velto::Net
