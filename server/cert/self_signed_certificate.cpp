#include "server/cert/self_signed_certificate.h"

#include "base/diag_log.h"
#include "base/hex.h"
#include "base/utf.h"
#include "server/cert/certificate_builder.h"
#include "server/cert/openssl_library.h"
#include "server/cert/thumbprint.h"

#include <openssl/asn1.h>
#include <openssl/rand.h>

#include <array>

namespace Velto::Corvane {
namespace {

constexpr std::size_t kKeyNameRandomBytes = 8;
constexpr std::size_t kSha1Digits = 40;

std::optional<std::vector<std::uint8_t>> ParseSha1Text(std::u16string_view text) {
    // A thumbprint edited by hand into anything but 40 digits finds nothing.
    if (text.size() != kSha1Digits)
        return std::nullopt;
    auto bytes = Net::ParseThumbprintText(text);
    if (!bytes || bytes->size() != Net::kSha1Size)
        return std::nullopt;
    return bytes;
}

std::optional<std::string> RandomKeySuffix() {
    std::array<std::uint8_t, kKeyNameRandomBytes> random{};
    if (RAND_bytes_ex(Net::TlsLibraryContext(), random.data(), random.size(), 0) != 1)
        return std::nullopt;
    return HexEncode(random);
}

std::optional<FileTime> NotAfter(X509* certificate) {
    const ASN1_TIME* notAfter = X509_get0_notAfter(certificate);
    std::tm parts{};
    if (notAfter == nullptr || ASN1_TIME_to_tm(notAfter, &parts) != 1)
        return std::nullopt;
    return FileTimeFromUnix(static_cast<std::int64_t>(timegm(&parts)), 0);
}

} // namespace

std::optional<Net::StoredCertificate>
FindCertificateByThumbprint(const Net::CertificateStore& store, std::u16string_view sha1Text) {
    const auto sha1 = ParseSha1Text(sha1Text);
    if (!sha1)
        return std::nullopt;
    return store.FindBySha1(*sha1);
}

std::u16string CertificateKeyName(const Net::StoredCertificate& certificate) {
    if (!Net::IsValidKeyName(certificate.keyName))
        return {};
    return Utf8ToUtf16(certificate.keyName);
}

bool ReadThumbprints(const Net::StoredCertificate& certificate, CertificateThumbprints& result) {
    const auto sha1 = Net::CertificateHash(certificate.certificate.get(), "SHA1");
    const auto sha256 = Net::CertificateHash(certificate.certificate.get(), "SHA256");
    if (!sha1 || sha1->size() != Net::kSha1Size || !sha256 || sha256->size() != Net::kSha256Size)
        return false;
    const auto notAfter = NotAfter(certificate.certificate.get());
    if (!notAfter)
        return false;
    result.sha1 = Utf8ToUtf16(HexEncode(*sha1));
    result.sha256 = Utf8ToUtf16(HexEncode(*sha256));
    result.notAfter = *notAfter;
    return true;
}

bool DeleteCertificateByThumbprint(const std::filesystem::path& storeDirectory,
                                   std::u16string_view sha1Text) {
    const auto store = Net::CertificateStore::Open(storeDirectory, false);
    if (!store)
        return false;
    const auto sha1 = ParseSha1Text(sha1Text);
    if (!sha1)
        return true;
    const auto stored = store->FindBySha1(*sha1);
    if (!stored)
        return true;
    if (!store->Remove(*sha1))
        return false;
    if (!stored->keyName.empty())
        store->DeleteKey(stored->keyName);
    return true;
}

Result CreateSelfSignedCertificate(const std::filesystem::path& storeDirectory,
                                   const CertificateNames& names, CertificateThumbprints& result,
                                   FileTime now) {
    const auto store = Net::CertificateStore::Open(storeDirectory, true);
    if (!store)
        return Net::kKeyProviderUnavailable;
    const auto suffix = RandomKeySuffix();
    if (!suffix)
        return kFail;
    const std::string keyName = Utf16ToUtf8(names.keyNamePrefix) + *suffix;
    if (!Net::IsValidKeyName(keyName))
        return kInvalidArg;

    const Net::EvpPkeyPtr key = Net::GenerateRsaKey(kServerKeyBits);
    if (!key)
        return kFail;
    const Result saved = store->SaveKey(keyName, key.get());
    if (Failed(saved))
        return saved;

    // From here on a failure takes the new key with it.
    const auto fail = [&](Result code) {
        store->DeleteKey(keyName);
        return code;
    };
    const std::string subject = Utf16ToUtf8(names.subject);
    const std::int64_t nowUnix = UnixSecondsFromFileTime(now);
    Result built = kFail;
    const Net::X509Ptr certificate =
        Net::BuildSelfSignedCertificate(key.get(),
                                        {.subject = subject,
                                         .notBeforeUnix = nowUnix - kCertificateBackdateSeconds,
                                         .notAfterUnix = nowUnix + kCertificateLifetimeSeconds,
                                         .localhostServer = true},
                                        built);
    if (!certificate)
        return fail(built);
    const Result added = store->Add(certificate.get(), Utf16ToUtf8(names.friendlyName), keyName);
    if (Failed(added))
        return fail(added);

    const auto sha1 = Net::CertificateHash(certificate.get(), "SHA1");
    const auto stored = sha1 ? store->FindBySha1(*sha1) : std::nullopt;
    if (!stored || !ReadThumbprints(*stored, result)) {
        if (sha1)
            store->Remove(*sha1);
        return fail(kFail);
    }
    return kOk;
}

Result EnsureSelfSignedCertificate(const std::filesystem::path& storeDirectory,
                                   std::u16string_view configuredSha1,
                                   const CertificateNames& names, CertificateThumbprints& result,
                                   FileTime now) {
    if (!configuredSha1.empty()) {
        if (const auto store = Net::CertificateStore::Open(storeDirectory, false)) {
            const auto stored = FindCertificateByThumbprint(*store, configuredSha1);
            CertificateThumbprints found;
            if (stored && ReadThumbprints(*stored, found)) {
                const FileTime margin =
                    static_cast<FileTime>(kCertificateRenewalMarginSeconds) * 10'000'000ULL;
                const std::u16string keyName = CertificateKeyName(*stored);
                // The key must exist and belong to the certificate; anything
                // else could never serve and would fail every start.
                const Net::EvpPkeyPtr key =
                    keyName.empty() ? nullptr : store->LoadKey(stored->keyName);
                if (found.notAfter > now + margin && key &&
                    X509_check_private_key(stored->certificate.get(), key.get()) == 1) {
                    result = found;
                    return kOk;
                }
            }
        }
    }
    CertificateThumbprints created;
    const Result made = CreateSelfSignedCertificate(storeDirectory, names, created, now);
    if (Failed(made))
        return made;
    if (!configuredSha1.empty())
        DeleteCertificateByThumbprint(storeDirectory, configuredSha1);
    result = created;
    return kOk;
}

} // namespace Velto::Corvane
