// The TLS layer keeps its own settings even when the process has loaded an
// OpenSSL configuration that would forbid them.
#include "server/tls/tls_credentials.h"
#include "tests/server/tls/tls_test_support.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <openssl/crypto.h>

#include <cstdlib>
#include <fstream>

namespace Velto::Testing {
namespace {

TEST(TlsConfigIsolationTest, SystemConfigurationDoesNotChangeTheServer) {
    TempFolder folder;
    const auto hostile = folder.Path() / "hostile.cnf";
    std::ofstream(hostile) << "openssl_conf = init\n"
                              "[init]\nssl_conf = ssl\n"
                              "[ssl]\nsystem_default = defaults\n"
                              "[defaults]\nMinProtocol = TLSv1.3\n"
                              "CipherString = DEFAULT:@SECLEVEL=5\n";
    ::setenv("OPENSSL_CONF", hostile.c_str(), 1);
    // Something else in the process (a library) loads the configuration first.
    ASSERT_EQ(OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CONFIG, nullptr), 1);

    const TestCertificate certificate = MakeTestCertificate(folder.Path());
    std::shared_ptr<const Net::TlsCredentials> credentials;
    ASSERT_EQ(Net::AcquireSchannelCreds(ServerConfigFor(certificate), credentials), kOk)
        << "security level 5 would refuse a 2048-bit key";
    auto echo = std::make_shared<EchoRecord>();
    TlsTestServer server(credentials, EchoLines(echo));

    ChildProcess client({"openssl", "s_client", "-connect",
                         "127.0.0.1:" + std::to_string(server.Port()), "-tls1_2"},
                        {.environment = {"OPENSSL_CONF=/dev/null"}, .pipeInput = true});
    EXPECT_EQ(server.NextHandshakeResult(), kOk) << "TLS 1.2 stays enabled";
    client.Write("still here\n");
    EXPECT_TRUE(client.WaitForOutput("ECHO:still here")) << client.Output();
}

} // namespace
} // namespace Velto::Testing
