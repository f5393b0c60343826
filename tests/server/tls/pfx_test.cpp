// Credentials from PKCS #12 files made by the openssl command-line tool.
#include "base/utf.h"
#include "server/tls/tls_credentials.h"
#include "server/tls/tls_results.h"
#include "tests/server/tls/tls_test_support.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <fstream>

namespace Velto::Testing {
namespace {

constexpr char kKoreanPassword[] = "비밀번호-열쇠 123";
constexpr char16_t kKoreanPassword16[] = u"비밀번호-열쇠 123";

class PfxTest : public ::testing::Test {
protected:
    void SetUp() override { m_certificate = MakeTestCertificate(m_folder.Path()); }

    std::filesystem::path Export(const std::string& name, const std::string& password,
                                 bool legacy) {
        const auto path = m_folder.Path() / name;
        std::vector<std::string> args = {"openssl",
                                         "pkcs12",
                                         "-export",
                                         "-in",
                                         m_certificate.certPem.string(),
                                         "-inkey",
                                         m_certificate.keyPem.string(),
                                         "-out",
                                         path.string(),
                                         "-passout",
                                         "pass:" + password,
                                         "-name",
                                         "exported"};
        if (legacy)
            args.push_back("-legacy");
        std::string output;
        EXPECT_EQ(RunCommand(args, output), 0) << output;
        return path;
    }

    Net::TlsConfig PfxConfig(const std::filesystem::path& path, std::u16string password) const {
        Net::TlsConfig config;
        config.role = Net::TlsRole::Server;
        config.pfxPath = Utf8ToUtf16(path.string());
        config.pfxPassword = std::move(password);
        return config;
    }

    TempFolder m_folder;
    TestCertificate m_certificate;
};

TEST_F(PfxTest, LoadsWithTheRightPasswordOnly) {
    const auto legacy = Export("legacy.pfx", kKoreanPassword, true);
    const auto modern = Export("modern.pfx", "plain words", false);
    const auto empty = m_folder.Path() / "empty.pfx";
    std::ofstream(empty).flush();
    const auto notPfx = m_folder.Path() / "text.pfx";
    std::ofstream(notPfx) << "this is not a PKCS #12 file";

    struct Case {
        const char* name;
        std::filesystem::path file;
        std::u16string password;
        Result expected;
    };
    const Case cases[] = {
        {"legacy ciphers, Korean password", legacy, kKoreanPassword16, kOk},
        {"legacy ciphers, wrong password", legacy, u"비밀번호", Net::kSecNoCredentials},
        {"legacy ciphers, empty password", legacy, u"", Net::kSecNoCredentials},
        {"current ciphers", modern, u"plain words", kOk},
        {"current ciphers, wrong password", modern, u"plain word", Net::kSecNoCredentials},
        {"missing file", m_folder.Path() / "missing.pfx", u"x", Net::kSecNoCredentials},
        {"empty file", empty, u"x", Net::kSecNoCredentials},
        {"not a PFX", notPfx, u"x", Net::kSecNoCredentials},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::shared_ptr<const Net::TlsCredentials> credentials;
        const Net::TlsConfig config = PfxConfig(c.file, c.password);
        EXPECT_EQ(Net::AcquireSchannelCreds(config, credentials), c.expected);
        const Net::CertificateInfo info = Net::ReadCertificateInfo(config);
        EXPECT_EQ(info.ok, c.expected == kOk);
        if (c.expected != kOk)
            continue;
        ASSERT_TRUE(credentials);
        EXPECT_TRUE(credentials->Config().pfxPassword.empty()) << "the copy keeps no password";
        EXPECT_EQ(info.sha256, m_certificate.sha256);
        EXPECT_EQ(info.subject, u"VeltoCorvane Test");
    }
}

TEST_F(PfxTest, ServesTheCertificateOfThePfx) {
    const auto legacy = Export("legacy.pfx", kKoreanPassword, true);
    std::shared_ptr<const Net::TlsCredentials> credentials;
    ASSERT_EQ(Net::AcquireSchannelCreds(PfxConfig(legacy, kKoreanPassword16), credentials), kOk);
    auto echo = std::make_shared<EchoRecord>();
    TlsTestServer server(credentials, EchoLines(echo));

    ChildProcess client(
        {"openssl", "s_client", "-connect", "127.0.0.1:" + std::to_string(server.Port()), "-CAfile",
         m_certificate.certPem.string(), "-verify_hostname", "localhost", "-verify_return_error"},
        {.pipeInput = true});
    ASSERT_EQ(server.NextHandshakeResult(), kOk);
    client.Write("pfx\n");
    ASSERT_TRUE(client.WaitForOutput("ECHO:pfx")) << client.Output();
    EXPECT_NE(client.Output().find("Verify return code: 0 (ok)"), std::string::npos);
}

} // namespace
} // namespace Velto::Testing
