// The server certificate's life in the per-user store, checked with the
// openssl command-line tool where the certificate's contents matter.
#include "server/cert/self_signed_certificate.h"

#include "base/utf.h"
#include "server/cert/thumbprint.h"
#include "tests/server/tls/tls_test_support.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <set>
#include <sstream>

namespace Velto::Corvane {
namespace {

using Testing::RunCommand;
using Testing::TempFolder;

constexpr std::int64_t kDay = 24 * 3600;
// 2026-01-01T00:00:00Z
constexpr std::int64_t kFixedNow = 1767225600;

const CertificateNames kNormalNames{u"VeltoCorvane-Server-", u"CN=VeltoCorvane", u"VeltoCorvane"};
const CertificateNames kCheckNames{u"VeltoCorvaneCheck-", u"CN=VeltoCorvane Check",
                                   u"VeltoCorvane Check"};

FileTime At(std::int64_t unixSeconds) {
    return FileTimeFromUnix(unixSeconds, 0);
}
FileTime Now() {
    return NowFileTime();
}
std::int64_t NowUnix() {
    return UnixSecondsFromFileTime(NowFileTime());
}

std::set<std::string> Files(const std::filesystem::path& dir) {
    std::set<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored))
        names.insert(entry.path().filename().string());
    return names;
}

