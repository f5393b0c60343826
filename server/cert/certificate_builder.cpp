#include "server/cert/certificate_builder.h"

#include "base/ascii_text.h"
#include "server/cert/openssl_library.h"

#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>

#include <array>
#include <string>

namespace Velto::Net {
namespace {

constexpr std::size_t kSerialBytes = 16;

struct AttributeAlias {
    std::string_view written;
    const char* openssl;
};

// The attribute keys of X.500 text and OpenSSL's names for them.
constexpr std::array<AttributeAlias, 17> kAttributes{{
    {"CN", "CN"},
    {"O", "O"},
    {"OU", "OU"},
    {"L", "L"},
    {"S", "ST"},
    {"ST", "ST"},
    {"C", "C"},
    {"E", "emailAddress"},
    {"EMAIL", "emailAddress"},
    {"STREET", "street"},
    {"DC", "DC"},
    {"SERIALNUMBER", "serialNumber"},
    {"T", "title"},
    {"TITLE", "title"},
    {"G", "GN"},
    {"SN", "SN"},
    {"POSTALCODE", "postalCode"},
}};

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// "OID.2.5.4.3" and "2.5.4.3" name an attribute by number.
std::string AttributeName(std::string_view key) {
    const std::string upper = Upper(key);
    for (const AttributeAlias& alias : kAttributes)
        if (alias.written == upper)
            return alias.openssl;
    std::string_view oid = key;
    if (upper.starts_with("OID."))
        oid.remove_prefix(4);
    if (!oid.empty() && oid.find_first_not_of("0123456789.") == std::string_view::npos)
        return std::string(oid);
    return {};
}

bool AddExtension(X509* certificate, X509V3_CTX& context, int nid, const char* value) {
    // The certificate keeps a copy; this one is ours to free.
    const X509ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

} // namespace

X509NamePtr ParseX500Name(std::string_view text) {
    X509NamePtr name(X509_NAME_new());
    if (!name)
        return nullptr;
    std::size_t pos = 0;
    bool any = false;
    while (pos < text.size()) {
        const std::size_t equals = text.find('=', pos);
        if (equals == std::string_view::npos)
            break;
        const std::string attribute = AttributeName(TrimSpaceTab(text.substr(pos, equals - pos)));
        std::size_t i = equals + 1;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        std::string value;
        if (i < text.size() && text[i] == '"') {
            // A quoted value; "" inside stands for one quote.
            ++i;
            bool closed = false;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        value.push_back('"');
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                value.push_back(text[i++]);
            }
            if (!closed)
                return nullptr;
            while (i < text.size() && text[i] != ',' && text[i] != ';') {
                if (text[i] != ' ' && text[i] != '\t')
                    return nullptr;
                ++i;
            }
        } else {
            const std::size_t end = text.find_first_of(",;", i);
            value = TrimSpaceTab(
                text.substr(i, end == std::string_view::npos ? text.size() - i : end - i));
            i = end == std::string_view::npos ? text.size() : end;
        }
        if (attribute.empty() ||
            X509_NAME_add_entry_by_txt(name.get(), attribute.c_str(), MBSTRING_UTF8,
                                       reinterpret_cast<const unsigned char*>(value.data()),
                                       static_cast<int>(value.size()), -1, 0) != 1)
            return nullptr;
        any = true;
        pos = i < text.size() ? i + 1 : i;
    }
    if (!any || !TrimSpaceTab(text.substr(std::min(pos, text.size()))).empty())
        return nullptr;
    return name;
}

EvpPkeyPtr GenerateRsaKey(int bits) {
    const EvpPkeyCtxPtr context(EVP_PKEY_CTX_new_from_name(TlsLibraryContext(), "RSA", nullptr));
    if (!context)
        return nullptr;
    EVP_PKEY* key = nullptr;
    if (EVP_PKEY_keygen_init(context.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_keygen_bits(context.get(), bits) != 1 ||
        EVP_PKEY_generate(context.get(), &key) != 1)
        key = nullptr;
    return EvpPkeyPtr(key);
}

X509Ptr BuildSelfSignedCertificate(EVP_PKEY* key, const SelfSignedRequest& request, Result& error) {
    error = kFail;
    if (key == nullptr)
        return nullptr;
    const X509NamePtr subject = ParseX500Name(request.subject);
    if (!subject) {
        error = kInvalidX500String;
        return nullptr;
    }
    X509Ptr certificate(X509_new_ex(TlsLibraryContext(), nullptr));
    std::array<unsigned char, kSerialBytes> serial{};
    bool ok = certificate != nullptr &&
              RAND_bytes_ex(TlsLibraryContext(), serial.data(), serial.size(), 0) == 1;
    serial[0] &= 0x7F; // serial numbers are positive
    serial[0] |= 0x01; // and of fixed length
    const BignumPtr serialNumber(ok ? BN_bin2bn(serial.data(), serial.size(), nullptr) : nullptr);
    ok = ok && serialNumber && X509_set_version(certificate.get(), X509_VERSION_3) == 1 &&
         BN_to_ASN1_INTEGER(serialNumber.get(), X509_get_serialNumber(certificate.get())) !=
             nullptr &&
         X509_set_subject_name(certificate.get(), subject.get()) == 1 &&
         X509_set_issuer_name(certificate.get(), subject.get()) == 1 &&
         ASN1_TIME_set(X509_getm_notBefore(certificate.get()),
                       static_cast<time_t>(request.notBeforeUnix)) != nullptr &&
         ASN1_TIME_set(X509_getm_notAfter(certificate.get()),
                       static_cast<time_t>(request.notAfterUnix)) != nullptr &&
         X509_set_pubkey(certificate.get(), key) == 1;
    if (ok && request.localhostServer) {
        X509V3_CTX context;
        X509V3_set_ctx(&context, certificate.get(), certificate.get(), nullptr, nullptr, 0);
        ok = AddExtension(certificate.get(), context, NID_ext_key_usage, "serverAuth") &&
             AddExtension(certificate.get(), context, NID_subject_alt_name, "DNS:localhost");
    }
    if (ok) {
        const EvpMdCtxPtr signing(EVP_MD_CTX_new());
        ok = signing &&
             EVP_DigestSignInit_ex(signing.get(), nullptr, "SHA256", TlsLibraryContext(), nullptr,
                                   key, nullptr) == 1 &&
             X509_sign_ctx(certificate.get(), signing.get()) > 0;
    }
    if (!ok)
        return nullptr;
    error = kOk;
    return certificate;
}

} // namespace Velto::Net
