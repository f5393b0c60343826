// Sessions of both roles talking to each other over loopback: data that
// rides with the last handshake flight, small reads, the peer checks of the
// client role and of mutual TLS.
#include "server/net/tcp_connection.h"
#include "server/tls/tls_credentials.h"
#include "server/tls/tls_handshake.h"
#include "server/tls/tls_over_connection.h"
#include "server/tls/tls_results.h"
#include "server/tls/tls_session.h"
#include "tests/support/forwarding_connection.h"
#include "tests/server/tls/tls_test_support.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace Velto::Testing {
namespace {

std::span<const std::byte> AsBytes(const std::string& text) {
    return std::as_bytes(std::span(text.data(), text.size()));
}

// Counts the receives that reach the socket underneath the TLS layer.
class CountingConnection final : public ForwardingConnection {
public:
    using ForwardingConnection::ForwardingConnection;
    std::atomic<int> receives{0};

    Result Receive(std::span<std::byte> buffer, std::uint32_t& received) override {
        ++receives;
        return ForwardingConnection::Receive(buffer, received);
    }
};

class TlsSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_certificate = MakeTestCertificate(m_folder.Path());
        ASSERT_EQ(Net::AcquireSchannelCreds(ServerConfigFor(m_certificate), m_serverCredentials),
                  kOk);
    }

    Net::TlsConfig PinnedClient() const {
        Net::TlsConfig config;
        config.role = Net::TlsRole::Client;
        config.pin = m_certificate.sha256;
        return config;
    }

    // A client-role session over a TCP connection to the test server.
    Result ConnectClient(const Net::TlsConfig& config, std::uint16_t port,
                         std::unique_ptr<Net::TlsOverConnection>& out) {
        std::shared_ptr<const Net::TlsCredentials> credentials;
        Result result = Net::AcquireSchannelCreds(config, credentials);
        if (Failed(result))
            return result;
        std::unique_ptr<Net::TlsSession> session;
        result = Net::NewTlsSession(credentials, session);
        if (Failed(result))
            return result;
        UniqueFd fd = ConnectLoopback(port);
        std::shared_ptr<Net::IConnection> tcp = Net::MakeTcpConnection(fd, u"server");
        tcp->SetReceiveTimeout(30000);
        result = Net::Handshake(*session, *tcp);
        if (Succeeded(result))
            out = Net::WrapTls(tcp, std::move(session));
        return result;
    }

    TempFolder m_folder;
    TestCertificate m_certificate;
    std::shared_ptr<const Net::TlsCredentials> m_serverCredentials;
};

TEST_F(TlsSessionTest, ApplicationDataSentWithTheFinalFlightArrives) {
    auto echo = std::make_shared<EchoRecord>();
    TlsTestServer server(m_serverCredentials, EchoLines(echo));

    std::shared_ptr<const Net::TlsCredentials> credentials;
    ASSERT_EQ(Net::AcquireSchannelCreds(PinnedClient(), credentials), kOk);
    std::unique_ptr<Net::TlsSession> client;
    ASSERT_EQ(Net::NewTlsSession(credentials, client), kOk);
    UniqueFd fd = ConnectLoopback(server.Port());
    ASSERT_TRUE(fd);

    // Drive the client by hand so its last flight and the first request leave
    // in one write.
    Net::Bytes output;
    std::vector<std::byte> buffer(65536);
    std::span<const std::byte> input;
    for (;;) {
        output.clear();
        bool done = false;
        ASSERT_EQ(client->Step(input, output, done), kOk);
        if (done) {
            ASSERT_EQ(client->Seal(AsBytes("early words\n"), output), kOk);
            ASSERT_EQ(::send(fd.Get(), output.data(), output.size(), MSG_NOSIGNAL),
                      static_cast<ssize_t>(output.size()));
            break;
        }
        if (!output.empty()) {
            ASSERT_EQ(::send(fd.Get(), output.data(), output.size(), MSG_NOSIGNAL),
                      static_cast<ssize_t>(output.size()));
        }
        const ssize_t n = ::recv(fd.Get(), buffer.data(), buffer.size(), 0);
        ASSERT_GT(n, 0);
        input = std::span<const std::byte>(buffer.data(), static_cast<std::size_t>(n));
    }
    EXPECT_EQ(client->ProtocolVersion(), "TLSv1.3");
    ASSERT_EQ(server.NextHandshakeResult(), kOk);

    std::string reply;
    while (reply.find('\n') == std::string::npos) {
        const ssize_t n = ::recv(fd.Get(), buffer.data(), buffer.size(), 0);
        ASSERT_GT(n, 0) << "the server never answered the early request";
        Net::Bytes plain;
        bool closed = false;
        ASSERT_EQ(
            client->Open(std::span<const std::byte>(buffer.data(), static_cast<std::size_t>(n)),
                         plain, closed),
            kOk);
        reply.append(reinterpret_cast<const char*>(plain.data()), plain.size());
    }
    EXPECT_EQ(reply, "ECHO:early words\n");
}