unsigned Mode(const std::filesystem::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

bool IsLowerHex(std::u16string_view text, std::size_t digits) {
    if (text.size() != digits)
        return false;
    for (const char16_t c : text)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return false;
    return true;
}

class SelfSignedCertificateTest : public ::testing::Test {
protected:
    std::filesystem::path Store() const { return m_folder.Path() / "VeltoCorvane"; }
    std::filesystem::path CertFile(const std::u16string& sha1) const {
        return Store() / "certs" / (Utf16ToUtf8(sha1) + ".pem");
    }

    CertificateThumbprints Ensure(std::u16string_view configured, FileTime now,
                                  const CertificateNames& names = kNormalNames) {
        CertificateThumbprints result;
        EXPECT_EQ(EnsureSelfSignedCertificate(Store(), configured, names, result, now), kOk);
        return result;
    }

    std::string KeyNameOf(const std::u16string& sha1) const {
        const auto store = Net::CertificateStore::Open(Store(), false);
        if (!store)
            return {};
        const auto found = FindCertificateByThumbprint(*store, sha1);
        return found ? Utf16ToUtf8(CertificateKeyName(*found)) : std::string();
    }

    TempFolder m_folder;
};

TEST_F(SelfSignedCertificateTest, FirstStartCreatesTheCertificateAndItsKey) {
    const CertificateThumbprints made = Ensure(u"", At(kFixedNow));
    EXPECT_TRUE(IsLowerHex(made.sha1, 40));
    EXPECT_TRUE(IsLowerHex(made.sha256, 64));
    EXPECT_EQ(made.notAfter, At(kFixedNow + 820 * kDay));

    // One key, named by the prefix and 16 hexadecimal digits, private to the user.
    const auto keys = Files(Store() / "keys");
    ASSERT_EQ(keys.size(), 1u);
    const std::string keyFile = *keys.begin();
    ASSERT_EQ(keyFile.size(), std::string("VeltoCorvane-Server-").size() + 16 + 4);
    EXPECT_TRUE(keyFile.starts_with("VeltoCorvane-Server-"));
    EXPECT_TRUE(IsLowerHex(Utf8ToUtf16(keyFile.substr(20, 16)), 16));
    EXPECT_EQ(Mode(Store() / "keys" / keyFile), 0600u);
    EXPECT_EQ(Mode(Store() / "keys"), 0700u);
    EXPECT_EQ(Mode(Store() / "certs"), 0700u);
    EXPECT_EQ(KeyNameOf(made.sha1) + ".pem", keyFile);

    // One certificate, with its friendly name beside it.
    EXPECT_EQ(Files(Store() / "certs"), std::set<std::string>{Utf16ToUtf8(made.sha1) + ".pem"});
    std::ifstream stored(CertFile(made.sha1));
    std::string firstLine;
    std::getline(stored, firstLine);
    EXPECT_EQ(firstLine, "Friendly-Name: VeltoCorvane");

    // What the certificate says, read by openssl.
    std::string text;
    ASSERT_EQ(RunCommand({"openssl", "x509", "-in", CertFile(made.sha1).string(), "-noout",
                          "-subject", "-issuer", "-dates", "-fingerprint", "-sha1", "-ext",
                          "subjectAltName,extendedKeyUsage", "-text"},
                         text),
              0)
        << text;
    for (const std::string& expected : std::vector<std::string>{
             "subject=CN = VeltoCorvane\n", "issuer=CN = VeltoCorvane\n",
             "notBefore=Dec 31 00:00:00 2025 GMT", "notAfter=Mar 31 00:00:00 2028 GMT",
             "DNS:localhost", "TLS Web Server Authentication", "Public-Key: (2048 bit)",
             "sha256WithRSAEncryption",
             "Fingerprint=" + Utf16ToUtf8(FormatFingerprint(made.sha1))}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
    EXPECT_EQ(text.find("critical"), std::string::npos) << "both extensions are non-critical";

    // The key file belongs to the certificate.
    std::string certKey;
    std::string fileKey;
    RunCommand({"openssl", "x509", "-in", CertFile(made.sha1).string(), "-noout", "-pubkey"},
               certKey);
    RunCommand({"openssl", "pkey", "-in", (Store() / "keys" / keyFile).string(), "-pubout"},
               fileKey);
    EXPECT_FALSE(certKey.empty());
    EXPECT_EQ(certKey, fileKey);
}

TEST_F(SelfSignedCertificateTest, ValidCertificateIsReused) {
    const CertificateThumbprints made = Ensure(u"", Now());
    const auto certsBefore = Files(Store() / "certs");
    const auto keysBefore = Files(Store() / "keys");
    const CertificateThumbprints again = Ensure(made.sha1, Now());
    EXPECT_EQ(again.sha1, made.sha1);
    EXPECT_EQ(again.sha256, made.sha256);
    EXPECT_EQ(again.notAfter, made.notAfter);
    EXPECT_EQ(Files(Store() / "certs"), certsBefore);
    EXPECT_EQ(Files(Store() / "keys"), keysBefore);
}

TEST_F(SelfSignedCertificateTest, ReplacementDecisions) {
    struct Case {
        const char* name;
        std::int64_t daysLeft;
        // Changes the stored state before the next start; returns the thumbprint
        // text the configuration then holds.
        std::function<std::u16string(const CertificateThumbprints&)> tamper;
        bool replaced;
        bool oldStays;    // the replaced certificate remains (it could not be found)
        bool oldKeyStays; // its key file remains (nothing names it)
    };
    const auto keep = [](const CertificateThumbprints& t) { return t.sha1; };
    const Case cases[] = {
        {"31 days left", 31, keep, false, false, false},
        {"29 days left", 29, keep, true, false, false},
        {"already expired", -3, keep, true, false, false},
        {"key file deleted", 400,
         [&](const CertificateThumbprints& t) {
             std::filesystem::remove(Store() / "keys" / (KeyNameOf(t.sha1) + ".pem"));
             return t.sha1;
         },
         true, false, false},
        {"key file holds another key", 400,
         [&](const CertificateThumbprints& t) {
             const auto key = Store() / "keys" / (KeyNameOf(t.sha1) + ".pem");
             std::string output;
             EXPECT_EQ(RunCommand({"openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt",
                                   "rsa_keygen_bits:2048", "-out", key.string()},
                                  output),
                       0)
                 << output;
             return t.sha1;
         },
         true, false, false},
        {"key of another kind (no key name)", 400,
         [&](const CertificateThumbprints& t) {
             std::ifstream in(CertFile(t.sha1));
             std::stringstream all;
             all << in.rdbuf();
             std::string text = all.str();
             const std::size_t at = text.find("Key-Name: ");
             text.erase(at, text.find('\n', at) + 1 - at);
             in.close();
             std::ofstream(CertFile(t.sha1), std::ios::trunc) << text;
             return t.sha1;
         },
         true, false, true},
        {"thumbprint edited to 39 digits", 400,
         [](const CertificateThumbprints& t) { return t.sha1.substr(0, 39); }, true, true, true},
        {"thumbprint with colons", 400,
         [](const CertificateThumbprints& t) { return FormatFingerprint(t.sha1); }, true, true,
         true},
        {"certificate file deleted", 400,
         [&](const CertificateThumbprints& t) {
             std::filesystem::remove(CertFile(t.sha1));
             return t.sha1;
         },
         true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(Store());
        const std::int64_t now = NowUnix();
        const CertificateThumbprints old = Ensure(u"", At(now - (820 - c.daysLeft) * kDay));
        const std::string oldKey = KeyNameOf(old.sha1);
        const std::u16string configured = c.tamper(old);

        const CertificateThumbprints next = Ensure(configured, At(now));
        if (!c.replaced) {
            EXPECT_EQ(next.sha1, old.sha1);
            continue;
        }
        EXPECT_NE(next.sha1, old.sha1);
        EXPECT_EQ(next.notAfter, At(now + 820 * kDay));
        EXPECT_TRUE(std::filesystem::exists(CertFile(next.sha1)));
        EXPECT_TRUE(std::filesystem::exists(Store() / "keys" / (KeyNameOf(next.sha1) + ".pem")));
        EXPECT_EQ(std::filesystem::exists(CertFile(old.sha1)), c.oldStays);
        EXPECT_EQ(std::filesystem::exists(Store() / "keys" / (oldKey + ".pem")), c.oldKeyStays);
        EXPECT_EQ(Files(Store() / "certs").size(), c.oldStays ? 2u : 1u);
    }
}

TEST_F(SelfSignedCertificateTest, NamesOfTheSelfContainedMode) {
    const CertificateThumbprints made = Ensure(u"", Now(), kCheckNames);
    EXPECT_TRUE(KeyNameOf(made.sha1).starts_with("VeltoCorvaneCheck-"));
    std::string text;
    ASSERT_EQ(
        RunCommand({"openssl", "x509", "-in", CertFile(made.sha1).string(), "-noout", "-subject"},
                   text),
        0);
    EXPECT_EQ(text, "subject=CN = VeltoCorvane Check\n");
    std::ifstream stored(CertFile(made.sha1));
    std::string firstLine;
    std::getline(stored, firstLine);
    EXPECT_EQ(firstLine, "Friendly-Name: VeltoCorvane Check");
}

TEST_F(SelfSignedCertificateTest, FailedCreationLeavesTheOldCertificateAlone) {
    const CertificateThumbprints old = Ensure(u"", At(NowUnix() - 800 * kDay));
    const auto certsBefore = Files(Store() / "certs");
    const auto keysBefore = Files(Store() / "keys");

    CertificateNames broken = kNormalNames;
    broken.subject = u"no attribute here";
    CertificateThumbprints result;
    EXPECT_EQ(EnsureSelfSignedCertificate(Store(), old.sha1, broken, result, Now()),
              static_cast<Result>(0x80092023u));
    EXPECT_EQ(Files(Store() / "certs"), certsBefore);
    EXPECT_EQ(Files(Store() / "keys"), keysBefore) << "the new key went with the failure";

    // A store that cannot exist (a file in its place).
    const auto blocked = m_folder.Path() / "blocked";
    std::ofstream(blocked) << "x";
    EXPECT_EQ(EnsureSelfSignedCertificate(blocked, u"", kNormalNames, result, Now()),
              static_cast<Result>(0x8009001Eu));
}

TEST_F(SelfSignedCertificateTest, DeleteByThumbprint) {
    CertificateThumbprints result;
    EXPECT_FALSE(DeleteCertificateByThumbprint(Store(), std::u16string(40, u'a')))
        << "no store yet";
    const CertificateThumbprints made = Ensure(u"", Now());
    EXPECT_TRUE(DeleteCertificateByThumbprint(Store(), std::u16string(40, u'a')));
    EXPECT_EQ(Files(Store() / "certs").size(), 1u);
    EXPECT_TRUE(DeleteCertificateByThumbprint(Store(), made.sha1));
    EXPECT_TRUE(Files(Store() / "certs").empty());
    EXPECT_TRUE(Files(Store() / "keys").empty());
}

TEST(FormatFingerprintTest, PairsSeparatedByColons) {
    const std::u16string digits64 =
        u"95d1c2e3f4a5b6c7d8e9fa0b1c2d3e4f5a6b7c8d9eafb0c1d2e3f4a5b6c7d8e9";
    EXPECT_EQ(FormatFingerprint(u"ab01"), u"AB:01");
    EXPECT_EQ(FormatFingerprint(u""), u"");
    EXPECT_EQ(FormatFingerprint(u"a"), u"A");
    EXPECT_EQ(FormatFingerprint(u"abc"), u"AB:C");
    const std::u16string formatted = FormatFingerprint(digits64);
    EXPECT_EQ(formatted.size(), 95u);
    EXPECT_EQ(formatted.substr(0, 9), u"95:D1:C2:");
    EXPECT_EQ(formatted.substr(87), u"C7:D8:E9");
}

} // namespace
} // namespace Velto::Corvane
