#include "server/tls/thumbprint.h"

#include "base/utf.h"
#include "server/tls/openssl_handles.h"
#include "server/tls/openssl_library.h"

#include <openssl/evp.h>

namespace Velto::Net {
namespace {

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

} // namespace

std::optional<std::vector<std::uint8_t>> ParseThumbprintText(std::u16string_view text) {
    std::u16string digits;
    digits.reserve(text.size());
    for (const char16_t c : text) {
        if (c == u' ' || c == u'\t' || c == u':')
            continue;
        if (HexValue(c) < 0)
            return std::nullopt;
        digits.push_back(c);
    }
    if (digits.empty() || digits.size() % 2 != 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(digits.size() / 2);
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(
            static_cast<std::uint8_t>(HexValue(digits[i]) * 16 + HexValue(digits[i + 1])));
    return bytes;
}

std::string LowerHex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> CertificateHash(X509* certificate, const char* digest) {
    if (certificate == nullptr)
        return std::nullopt;
    const EvpMdPtr md(EVP_MD_fetch(TlsLibraryContext(), digest, nullptr));
    if (!md)
        return std::nullopt;
    unsigned char* der = nullptr;
    const int derLength = i2d_X509(certificate, &der);
    if (derLength <= 0)
        return std::nullopt;
    std::vector<std::uint8_t> hash(static_cast<std::size_t>(EVP_MD_get_size(md.get())));
    unsigned int hashLength = 0;
    const int ok = EVP_Digest(der, static_cast<std::size_t>(derLength), hash.data(), &hashLength,
                              md.get(), nullptr);
    OPENSSL_free(der);
    if (ok != 1 || hashLength != hash.size())
        return std::nullopt;
    return hash;
}

std::u16string Sha256Text(X509* certificate) {
    const auto hash = CertificateHash(certificate, "SHA256");
    if (!hash || hash->size() != kSha256Size)
        return {};
    return Utf8ToUtf16(LowerHex(*hash));
}

} // namespace Velto::Net
