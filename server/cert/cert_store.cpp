#include "server/cert/cert_store.h"

#include "base/file_util.h"
#include "base/hex.h"
#include "base/private_file.h"
#include "server/cert/openssl_library.h"
#include "server/cert/thumbprint.h"

#include <openssl/pem.h>

#include <sys/stat.h>

#include <algorithm>

namespace Velto::Net {
namespace {

constexpr std::string_view kCertsFolder = "certs";
constexpr std::string_view kKeysFolder = "keys";
constexpr std::string_view kFriendlyNameHeader = "Friendly-Name: ";
constexpr std::string_view kKeyNameHeader = "Key-Name: ";
constexpr std::string_view kPemBegin = "-----BEGIN ";
constexpr std::size_t kMaxStoreFileBytes = 1 << 20;
constexpr std::size_t kMaxKeyNameLength = 128;
constexpr std::size_t kMaxFriendlyNameBytes = 1024;

std::string CertificateFileName(std::span<const std::uint8_t> sha1) {
    return HexEncode(sha1) + ".pem";
}

std::string KeyFileName(std::string_view keyName) {
    return std::string(keyName) + ".pem";
}

// Header lines ("Name: value") before the PEM block carry the certificate's
// names; anything else there is ignored.
void ParseHeaders(std::string_view text, StoredCertificate& stored) {
    while (!text.empty() && !text.starts_with(kPemBegin)) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.starts_with(kFriendlyNameHeader))
            stored.friendlyName = line.substr(kFriendlyNameHeader.size());
        else if (line.starts_with(kKeyNameHeader))
            stored.keyName = line.substr(kKeyNameHeader.size());
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
}

} // namespace

bool IsValidKeyName(std::string_view keyName) {
    if (keyName.empty() || keyName.size() > kMaxKeyNameLength || keyName.front() == '.')
        return false;
    return std::all_of(keyName.begin(), keyName.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.';
    });
}

std::optional<CertificateStore> CertificateStore::Open(const std::filesystem::path& root,
                                                       bool create) {
    if (root.empty())
        return std::nullopt;
    if (!create)
        return IsDirectory(root / kCertsFolder) ? std::optional(CertificateStore(root))
                                                : std::nullopt;
    if (Failed(MakePrivateDirectory(root / kCertsFolder)) ||
        Failed(MakePrivateDirectory(root / kKeysFolder)))
        return std::nullopt;
    return CertificateStore(root);
}

std::optional<StoredCertificate>
CertificateStore::FindBySha1(std::span<const std::uint8_t> sha1) const {
    if (sha1.size() != kSha1Size)
        return std::nullopt;
    std::string text;
    if (Failed(ReadWholeFile(m_root / kCertsFolder / CertificateFileName(sha1), text,
                             kMaxStoreFileBytes)))
        return std::nullopt;
    StoredCertificate stored;
    ParseHeaders(text, stored);
    const BioPtr bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
    if (!bio)
        return std::nullopt;
    stored.certificate.reset(X509_new_ex(TlsLibraryContext(), nullptr));
    X509* target = stored.certificate.get();
    if (target == nullptr || PEM_read_bio_X509(bio.get(), &target, nullptr, nullptr) == nullptr)
        return std::nullopt;
    // The file name is only an index; the certificate must really have this hash.
    const auto actual = CertificateHash(stored.certificate.get(), "SHA1");
    if (!actual || !std::equal(actual->begin(), actual->end(), sha1.begin(), sha1.end()))
        return std::nullopt;
    return stored;
}

Result CertificateStore::Add(X509* certificate, std::string_view friendlyName,
                             std::string_view keyName) const {
    if (certificate == nullptr || friendlyName.size() > kMaxFriendlyNameBytes ||
        friendlyName.find_first_of("\r\n") != std::string_view::npos ||
        (!keyName.empty() && !IsValidKeyName(keyName)))
        return kInvalidArg;
    const auto sha1 = CertificateHash(certificate, "SHA1");
    if (!sha1)
        return kFail;
    std::string text;
    text.append(kFriendlyNameHeader).append(friendlyName).push_back('\n');
    if (!keyName.empty())
        text.append(kKeyNameHeader).append(keyName).push_back('\n');
    const BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_X509(bio.get(), certificate) != 1)
        return kFail;
    char* pem = nullptr;
    const long pemLength = BIO_get_mem_data(bio.get(), &pem);
    text.append(pem, static_cast<std::size_t>(pemLength));
    return ReplacePrivateFile((m_root / kCertsFolder / CertificateFileName(*sha1)).string(), text);
}

bool CertificateStore::Remove(std::span<const std::uint8_t> sha1) const {
    if (sha1.size() != kSha1Size)
        return true;
    const Result result = RemoveFile(m_root / kCertsFolder / CertificateFileName(sha1));
    return Succeeded(result) || result == kFileNotFound;
}

EvpPkeyPtr CertificateStore::LoadKey(std::string_view keyName) const {
    if (!IsValidKeyName(keyName))
        return nullptr;
    std::string text;
    if (Failed(
            ReadWholeFile(m_root / kKeysFolder / KeyFileName(keyName), text, kMaxStoreFileBytes)))
        return nullptr;
    const BioPtr bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
    if (!bio)
        return nullptr;
    return EvpPkeyPtr(PEM_read_bio_PrivateKey_ex(bio.get(), nullptr, nullptr, nullptr,
                                                 TlsLibraryContext(), nullptr));
}

Result CertificateStore::SaveKey(std::string_view keyName, EVP_PKEY* key) const {
    if (!IsValidKeyName(keyName) || key == nullptr)
        return kInvalidArg;
    const BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio ||
        PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1)
        return kFail;
    char* pem = nullptr;
    const long pemLength = BIO_get_mem_data(bio.get(), &pem);
    const Result keysDir = MakePrivateDirectory(m_root / kKeysFolder);
    if (Failed(keysDir))
        return keysDir;
    const Result result =
        ReplacePrivateFile((m_root / kKeysFolder / KeyFileName(keyName)).string(),
                           std::string_view(pem, static_cast<std::size_t>(pemLength)));
    OPENSSL_cleanse(pem, static_cast<std::size_t>(pemLength));
    return result;
}

bool CertificateStore::DeleteKey(std::string_view keyName) const {
    if (!IsValidKeyName(keyName))
        return false;
    const Result result = RemoveFile(m_root / kKeysFolder / KeyFileName(keyName));
    return Succeeded(result) || result == kFileNotFound;
}

} // namespace Velto::Net