TEST_F(TlsSessionTest, SmallReceiveBufferDrainsALargeRecordWithoutTouchingTheSocket) {
    constexpr std::size_t kRecordPlaintext = 16000;
    constexpr std::size_t kSmallBuffer = 20;
    std::shared_ptr<CountingConnection> counting;
    std::string received;
    int receivesAfterFirstRead = -1;
    int receivesAtEnd = -1;
    TlsTestServer server(
        m_serverCredentials,
        [&](Net::TlsOverConnection& connection) {
            std::byte small[kSmallBuffer];
            while (received.size() < kRecordPlaintext) {
                std::uint32_t count = 0;
                if (Failed(connection.Receive(small, count)) || count == 0)
                    break;
                EXPECT_LE(count, kSmallBuffer);
                received.append(reinterpret_cast<const char*>(small), count);
                if (receivesAfterFirstRead < 0)
                    receivesAfterFirstRead = counting->receives;
            }
            receivesAtEnd = counting->receives;
        },
        Net::kServerHandshakeTimeoutMs,
        [&](std::shared_ptr<Net::IConnection> inner) {
            counting = std::make_shared<CountingConnection>(std::move(inner));
            return counting;
        });

    std::unique_ptr<Net::TlsOverConnection> client;
    ASSERT_EQ(ConnectClient(PinnedClient(), server.Port(), client), kOk);
    ASSERT_EQ(server.NextHandshakeResult(), kOk);
    std::string payload(kRecordPlaintext, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>('a' + i % 26);
    ASSERT_EQ(client->Send(AsBytes(payload)), kOk); // one record: below the 16 KiB limit
    server.WaitHandlerDone();

    EXPECT_EQ(received, payload);
    EXPECT_GT(receivesAfterFirstRead, 0);
    EXPECT_EQ(receivesAtEnd, receivesAfterFirstRead) << "the rest came from the decrypted record";
}

TEST_F(TlsSessionTest, LargeTransfersBothWaysAndCleanClose) {
    constexpr std::size_t kSize = 3 * 1024 * 1024 + 17;
    std::string payload(kSize, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(i * 131 % 251);
    Result serverEnd = kFail;
    TlsTestServer server(m_serverCredentials, [&](Net::TlsOverConnection& connection) {
        std::vector<std::byte> buffer(100000);
        std::size_t total = 0;
        while (total < kSize) {
            std::uint32_t count = 0;
            if (Failed(connection.Receive(buffer, count)) || count == 0)
                return;
            total += count;
        }
        // Send back in gathered pieces.
        const auto bytes = AsBytes(payload);
        const Net::ByteSpan pieces[] = {bytes.first(5), bytes.subspan(5, 1000000),
                                        bytes.subspan(1000005)};
        EXPECT_EQ(connection.SendGather(pieces), kOk);
        std::uint32_t count = 0;
        serverEnd = connection.Receive(buffer, count);
        EXPECT_EQ(count, 0u);
    });
    std::unique_ptr<Net::TlsOverConnection> client;
    ASSERT_EQ(ConnectClient(PinnedClient(), server.Port(), client), kOk);
    ASSERT_EQ(client->Send(AsBytes(payload)), kOk);
    std::string back;
    std::vector<std::byte> buffer(65536);
    while (back.size() < kSize) {
        std::uint32_t count = 0;
        ASSERT_EQ(client->Receive(buffer, count), kOk);
        ASSERT_GT(count, 0u);
        back.append(reinterpret_cast<const char*>(buffer.data()), count);
    }
    EXPECT_TRUE(back == payload);
    client.reset(); // closes the connection underneath
    server.WaitHandlerDone();
    EXPECT_EQ(serverEnd, kOk) << "a closed peer is the end of the stream";
}

// One sender and one receiver may use a connection at the same time.
TEST_F(TlsSessionTest, FullDuplexWithASenderAndAReceiverThread) {
    constexpr std::size_t kSize = 8 * 1024 * 1024;
    const auto pattern = [](std::size_t i, int salt) {
        return static_cast<char>((i * 7 + static_cast<std::size_t>(salt)) % 253);
    };
    const auto sendAll = [&](Net::IConnection& connection, int salt) {
        std::string block(64 * 1024, '\0');
        for (std::size_t sent = 0; sent < kSize; sent += block.size()) {
            for (std::size_t i = 0; i < block.size(); ++i)
                block[i] = pattern(sent + i, salt);
            if (Failed(connection.Send(AsBytes(block))))
                return false;
        }
        return true;
    };
    const auto receiveAll = [&](Net::IConnection& connection, int salt) {
        std::vector<std::byte> buffer(50000);
        std::size_t total = 0;
        while (total < kSize) {
            std::uint32_t count = 0;
            if (Failed(connection.Receive(buffer, count)) || count == 0)
                return false;
            for (std::uint32_t i = 0; i < count; ++i)
                if (static_cast<char>(buffer[i]) != pattern(total + i, salt))
                    return false;
            total += count;
        }
        return true;
    };

    std::atomic<bool> serverSent{false};
    std::atomic<bool> serverReceived{false};
    TlsTestServer server(m_serverCredentials, [&](Net::TlsOverConnection& connection) {
        std::thread sender([&] { serverSent = sendAll(connection, 1); });
        serverReceived = receiveAll(connection, 2);
        sender.join();
    });
    std::unique_ptr<Net::TlsOverConnection> client;
    ASSERT_EQ(ConnectClient(PinnedClient(), server.Port(), client), kOk);
    std::atomic<bool> clientSent{false};
    std::thread sender([&] { clientSent = sendAll(*client, 2); });
    EXPECT_TRUE(receiveAll(*client, 1));
    sender.join();
    server.WaitHandlerDone();
    EXPECT_TRUE(clientSent);
    EXPECT_TRUE(serverSent);
    EXPECT_TRUE(serverReceived);
}

struct ClientCheckCase {
    const char* name;
    std::u16string pin;
    std::u16string target;
    bool trustOurCertificate;
    Result expected;
};

TEST_F(TlsSessionTest, ClientRoleChecksTheServerCertificate) {
    auto upper = m_certificate.sha256;
    std::u16string colons;
    for (std::size_t i = 0; i < upper.size(); ++i) {
        if (i > 0 && i % 2 == 0)
            colons.push_back(u':');
        colons.push_back(upper[i] >= u'a' && upper[i] <= u'f' ? upper[i] - u'a' + u'A' : upper[i]);
    }
    std::u16string wrongPin = m_certificate.sha256;
    wrongPin[0] = wrongPin[0] == u'0' ? u'1' : u'0';
    const ClientCheckCase cases[] = {
        {"pin matches", m_certificate.sha256, u"", false, kOk},
        {"pin with colons and upper case", colons, u"", false, kOk},
        {"pin of another certificate", wrongPin, u"", false, Net::kCertUntrustedRoot},
        {"pin of 40 digits", m_certificate.sha1, u"", false, kInvalidArg},
        {"pin not hexadecimal", u"xyz", u"", false, kInvalidArg},
        {"chain to a trusted anchor", u"", u"localhost", true, kOk},
        {"chain for another name", u"", u"example.com", true, Net::kCertNameMismatch},
        {"chain without a trusted anchor", u"", u"localhost", false, Net::kCertUntrustedRoot},
        {"chain without a server name", u"", u"", true, kInvalidArg},
    };
    auto echo = std::make_shared<EchoRecord>();
    TlsTestServer server(m_serverCredentials, EchoLines(echo));
    for (const ClientCheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        Net::TlsConfig config;
        config.role = Net::TlsRole::Client;
        config.pin = c.pin;
        config.TargetName = c.target;
        if (c.trustOurCertificate)
            config.trustedCaFile = m_certificate.certPem;
        std::unique_ptr<Net::TlsOverConnection> client;
        EXPECT_EQ(ConnectClient(config, server.Port(), client), c.expected);
        if (client) {
            EXPECT_EQ(client->PeerThumbprint(), m_certificate.sha256);
            client.reset();
        }
        server.NextHandshakeResult();
        server.WaitHandlerDone();
    }
}

TEST_F(TlsSessionTest, MutualTlsValidatesTheClientCertificate) {
    // The client's own certificate lives in a second store.
    TempFolder clientFolder;
    const TestCertificate clientCertificate = MakeTestCertificate(clientFolder.Path());
    Net::TlsConfig serverConfig = ServerConfigFor(m_certificate);
    serverConfig.requireClientCertificate = true;
    serverConfig.pin = clientCertificate.sha256;
    std::shared_ptr<const Net::TlsCredentials> mutual;
    ASSERT_EQ(Net::AcquireSchannelCreds(serverConfig, mutual), kOk);
    std::u16string seenThumbprint;
    TlsTestServer server(mutual, [&](Net::TlsOverConnection& connection) {
        seenThumbprint = connection.PeerThumbprint();
    });

    Net::TlsConfig withCertificate = PinnedClient();
    withCertificate.thumbprint = clientCertificate.sha1;
    withCertificate.storeDirectory = clientCertificate.store;
    std::unique_ptr<Net::TlsOverConnection> client;
    ASSERT_EQ(ConnectClient(withCertificate, server.Port(), client), kOk);
    EXPECT_EQ(server.NextHandshakeResult(), kOk);
    server.WaitHandlerDone();
    EXPECT_EQ(seenThumbprint, clientCertificate.sha256);
    client.reset();

    // Without a certificate the server refuses the client.
    std::unique_ptr<Net::TlsOverConnection> anonymous;
    ConnectClient(PinnedClient(), server.Port(), anonymous);
    EXPECT_EQ(server.NextHandshakeResult(), Net::kSecNoCredentials);
    server.WaitHandlerDone();
}

TEST_F(TlsSessionTest, SessionsNeedCredentialsAndACompletedHandshake) {
    std::unique_ptr<Net::TlsSession> session;
    EXPECT_EQ(Net::NewTlsSession(nullptr, session), kInvalidArg);
    ASSERT_EQ(Net::NewTlsSession(m_serverCredentials, session), kOk);
    Net::Bytes out;
    bool closed = false;
    EXPECT_EQ(session->Seal(AsBytes("x"), out), kFail);
    EXPECT_EQ(session->Open({}, out, closed), kFail);

    // Garbage instead of a ClientHello fails the handshake for good, with an alert.
    bool done = false;
    const std::string garbage = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
    EXPECT_LT(session->Step(AsBytes(garbage), out, done), 0);
    EXPECT_FALSE(done);
    out.clear();
    EXPECT_EQ(session->Step({}, out, done), kFail);
    EXPECT_TRUE(session->IsFailed());
}

TEST_F(TlsSessionTest, OversizedHandshakeFlightIsRefused) {
    std::unique_ptr<Net::TlsSession> session;
    ASSERT_EQ(Net::NewTlsSession(m_serverCredentials, session), kOk);
    // A ClientHello announced at 131000 bytes (the engine itself would take
    // one that large) arriving in full-size records: the flight passes the
    // ceiling before the message is complete.
    constexpr std::size_t kRecordBody = 16384;
    std::vector<std::byte> record(5 + kRecordBody, std::byte{0x01});
    const unsigned char header[] = {0x16, 0x03, 0x01, 0x40, 0x00};
    std::memcpy(record.data(), header, sizeof header);
    const unsigned char helloHeader[] = {0x01, 0x01, 0xff, 0xb8, 0x03, 0x03};
    std::vector<std::byte> first = record;
    std::memcpy(first.data() + 5, helloHeader, sizeof helloHeader);
    Net::Bytes out;
    bool done = false;
    Result result = session->Step(first, out, done);
    std::size_t fed = first.size();
    while (result == kOk && fed <= 2 * Net::kTlsBufferCeiling) {
        result = session->Step(record, out, done);
        fed += record.size();
    }
    EXPECT_EQ(result, kFail);
    EXPECT_GT(fed, Net::kTlsBufferCeiling);
    EXPECT_LT(fed, Net::kTlsBufferCeiling + 2 * record.size());
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(session->IsFailed());
}

TEST_F(TlsSessionTest, StoreThumbprintIgnoresSeparatorsAndCase) {
    std::u16string spaced;
    for (std::size_t i = 0; i < m_certificate.sha1.size(); ++i) {
        if (i > 0 && i % 2 == 0)
            spaced += (i % 4 == 0) ? u" " : (i % 6 == 0 ? u"\t" : u":");
        const char16_t c = m_certificate.sha1[i];
        spaced.push_back(c >= u'a' && c <= u'f' ? c - u'a' + u'A' : c);
    }
    Net::TlsConfig config = ServerConfigFor(m_certificate);
    config.thumbprint = spaced;
    config.storeName = u"my";
    std::shared_ptr<const Net::TlsCredentials> credentials;
    EXPECT_EQ(Net::AcquireSchannelCreds(config, credentials), kOk);
    config.thumbprint = spaced + u"g";
    EXPECT_EQ(Net::AcquireSchannelCreds(config, credentials), Net::kSecNoCredentials);
}

TEST_F(TlsSessionTest, ServerWithoutUsableCertificateHasNoCredentials) {
    std::shared_ptr<const Net::TlsCredentials> credentials;
    Net::TlsConfig none;
    none.role = Net::TlsRole::Server;
    EXPECT_EQ(Net::AcquireSchannelCreds(none, credentials), Net::kSecNoCredentials);
    EXPECT_FALSE(credentials);

    Net::TlsConfig unknown = ServerConfigFor(m_certificate);
    unknown.thumbprint = std::u16string(40, u'a');
    EXPECT_EQ(Net::AcquireSchannelCreds(unknown, credentials), Net::kSecNoCredentials);

    Net::TlsConfig otherStore = ServerConfigFor(m_certificate);
    otherStore.storeName = u"Root";
    EXPECT_EQ(Net::AcquireSchannelCreds(otherStore, credentials), Net::kSecNoCredentials);

    // The certificate whose key file is gone cannot serve.
    std::filesystem::remove(m_certificate.keyPem);
    EXPECT_EQ(Net::AcquireSchannelCreds(ServerConfigFor(m_certificate), credentials),
              Net::kSecNoCredentials);
    // Its description can still be read.
    const Net::CertificateInfo info = Net::ReadCertificateInfo(ServerConfigFor(m_certificate));
    EXPECT_TRUE(info.ok);
    EXPECT_EQ(info.sha256, m_certificate.sha256);
    EXPECT_EQ(info.subject, u"VeltoCorvane Test");
}

TEST_F(TlsSessionTest, AutomaticCertificateIsMadeOnceAndKeepsItsKey) {
    Net::TlsConfig config;
    config.role = Net::TlsRole::Server;
    config.autoCertificate = true;
    config.storeDirectory = m_folder.Path() / "auto";
    std::shared_ptr<const Net::TlsCredentials> credentials;
    EXPECT_EQ(Net::AcquireSchannelCreds(config, credentials), Net::kSecNoCredentials)
        << "names are required";

    config.autoKeyName = u"VeltoCorvaneAuto-key";
    config.autoSubject = u"CN=Automatic, O=\"Velto, Test\"";
    ASSERT_EQ(Net::AcquireSchannelCreds(config, credentials), kOk);
    const Net::CertificateInfo first = Net::ReadCertificateInfo(config);
    EXPECT_TRUE(first.ok);
    EXPECT_EQ(first.subject, u"Automatic");
    EXPECT_TRUE(
        std::filesystem::exists(config.storeDirectory / "keys" / "VeltoCorvaneAuto-key.pem"));
    EXPECT_EQ(Net::ReadCertificateInfo(config).sha256, first.sha256) << "made once per process";

    auto echo = std::make_shared<EchoRecord>();
    TlsTestServer server(credentials, EchoLines(echo));
    Net::TlsConfig client;
    client.role = Net::TlsRole::Client;
    client.pin = first.sha256;
    std::unique_ptr<Net::TlsOverConnection> connection;
    EXPECT_EQ(ConnectClient(client, server.Port(), connection), kOk);
    EXPECT_EQ(server.NextHandshakeResult(), kOk);
}

} // namespace
} // namespace Velto::Testing
