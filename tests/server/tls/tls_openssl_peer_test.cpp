// The server side of the TLS layer against the openssl command-line client
// and curl, over loopback.
#include "server/tls/tls_credentials.h"
#include "server/tls/tls_results.h"
#include "tests/server/tls/tls_test_support.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

namespace Velto::Testing {
namespace {

class OpenSslPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_certificate = MakeTestCertificate(m_folder.Path());
        ASSERT_EQ(Net::AcquireSchannelCreds(ServerConfigFor(m_certificate), m_credentials), kOk);
    }

    std::vector<std::string> SClient(const std::string& version) const {
        return {
            "openssl",     "s_client",  "-connect", "127.0.0.1:" + std::to_string(m_server->Port()),
            "-servername", "localhost", version};
    }

    TempFolder m_folder;
    TestCertificate m_certificate;
    std::shared_ptr<const Net::TlsCredentials> m_credentials;
    std::shared_ptr<EchoRecord> m_echo = std::make_shared<EchoRecord>();
    std::unique_ptr<TlsTestServer> m_server;
};

TEST_F(OpenSslPeerTest, ServesTls12AndTls13) {
    m_server = std::make_unique<TlsTestServer>(m_credentials, EchoLines(m_echo));
    for (const std::string version : {"-tls1_2", "-tls1_3"}) {
        SCOPED_TRACE(version);
        ChildProcess client(SClient(version), {.pipeInput = true});
        ASSERT_TRUE(client.Started());
        EXPECT_EQ(m_server->NextHandshakeResult(), kOk);
        client.Write("hello over tls\n");
        ASSERT_TRUE(client.WaitForOutput("ECHO:hello over tls")) << client.Output();
        EXPECT_NE(client.Output().find(version == "-tls1_2" ? "TLSv1.2" : "TLSv1.3"),
                  std::string::npos);
        // The certificate the client saw is ours.
        EXPECT_NE(client.Output().find("CN = VeltoCorvane Test"), std::string::npos);
        client.CloseInput();
        client.Wait();
        m_server->WaitHandlerDone();
        const std::lock_guard lock(m_echo->mutex);
        EXPECT_EQ(m_echo->endResult, kOk) << "a closing client is the end of the stream";
    }
}

TEST_F(OpenSslPeerTest, RefusesTls11) {
    m_server = std::make_unique<TlsTestServer>(m_credentials, EchoLines(m_echo));
    // The client is allowed everything it can do so that only our server refuses.
    std::vector<std::string> args = SClient("-tls1_1");
    args.insert(args.end(), {"-cipher", "DEFAULT:@SECLEVEL=0"});
    ChildProcess client(args, {.environment = {"OPENSSL_CONF=/dev/null"}, .pipeInput = true});
    ASSERT_TRUE(client.Started());
    EXPECT_EQ(m_server->NextHandshakeResult(), Net::kSecAlgorithmMismatch);
    client.CloseInput();
    EXPECT_NE(client.Wait(), 0);
    EXPECT_EQ(client.Output().find("ECHO:"), std::string::npos);
    EXPECT_NE(client.Output().find("Cipher is (NONE)"), std::string::npos) << client.Output();
}

TEST_F(OpenSslPeerTest, RenegotiationUnderTls12DropsTheConnection) {
    m_server = std::make_unique<TlsTestServer>(m_credentials, EchoLines(m_echo));
    ChildProcess client(SClient("-tls1_2"), {.pipeInput = true});
    ASSERT_EQ(m_server->NextHandshakeResult(), kOk);
    client.Write("before\n");
    ASSERT_TRUE(client.WaitForOutput("ECHO:before")) << client.Output();
    client.Write("R\n");
    ASSERT_TRUE(client.WaitForOutput("RENEGOTIATING")) << client.Output();
    m_server->WaitHandlerDone();
    {
        const std::lock_guard lock(m_echo->mutex);
        EXPECT_EQ(m_echo->endResult, Net::kSecUnsupportedFunction);
    }
    client.Write("after\n");
    client.CloseInput();
    client.Wait();
    EXPECT_EQ(client.Output().find("ECHO:after"), std::string::npos);
}

TEST_F(OpenSslPeerTest, KeyUpdateUnderTls13KeepsServing) {
    m_server = std::make_unique<TlsTestServer>(m_credentials, EchoLines(m_echo));
    std::vector<std::string> args = SClient("-tls1_3");
    args.push_back("-msg");
    ChildProcess client(args, {.pipeInput = true});
    ASSERT_EQ(m_server->NextHandshakeResult(), kOk);
    client.Write("before\n");
    ASSERT_TRUE(client.WaitForOutput("ECHO:before")) << client.Output();
    // 'k' rotates the client's keys; 'K' also asks the server to rotate its own.
    std::size_t updates = 0;
    for (const std::string command : {"k\n", "K\n"}) {
        SCOPED_TRACE(command.substr(0, 1));
        client.Write(command);
        // s_client reads a command line on its own; wait until it has acted.
        ASSERT_TRUE(client.WaitForOutput("KEYUPDATE", kChildWaitLimit, ++updates))
            << client.Output();
        const std::string line = "after " + command.substr(0, 1);
        client.Write(line + "\n");
        ASSERT_TRUE(client.WaitForOutput("ECHO:" + line)) << client.Output();
    }
    // Only 'K' asked the server to rotate; it answered with one key update of its own.
    const std::string serverUpdate = "<<< TLS 1.3, Handshake [length 0005], KeyUpdate";
    const std::size_t first = client.Output().find(serverUpdate);
    EXPECT_NE(first, std::string::npos) << client.Output();
    EXPECT_EQ(client.Output().find(serverUpdate, first + 1), std::string::npos);
    client.CloseInput();
    client.Wait();
    m_server->WaitHandlerDone();
    const std::lock_guard lock(m_echo->mutex);
    EXPECT_EQ(m_echo->endResult, kOk);
}

// Answers one HTTP request with a fixed body, enough for curl.
void ServeHello(Net::TlsOverConnection& connection) {
    std::string request;
    std::byte buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos) {
        std::uint32_t received = 0;
        if (Failed(connection.Receive(buffer, received)) || received == 0)
            return;
        request.append(reinterpret_cast<const char*>(buffer), received);
    }
    const std::string response =
        "HTTP/1.1 200 OK\r\nContent-Length: 11\r\nConnection: close\r\n\r\nhello https";
    connection.Send(std::as_bytes(std::span(response.data(), response.size())));
}

TEST_F(OpenSslPeerTest, CurlVerifiesOurCertificateForLocalhost) {
    m_server = std::make_unique<TlsTestServer>(m_credentials, ServeHello);
    const std::string port = std::to_string(m_server->Port());
    const std::string url = "https://localhost:" + port + "/";
    const std::string resolve = "localhost:" + port + ":127.0.0.1";

    std::string output;
    EXPECT_EQ(RunCommand({"curl", "-sS", "--noproxy", "*", "--resolve", resolve, "--cacert",
                          m_certificate.certPem.string(), url},
                         output),
              0)
        << output;
    EXPECT_EQ(output, "hello https");
    EXPECT_EQ(m_server->NextHandshakeResult(), kOk);
    m_server->WaitHandlerDone();

    // Without our certificate as the trust anchor curl must refuse (exit 60).
    EXPECT_EQ(RunCommand({"curl", "-sS", "--noproxy", "*", "--resolve", resolve, url}, output), 60)
        << output;
    // And our certificate names no other host (exit 60 as well).
    const std::string other = "https://other.test:" + port + "/";
    EXPECT_EQ(RunCommand({"curl", "-sS", "--noproxy", "*", "--resolve",
                          "other.test:" + port + ":127.0.0.1", "--cacert",
                          m_certificate.certPem.string(), other},
                         output),
              60)
        << output;
}

TEST_F(OpenSslPeerTest, ClientLeavingMidHandshakeIsAConnectionReset) {
    m_server = std::make_unique<TlsTestServer>(m_credentials, EchoLines(m_echo));
    UniqueFd client = ConnectLoopback(m_server->Port());
    ASSERT_TRUE(client);
    const unsigned char partial[] = {0x16, 0x03, 0x01, 0x02, 0x00, 0x01};
    ASSERT_EQ(::send(client.Get(), partial, sizeof partial, MSG_NOSIGNAL),
              static_cast<ssize_t>(sizeof partial));
    client.Reset();
    EXPECT_EQ(m_server->NextHandshakeResult(), Net::kConnectionReset);
}

TEST_F(OpenSslPeerTest, StalledHandshakeIsDroppedAfterTheTimeout) {
    constexpr std::uint32_t kShortTimeoutMs = 300;
    m_server = std::make_unique<TlsTestServer>(m_credentials, EchoLines(m_echo), kShortTimeoutMs);

    // Half a ClientHello record, then silence.
    {
        UniqueFd client = ConnectLoopback(m_server->Port());
        ASSERT_TRUE(client);
        const unsigned char partial[] = {0x16, 0x03, 0x01, 0x02, 0x00, 0x01, 0x00, 0x01, 0xfc};
        ASSERT_EQ(::send(client.Get(), partial, sizeof partial, MSG_NOSIGNAL),
                  static_cast<ssize_t>(sizeof partial));
        EXPECT_EQ(m_server->NextHandshakeResult(), kTimedOut);
        char byte = 0;
        EXPECT_EQ(::recv(client.Get(), &byte, 1, 0), 0) << "the server closes the connection";
    }

    // A client that keeps trickling bytes is held to the same total time.
    {
        UniqueFd client = ConnectLoopback(m_server->Port());
        ASSERT_TRUE(client);
        const unsigned char header[] = {0x16, 0x03, 0x01, 0x3f, 0xff};
        ASSERT_EQ(::send(client.Get(), header, sizeof header, MSG_NOSIGNAL),
                  static_cast<ssize_t>(sizeof header));
        std::thread trickle([fd = client.Get()] {
            const unsigned char one = 0x01;
            while (::send(fd, &one, 1, MSG_NOSIGNAL) == 1)
                ::usleep(kShortTimeoutMs * 1000 / 6);
        });
        EXPECT_EQ(m_server->NextHandshakeResult(), kTimedOut);
        m_server->WaitHandlerDone();
        ::shutdown(client.Get(), SHUT_RDWR);
        trickle.join();
    }
}

} // namespace
} // namespace Velto::Testing
